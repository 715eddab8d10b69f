#include "convert/officeconvert.h"

#include <QFileInfo>

#include "convert/automation.h"
#include "convert/passwordopen.h"
#include "core/filenames.h"

namespace quorv {

namespace {

constexpr int kWordPdf = 17;
constexpr int kWordXps = 18;

struct Server {
    DocKind kind;
    const char* name;
};

const Server kExcel{DocKind::Excel, "Excel.Application"};
const Server kPowerPoint{DocKind::PowerPoint, "PowerPoint.Application"};

enum class Write { Export, SaveAs };

bool connectServer(OleObject& app, const Server& server) {
    const QString name = QString::fromLatin1(server.name);
    return app.connectToObject(name) == kConnectOk || app.connectToNewObject(name) == kConnectOk;
}

// Opens, writes and quits, as a Word conversion does, on the workbook or presentation.
void writeOpened(OleObject& app, const Server& server, const QString& yfilename,
                 const QString& outPath, Write write, int gs, const WordOptions& options) {
    const bool xps = gs == kWordXps;
    const int pdfa = xps ? 0 : options.pdfa;
    if (server.kind == DocKind::Excel) {
        app.set({"application", "displayalerts"}, false);
        openWorkbook(app, yfilename, options.passwords);
        app.set({"application", "visible"}, false);
        if (write == Write::SaveAs) {
            app.call({"activeworkbook", "saveas"}, {outPath, gs});
        } else {
            // Type (0 PDF, 1 XPS), Filename, then seven left as they are; the tenth takes
            // the PDF/A part.
            VariantList args{xps ? 1 : 0, outPath};
            if (pdfa > 0) {
                while (args.size() < 9) args.append(Variant());
                args.append(Variant(pdfa));
            }
            app.call({"activeworkbook", "exportasfixedformat"}, args);
        }
        app.call({"activeworkbook", "close"}, {false});
    } else {
        app.set({"displayalerts"}, false);
        // FileName, ReadOnly (msoTrue), Untitled, WithWindow (msoFalse), then a password.
        openWithPasswords(app, {"presentations", "open"}, {yfilename, -1, 0, 0}, options.passwords);
        if (write == Write::SaveAs) {
            app.call({"activepresentation", "saveas"}, {outPath, gs});
        } else {
            // Path, type (2 PDF, 1 XPS); the fifteenth, UseISO19005_1, takes the PDF/A part.
            VariantList args{outPath, xps ? 1 : 2};
            if (pdfa > 0) {
                while (args.size() < 14) args.append(Variant());
                args.append(Variant(pdfa));
            }
            app.call({"activepresentation", "exportasfixedformat"}, args);
        }
        app.call({"activepresentation", "close"});
    }
    waitForOutputFile(outPath);
    app.call({"quit"});
    app.disconnectObject();
}

ConvertOutcome convertKind(const Server& server, const QString& yfilename, const QString& fhz,
                           const QString& npath, int gs, Write write, const WordOptions& options) {
    if (undecodableName(yfilename)) return ConvertOutcome::failed(FailReason::SourceMissing);
    if (!QFileInfo(yfilename).isFile()) return ConvertOutcome::failed(FailReason::SourceMissing);
    const DocKind kind = documentKind(yfilename);
    if (kind == DocKind::Unknown) return ConvertOutcome::failed(FailReason::UnknownKind);
    if (kind != server.kind) return ConvertOutcome::failed(FailReason::WrongType);
    if (write == Write::Export && gs != kWordPdf && gs != kWordXps) {
        return ConvertOutcome::failed(FailReason::NoSuchFormat);
    }
    // The output takes the source's name in npath; the batch keeps or numbers it as it
    // places it.
    const QString outPath = filegszh(yfilename, fhz, npath);
    // A conversion never writes over its own source.
    if (samePath(outPath, yfilename)) return ConvertOutcome::failed(FailReason::NoOutput);
    return retryAfterServerDeath([&] {
        OleObject app;
        if (!connectServer(app, server)) {
            return ConvertOutcome::failed(FailReason::OfficeUnavailable);
        }
        writeOpened(app, server, yfilename, outPath, write, gs, options);
        if (QFileInfo::exists(outPath)) return ConvertOutcome::wrote(outPath);
        return ConvertOutcome::failed(FailReason::NoOutput);
    });
}

}  // namespace

ConvertOutcome excel2xps(const QString& yfilename, const QString& fhz, const QString& npath, int gs,
                         const WordOptions& options) {
    return convertKind(kExcel, yfilename, fhz, npath, gs, Write::Export, options);
}

ConvertOutcome excel2any(const QString& yfilename, const QString& fhz, const QString& npath, int gs,
                         const WordOptions& options) {
    return convertKind(kExcel, yfilename, fhz, npath, gs, Write::SaveAs, options);
}

ConvertOutcome ppt2xps(const QString& yfilename, const QString& fhz, const QString& npath, int gs,
                       const WordOptions& options) {
    return convertKind(kPowerPoint, yfilename, fhz, npath, gs, Write::Export, options);
}

ConvertOutcome ppt2any(const QString& yfilename, const QString& fhz, const QString& npath, int gs,
                       const WordOptions& options) {
    return convertKind(kPowerPoint, yfilename, fhz, npath, gs, Write::SaveAs, options);
}

std::optional<int> kindSaveCode(DocKind kind, int wordCode) {
    if (kind == DocKind::Word) return wordCode;
    const bool excel = kind == DocKind::Excel;
    if (!excel && kind != DocKind::PowerPoint) return std::nullopt;
    switch (wordCode) {
        case 0:  // Word 97-2003: the 97-2003 format of the kind
            return excel ? 56 : 1;
        case 12:  // Word document, default format: the kind's 2007 format
        case 16:
            return excel ? 51 : 24;
        case 23:  // OpenDocument
            return excel ? 60 : 35;
        case 8:  // web page, filtered web page: a workbook's sheets as tables
        case 10:
            return excel ? std::optional<int>(44) : std::nullopt;
        case 2:  // plain text: a workbook's first sheet as CSV, UTF-8 as Word's text is
            return excel ? std::optional<int>(62) : std::nullopt;
        default:
            return std::nullopt;
    }
}

ConvertOutcome office2xps(const QString& yfilename, const QString& fhz, const QString& npath,
                          int gs, const WordOptions& options) {
    switch (documentKind(yfilename)) {
        case DocKind::Word:
            return wordKind2xps(yfilename, fhz, npath, gs, options);
        case DocKind::Excel:
            return excel2xps(yfilename, fhz, npath, gs, options);
        case DocKind::PowerPoint:
            return ppt2xps(yfilename, fhz, npath, gs, options);
        case DocKind::Unknown:
            break;
    }
    if (!QFileInfo(yfilename).isFile()) return ConvertOutcome::failed(FailReason::SourceMissing);
    return ConvertOutcome::failed(FailReason::UnknownKind);
}

ConvertOutcome office2any(const QString& yfilename, const QString& fhz, const QString& npath,
                          int gs, const WordOptions& options) {
    const DocKind kind = documentKind(yfilename);
    if (kind == DocKind::Unknown) {
        if (!QFileInfo(yfilename).isFile()) {
            return ConvertOutcome::failed(FailReason::SourceMissing);
        }
        return ConvertOutcome::failed(FailReason::UnknownKind);
    }
    if (kind == DocKind::Word) return wordKind2any(yfilename, fhz, npath, gs, options);
    const std::optional<int> code = kindSaveCode(kind, gs);
    if (!code) return ConvertOutcome::failed(FailReason::NoSuchFormat);
    return kind == DocKind::Excel ? excel2any(yfilename, fhz, npath, *code, options)
                                  : ppt2any(yfilename, fhz, npath, *code, options);
}

}  // namespace quorv
