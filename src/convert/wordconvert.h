#pragma once

#include <QString>
#include <QStringList>

#include "convert/outcome.h"

namespace quorv {

// What the Word conversions of a batch follow, as its request carries them.
struct WordOptions {
    QString awordhz;        // extensions Word opens beside doc and docx ("#txt#aspx")
    int pdfa = 0;           // PDF outputs conform to PDF/A-1b, 2b or 3b; 0: plain PDF
    QStringList passwords;  // tried in turn on a source protected by a password
};

// Exports a Word document in a fixed-layout format (gs 17 PDF, 18 XPS) into npath
// (ending in "/"); the output's extension is fhz. A PDF follows options.pdfa. The outcome holds the
// output path, or why there is none: the source is refused, the office cannot be reached, or no
// file came. A failing office call raises RuntimeError (its reason() says what the office
// reported).
ConvertOutcome word2xps(const QString& yfilename, const QString& fhz, const QString& npath, int gs,
                        const WordOptions& options);

// Saves a Word document in the Word save format gs (8 web page, 10 filtered web page,
// 2 plain text, ...) with the extension fhz into npath.
ConvertOutcome word2any(const QString& yfilename, const QString& fhz, const QString& npath, int gs,
                        const WordOptions& options);

// word2xps and word2any for a source whose bytes show a Word document (an .rtf, a .wps, a
// web page): its extension is not checked against the Word list.
ConvertOutcome wordKind2xps(const QString& yfilename, const QString& fhz, const QString& npath,
                            int gs, const WordOptions& options);
ConvertOutcome wordKind2any(const QString& yfilename, const QString& fhz, const QString& npath,
                            int gs, const WordOptions& options);

// Waits, bounded in time, until the office's output file is there; false when it never came.
bool waitForOutputFile(const QString& path);

// Exports a document as PDF into pdfFolder (made when missing), replacing an earlier
// output of the same name; a source protected by a password opens with one of passwords.
ConvertOutcome word2pdf(const QString& yfilename, const QString& pdfFolder,
                        const QStringList& passwords = {});

// Whether a path was decoded from a name whose bytes are not UTF-8: it then holds
// replacement characters and names no file, so no office can open it. Such a source is
// refused like one of the wrong type instead of failing as a document that cannot open.
bool undecodableName(const QString& path);

// Whether a source's extension is one the office is asked to open: "doc#docx" +
// awordhz, as a substring, never the empty extension.
bool wordAccepts(const QString& yfilename, const QString& awordhz);

}  // namespace quorv
