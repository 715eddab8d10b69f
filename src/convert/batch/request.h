#pragma once

// A batch request: the rows, what is done with each, and every option the run follows.
// The window, the search, quorvbatch, quorvcli and the office service all build it here,
// from the settings file and the few values each overrides; the engine runs it.

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

#include "convert/outputcheck.h"
#include "convert/pdf2swf1.h"
#include "core/globals.h"
#include "core/pdfoptions.h"

namespace quorv {

// Find looks for a text in each row's document instead of converting it: Success means
// found.
enum class BatchMode { Pdf, Xps, Custom, Swf, Copy, Find, Ofd };

// What a mode is called where a request is written down (quorvbatch's --mode, the JSON
// the office service reads), and what it writes.
struct ModeInfo {
    BatchMode mode;
    const char* name;
    bool writes;                     // false: the rows are only read
    std::optional<OutputKind> kind;  // the check its outputs pass; none for a copy
    const char* extension;           // of its outputs; empty where the request says
    int wordFormat;                  // Word's save code of its outputs, or -1
};
// Every mode, in the order the enum has them.
const QList<ModeInfo>& batchModes();
const ModeInfo& modeInfo(BatchMode mode);
QString modeName(BatchMode mode);
std::optional<BatchMode> modeNamed(const QString& name);

struct BatchRow {
    QString filey;  // file name
    QString ypath;  // its folder, ending in "/"
    QString zml;    // subfolder below the scanned folder, ending in "/" (may be empty)
};

struct BatchRequest {
    QList<BatchRow> rows;  // in display order
    BatchMode mode = BatchMode::Pdf;
    QString outputBase;  // ends in "/"
    bool keepSubfolders = false;
    QString sfth;     // "y": outputs replace files of the same name
    QString awordhz;  // extensions opened through Word beside doc and docx
    QString wordExt;  // Custom: extension and Word save format
    int wordFormat = 0;
    int pdfa = 0;  // Pdf: the outputs conform to PDF/A-1b, 2b or 3b; 0: plain PDF
    QString pdfp;  // SWF, OFD: folder of the intermediate PDFs, ending in "/"
    // SWF, OFD: an intermediate PDF replaces one of the same name, its folder made when missing
    // (else sfth decides, and the folder must be there); names with a blank are converted
    // (else they are refused, as the tool's command line has always been).
    bool replaceIntermediate = false;
    bool blankNamesTaken = false;
    SwfTool swf;       // SWF: the tool and its settings
    QString ofdTool;   // OFD: the PDF to OFD tool
    QString findText;  // Find: the text looked for
    int poolSize = 1;
    // A row that raises an error is recorded as failed with its reason and the run goes
    // on; otherwise the run stops there and error() holds it.
    bool goOn = false;
    // Tried in turn on a source protected by a password (the settings' open passwords).
    QStringList passwords;
    // Links in the documents to the user's own files are followed (never the network).
    bool localLinks = false;
    // What is done to PDF outputs (and to the PDF an XPS or SWF is made from) once written.
    PdfOptions pdf;
};

// The check an output of this request passes, or none when it writes no converted file.
std::optional<OutputKind> outputKindOf(const BatchRequest& request);
// The extension of this request's outputs; empty for a copy, which keeps the source's.
QString outputExtensionOf(const BatchRequest& request);

// What a program sets itself instead of taking it from the settings file.
struct RequestOverrides {
    std::optional<int> poolSize;
    std::optional<bool> goOn;
    std::optional<int> pdfa;
    std::optional<QString> sfth;
    std::optional<SwfTool> swf;
    std::optional<bool> localLinks;
    // Each set one replaces the settings' value.
    struct Pdf {
        std::optional<QString> openPassword;
        std::optional<QString> permissionsPassword;
        std::optional<bool> noPrint, noCopy, noChange;
        std::optional<QString> watermark;
        std::optional<int> watermarkSize, watermarkOpacity;
        std::optional<bool> watermarkTiled;
        std::optional<QString> mergeFile;  // set: the run's PDFs are merged under this name
        std::optional<bool> keepParts;
    } pdf;
};

// A request of `mode` without rows, every option read from the settings the way a batch
// reads them: what `g` holds (loaded at the program's start), the rest from g.profile at
// this moment, so that a format or tool just saved in the settings counts. Each option is
// filled only for the modes that use it.
BatchRequest requestFromSettings(BatchMode mode, const GlobalSettings& g,
                                 const RequestOverrides& overrides = {});

// Why a request cannot be run as it stands, in the user's words; empty when it can. A
// request that asks for two things that exclude each other is refused here rather than
// run with one of them silently dropped.
QString requestProblem(const BatchRequest& request);

// The folder a row's outputs go to.
QString batchOutputFolder(const BatchRequest& request, const BatchRow& row);

}  // namespace quorv
