#pragma once

#include <QString>

namespace quorv::office {

// Records in the LibreOffice profile folder `profile` (not in use) that it has met this
// LibreOffice version. LibreOffice notes that only when a window's start-up ends, which a
// headless instance never reaches; without the note every start is taken for the first
// one after an upgrade and spends seconds on its graphics self-tests. False when the
// version cannot be read or the profile cannot be written; the instance then merely
// starts slower.
bool markProfileCurrent(const QString& profile);

// Readies `profile` (not in use) for an instance of the engine: the version mark above,
// and the typefaces: the replacement table of officefonts.h, Simplified Chinese as the
// language of Asian text that names none, and the private faces in its font folder; and
// LibreOffice's own settings against linked resources, macros and link updates, where
// `followLocalLinks` lets linked pictures load again (the sandbox then keeps them local).
// False when part of it could not be done; the instance then starts all the same.
bool prepareProfile(const QString& profile, bool followLocalLinks = false);

}  // namespace quorv::office
