#pragma once

#include <QString>
#include <memory>
#include <optional>

#include "convert/automation.h"

namespace quorv::office {

enum class DocumentKind;

// The Word and Excel servers emulated on LibreOffice. Attach reaches the instance of the
// current OfficeSession; create starts an instance of the caller's own, or, inside a
// session that serves new connections, reaches the session's instance as well.
std::shared_ptr<AutomationServer> makeWordServer();
std::shared_ptr<AutomationServer> makeExcelServer();

// Word's fixed-format codes.
inline constexpr int kFormatPdf = 17;
inline constexpr int kFormatXps = 18;

// How a Word save-format code is written by LibreOffice.
struct SaveFilter {
    QString filter;    // LibreOffice export filter
    QString options;   // its filter options
    bool xps = false;  // written as PDF, then turned into XPS
    int pdfa = 0;      // a PDF conforms to PDF/A-1b, 2b or 3b
};

// The filter for a save-format code and a kind of document; nothing for an unknown code
// or one the document cannot be written in.
// `pdfa` applies to PDF alone: an XPS is drawn from a plain PDF.
std::optional<SaveFilter> saveFilterFor(int code, DocumentKind kind, int pdfa = 0);

}  // namespace quorv::office
