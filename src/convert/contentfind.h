#pragma once

// Looking for a text inside one document through Word or one workbook through Excel.

#include <QString>
#include <QStringList>
#include <optional>

namespace quorv {

class OleObject;

// Starts a Word for searching, with its alerts off; false when it cannot start.
bool connectSearchWord(OleObject& word);

// Whether the document at path holds text; the document is closed again at once, so the
// Word holds at most one document however many it searches. A document protected by a
// password opens with one of passwords.
bool wordFind(OleObject& word, const QString& path, const QString& text,
              const QStringList& passwords = {});

// Whether some cell of some worksheet of the workbook at path holds text, searched in an
// Excel of its own that quits again; none when Excel cannot start.
std::optional<bool> excelFind(const QString& path, const QString& text,
                              const QStringList& passwords = {});

// Whether some slide of the presentation at path, or its notes, holds text (hidden slides
// too: they are part of the file), searched in a PowerPoint of its own that quits again;
// none when PowerPoint cannot start.
std::optional<bool> presentationFind(const QString& path, const QString& text,
                                     const QStringList& passwords = {});

}  // namespace quorv
