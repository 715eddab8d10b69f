#pragma once

// What happens to a PDF output after the office wrote it: protection with passwords and
// permissions, a text watermark on every page, and the merge of a run's PDFs into one
// file. A request carries one PdfOptions; the settings file holds the window's choice.

#include <QString>

namespace quorv {

struct PdfProtection {
    QString openPassword;         // asked for before the file opens; empty: none
    QString permissionsPassword;  // lifts the restrictions below; empty: none
    bool noPrint = false;
    bool noCopy = false;    // copying and extracting text and pictures
    bool noChange = false;  // editing, annotating, filling forms, reordering pages

    // Whether the output is encrypted at all.
    bool any() const {
        return !openPassword.isEmpty() || !permissionsPassword.isEmpty() || noPrint || noCopy ||
               noChange;
    }
};

struct PdfWatermark {
    static constexpr int kMinSize = 6, kMaxSize = 200, kDefaultSize = 48;
    static constexpr int kDefaultOpacity = 30;  // percent, 1 to 100

    QString text;             // empty or blank: no watermark
    int size = kDefaultSize;  // points
    int opacity = kDefaultOpacity;
    bool tiled = true;  // repeated over the page; otherwise once across its middle

    bool any() const { return !text.trimmed().isEmpty(); }
};

struct PdfMerge {
    bool on = false;
    QString fileName;  // in the output folder; see mergedFileName
    bool keepParts = true;
};

struct PdfOptions {
    PdfProtection protection;
    PdfWatermark watermark;
    PdfMerge merge;

    // Whether each PDF output is rewritten after the office wrote it.
    bool rewritesOutputs() const { return protection.any() || watermark.any(); }
};

// The options the settings file at profile holds ([sdef] pdfdk, pdfqx, jzdy, jzfz, jzxg,
// syzw, syzh, sybtm, sypp, hbpdf, hbwj, blfj); missing or unreadable values take the
// defaults above, numbers are clamped to their ranges.
PdfOptions readPdfOptions(const QString& profile);
// Writes them all; 1 when every key was written, -1 otherwise.
int writePdfOptions(const QString& profile, const PdfOptions& options);

// The name a merged file gets in the output folder: the given name with ".pdf" added when
// it has another ending, "合并.pdf" for an empty one; empty when the name would leave the
// folder (a separator, "." or "..").
QString mergedFileName(const QString& given);

// Why a request with these options and PDF/A part (0: plain PDF) cannot run, as the
// message shown to the user; empty when it can.
QString pdfOptionsRefusal(int pdfaPart, const PdfOptions& options);

}  // namespace quorv
