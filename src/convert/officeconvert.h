#pragma once

// Workbooks and presentations converted through the Excel and PowerPoint servers, as Word
// documents are by word2xps and word2any, and the choice of the conversion by what a file
// is. Same contract: the output's full path, named by filegszh (numbered by fzmccf when
// sfth is "n"), or the reason there is none; a failing office call raises RuntimeError.

#include <QString>
#include <optional>

#include "convert/docbytes.h"
#include "convert/outcome.h"
#include "convert/wordconvert.h"

namespace quorv {

// Exports a workbook (gs 17 PDF, 18 XPS, Word's codes as word2xps takes them) with its print
// areas, page setup and every visible sheet that holds something; hidden sheets are left
// out. NothingToPrint when no visible sheet holds anything. A file that is no workbook is
// refused (WrongType; UnknownKind when it is no office document at all).
ConvertOutcome excel2xps(const QString& yfilename, const QString& fhz, const QString& npath, int gs,
                         const WordOptions& options);
// Saves a workbook in one of Excel's save formats (6 CSV, 62 CSV UTF-8, 44 web page, 51 xlsx,
// 56 xls, 60 ods); NoSuchFormat for any other.
ConvertOutcome excel2any(const QString& yfilename, const QString& fhz, const QString& npath, int gs,
                         const WordOptions& options);

// Exports a presentation, one page per visible slide at the slide's size, without notes;
// hidden slides are left out. NothingToPrint when every slide is hidden.
ConvertOutcome ppt2xps(const QString& yfilename, const QString& fhz, const QString& npath, int gs,
                       const WordOptions& options);
// Saves a presentation in one of PowerPoint's save formats (1 ppt, 24 pptx, 35 odp).
ConvertOutcome ppt2any(const QString& yfilename, const QString& fhz, const QString& npath, int gs,
                       const WordOptions& options);

// The save code of a document's own application that stands for a Word save format in
// the custom mode: a web page and plain text (as CSV) of a workbook, and the Word, Word 97
// and OpenDocument formats as the kind's own. Nothing where the kind has no such format.
std::optional<int> kindSaveCode(DocKind kind, int wordCode);

// By the file's kind (documentKind): word2xps's Word export for a Word document (its
// extension not checked, since its bytes said what it is), excel2xps, ppt2xps. A file of no
// known kind gets UnknownKind.
ConvertOutcome office2xps(const QString& yfilename, const QString& fhz, const QString& npath,
                          int gs, const WordOptions& options);
// The same for a Word save format (wsavely): Word documents as word2any, workbooks and
// presentations in the format kindSaveCode gives, NoSuchFormat where there is none.
ConvertOutcome office2any(const QString& yfilename, const QString& fhz, const QString& npath,
                          int gs, const WordOptions& options);

}  // namespace quorv
