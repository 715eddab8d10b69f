#pragma once

#include <QString>

#include "core/failreason.h"

namespace quorv {

// How long a conversion waits for its output file once the office said it is written;
// tests shorten it.
inline constexpr int kWordOutputWaitMs = 60 * 1000;
void setWordOutputWaitMs(int ms);

// Exports a Word document in a fixed-layout format (gs 17 PDF, 18 XPS) into npath
// (ending in "/"); the output's extension is fhz. Returns the output path, or the empty
// string when the source is refused, the office cannot be reached, or no file came; `why`,
// when given, then says which. A failing office call raises RuntimeError (its reason()
// says what the office reported).
QString word2xps(const QString& yfilename, const QString& fhz, const QString& npath, int gs,
                 FailReason* why = nullptr);

// Saves a Word document in the Word save format gs (8 web page, 10 filtered web page,
// 2 plain text, ...) with the extension fhz into npath.
QString word2any(const QString& yfilename, const QString& fhz, const QString& npath, int gs,
                 FailReason* why = nullptr);

// Exports a document as PDF into ap_path + "/pdf/", replacing an earlier output.
QString word2pdf(const QString& yfilename);

// Whether a path was decoded from a name whose bytes are not UTF-8: it then holds
// replacement characters and names no file, so no office can open it. Such a source is
// refused like one of the wrong type instead of failing as a document that cannot open.
bool undecodableName(const QString& path);

// Whether a source's extension is one the office is asked to open: "doc#docx" +
// awordhz, as a substring, never the empty extension.
bool wordAccepts(const QString& yfilename, const QString& awordhz);

}  // namespace quorv
