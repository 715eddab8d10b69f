#pragma once

#include <QString>
#include <memory>
#include <optional>

#include "convert/automation.h"

namespace quorv::office {

enum class DocumentKind;

// The Word, Excel and PowerPoint servers emulated on LibreOffice. Attach reaches the instance of
// the current OfficeSession; create starts an instance of the caller's own, or, inside a session
// that serves new connections, reaches the session's instance as well.
std::shared_ptr<AutomationServer> makeWordServer();
std::shared_ptr<AutomationServer> makeExcelServer();
std::shared_ptr<AutomationServer> makePowerPointServer();

// Word's fixed-format codes.
inline constexpr int kFormatPdf = 17;
inline constexpr int kFormatXps = 18;

// Excel's fixed-format types and PowerPoint's, and PowerPoint's save codes for them.
inline constexpr int kExcelTypePdf = 0;
inline constexpr int kExcelTypeXps = 1;
inline constexpr int kPowerPointTypeXps = 1;
inline constexpr int kPowerPointTypePdf = 2;
inline constexpr int kPowerPointSavePdf = 32;
inline constexpr int kPowerPointSaveXps = 33;

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

// Excel's save formats offered for a workbook: 6 CSV (GB 18030), 62 CSV UTF-8, 44 web page,
// 51 .xlsx, 56 .xls, 60 .ods; nothing for any other code.
std::optional<SaveFilter> excelSaveFilterFor(int code);
// PowerPoint's for a presentation: 1 .ppt, 11/24 .pptx, 35 .odp.
std::optional<SaveFilter> powerPointSaveFilterFor(int code);

}  // namespace quorv::office
