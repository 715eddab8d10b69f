#include "convert/batch/row.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QtDebug>
#include <vector>

#include "convert/automation.h"
#include "convert/backend.h"
#include "convert/batch/placement.h"
#include "convert/contentfind.h"
#include "convert/docbytes.h"
#include "convert/officeconvert.h"
#include "convert/outputcheck.h"
#include "convert/pdf2ofd1.h"
#include "convert/wordconvert.h"
#include "core/filenames.h"

namespace quorv {

namespace {

// Makes the subfolders below the output folder that a row writes into.
void makeFolder(const QString& base, const QString& folder) {
    if (folder.size() > base.size()) QDir().mkpath(folder);
}

// Why a copy or the SWF tool left no file: the source, the folder, or else the step itself.
FailReason writeFailure(const QString& source, const QString& folder, FailReason otherwise) {
    if (!QFileInfo(source).isFile()) return FailReason::SourceMissing;
    if (!folderTakesFiles(folder)) return FailReason::OutputUnwritable;
    return otherwise;
}

// Whether a file's first bytes are text (any 8-bit encoding, GBK too): no NUL and no
// control characters but layout ones. An empty file is an empty text.
bool looksLikeText(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return false;
    const QByteArray head = f.read(4096);
    for (const char c : head) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 && u != '\t' && u != '\n' && u != '\r' && u != '\f' && u != 0x1b) {
            return false;
        }
    }
    return true;
}

// The kind a row converts or searches a file as: documentKind, but a file whose bytes show
// no kind goes by its name only when the office will read it for what it is. A damaged
// package or a protected file gets the office's own reason; text under a Word or Excel
// name opens as text or CSV, as there, and so does an extension of the user's Word list
// (txt, aspx) in Word. Any other bytes would be imported as text and come out as a
// document: Unknown.
DocKind rowKind(const QString& path, const QString& awordhz) {
    const DocKind byBytes = contentKind(path);
    if (byBytes != DocKind::Unknown) return byBytes;
    const DocKind byName = kindByExtension(path);
    if (!QFileInfo(path).isFile()) return byName;
    if (byName == DocKind::Unknown) {
        return wordAccepts(path, awordhz) ? DocKind::Word : DocKind::Unknown;
    }
    if (documentBytesProblem(path) != FailReason::None) return byName;
    const bool opensText = byName == DocKind::Word || byName == DocKind::Excel;
    return opensText && looksLikeText(path) ? byName : DocKind::Unknown;
}

// Adds the watermark and protection to a written PDF through the program's backend.
bool rewritePdf(const QString& path, const PdfOptions& options) {
    const ConvertBackend& b = backend();
    QString error;
    if (b.postProcessPdf && b.postProcessPdf(path, options, &error)) return true;
    // The reason names the file and the library's complaint, never a password.
    qWarning().noquote() << "PDF watermark/protection failed:" << path << error;
    return false;
}

// The options for a PDF that is only a step towards another format: its watermark goes
// on to the final file; a password would only keep the converting tool out.
PdfOptions watermarkOnly(const PdfOptions& options) {
    PdfOptions o;
    o.watermark = options.watermark;
    return o;
}

RowOutcome findInRow(const BatchRequest& q, const QString& path, RowWorker& state) {
    RowOutcome out;
    out.result = BatchResult::Failure;
    bool hit = false;
    // A name the office cannot be given is simply not found.
    const DocKind kind = undecodableName(path) ? DocKind::Unknown : rowKind(path, q.awordhz);
    if (kind == DocKind::Excel || kind == DocKind::PowerPoint) {
        const std::optional<bool> r = retryAfterServerDeath([&] {
            return kind == DocKind::Excel ? excelFind(path, q.findText, q.passwords)
                                          : presentationFind(path, q.findText, q.passwords);
        });
        if (r) {
            hit = *r;
        } else if (kind == DocKind::Excel) {
            out.notice = BatchNotice::ExcelUnavailable;
        } else {
            out.reason = FailReason::OfficeUnavailable;
        }
    }
    if (kind == DocKind::Word) {
        if (!state.word) {
            auto word = std::make_unique<OleObject>();
            if (!connectSearchWord(*word)) {
                out.reason = FailReason::OfficeUnavailable;
                out.fatal = true;
                return out;
            }
            state.word = std::move(word);
        }
        // Word's connection went with a dead instance: a new one reaches a fresh instance.
        hit = retryAfterServerDeath(
            [&] { return wordFind(*state.word, path, q.findText, q.passwords); },
            [&] {
                state.word->disconnectObject();
                return connectSearchWord(*state.word);
            });
    }
    if (hit) out.result = BatchResult::Success;
    return out;
}

}  // namespace

RowWorker::RowWorker() = default;
RowWorker::~RowWorker() = default;

void RowWorker::quitWord() {
    if (!word) return;
    try {
        word->call({"quit"});
    } catch (...) {
    }
    word.reset();
}

void RowWorker::end() {
    if (!failed) quitWord();
    word.reset();
}

RowOutcome runBatchRow(const BatchRequest& q, const BatchRow& row, RowWorker& state) {
    const QString filey1 = row.ypath + row.filey;
    if (q.mode == BatchMode::Find) return findInRow(q, filey1, state);
    const QString folder = batchOutputFolder(q, row);
    makeFolder(q.outputBase, folder);
    const WordOptions word{q.awordhz, q.pdfa, q.passwords};
    const bool replace = q.sfth == QLatin1String("y");
    RowOutcome out;
    // Every output is written into a part folder beside its target, checked there and only
    // then renamed into place: the target never holds a half-written or unchecked file,
    // whatever happens to the run.
    OutputPart part(folder);
    OutputPart stepPart(q.pdfp);
    // `post`: what is done to a PDF output before its check; the check then opens it with
    // the open password. A PDF that cannot get them is not left unprotected.
    auto take = [&](const ConvertOutcome& c, OutputKind kind, const QString& source,
                    OutputPart& into, bool replaces, const PdfOptions& post = {},
                    const PlaceHook& hook = {}) {
        ConvertOutcome taken = c;
        if (c.written() && post.rewritesOutputs() && !rewritePdf(c.output, post)) {
            taken = ConvertOutcome::failed(FailReason::PdfRewriteFailed);
        } else if (c.written() &&
                   !outputReads(c.output, kind, source, post.protection.openPassword)) {
            taken = ConvertOutcome::failed(FailReason::NoOutput);
        } else if (c.written()) {
            const OutputPart::Placed placed = into.place(c.output, replaces, source, hook);
            taken = {placed.path, placed.reason};
        }
        out.result = taken.written() ? BatchResult::Success : BatchResult::Failure;
        out.reason = taken.reason;
        out.output = taken.output;
        return taken.output;
    };
    // The part folder a conversion writes into, or the reason there is none.
    auto partOf = [&](OutputPart& p, const QString& source, const QString& target) {
        const QString f = p.folder();
        return std::make_pair(f, f.isEmpty()
                                     ? writeFailure(source, target, FailReason::OutputUnwritable)
                                     : FailReason::None);
    };
    // Each kind goes to its own application; a file of no kind is refused before any
    // office sees it, and one only the user's Word list names goes to Word as before.
    const DocKind kind = q.mode == BatchMode::Copy ? DocKind::Unknown : rowKind(filey1, q.awordhz);
    const bool byList = kind == DocKind::Word && contentKind(filey1) == DocKind::Unknown &&
                        kindByExtension(filey1) == DocKind::Unknown;
    // A name no office claims keeps the type refusal it always had; only bytes under an
    // office name that no office reads are an unknown kind.
    auto unknown = [&] {
        if (!QFileInfo(filey1).isFile()) return ConvertOutcome::failed(FailReason::SourceMissing);
        return ConvertOutcome::failed(kindByExtension(filey1) == DocKind::Unknown
                                          ? FailReason::WrongType
                                          : FailReason::UnknownKind);
    };
    auto toFixed = [&](const QString& fhz, OutputPart& p, const QString& target, int gs) {
        if (kind == DocKind::Unknown) return unknown();
        const auto [into, why] = partOf(p, filey1, target);
        if (into.isEmpty()) return ConvertOutcome::failed(why);
        return byList ? wordKind2xps(filey1, fhz, into, gs, word)
                      : office2xps(filey1, fhz, into, gs, word);
    };
    auto toAny = [&] {
        if (kind == DocKind::Unknown) return unknown();
        const auto [into, why] = partOf(part, filey1, folder);
        if (into.isEmpty()) return ConvertOutcome::failed(why);
        return byList ? wordKind2any(filey1, q.wordExt, into, q.wordFormat, word)
                      : office2any(filey1, q.wordExt, into, q.wordFormat, word);
    };
    switch (q.mode) {
        case BatchMode::Find:  // searched above
            break;
        case BatchMode::Pdf:
            take(toFixed(QStringLiteral("pdf"), part, folder, 17), OutputKind::Pdf, filey1, part,
                 replace, q.pdf, state.placing);
            break;
        case BatchMode::Xps:
            take(toFixed(QStringLiteral("xps"), part, folder, 18), OutputKind::Xps, filey1, part,
                 replace, {}, state.placing);
            break;
        case BatchMode::Custom:
            take(toAny(), outputKindOfFormat(q.wordFormat), filey1, part, replace, q.pdf,
                 state.placing);
            break;
        case BatchMode::Copy: {
            // A copy comes into place whole by itself (see copyIntoPlace).
            const QString name = replace ? row.filey : fzmccf(folder, row.filey);
            out.result =
                copyIntoPlace(filey1, folder + name) ? BatchResult::Success : BatchResult::Failure;
            if (out.result == BatchResult::Failure) {
                out.reason = writeFailure(filey1, folder, FailReason::NoOutput);
            } else {
                out.output = folder + name;
            }
            break;
        }
        case BatchMode::Swf:
        case BatchMode::Ofd: {
            // Both go through the document's PDF; only the tool run on it differs.
            const bool ofd = q.mode == BatchMode::Ofd;
            const OutputKind outKind = ofd ? OutputKind::Ofd : OutputKind::Swf;
            const FailReason toolFailed = ofd ? FailReason::OfdFailed : FailReason::SwfFailed;
            auto tool = [&](const QString& pdf) {
                const auto [into, why] = partOf(part, pdf, folder);
                if (into.isEmpty()) return ConvertOutcome::failed(why);
                return ofd ? pdf2ofd1(pdf, into, q.ofdTool) : pdf2swf1(pdf, into, q.swf);
            };
            auto convertPdf = [&](const QString& pdf) {
                take(tool(pdf), outKind, pdf, part, replace, {}, state.placing);
                if (out.reason == toolFailed) out.reason = writeFailure(pdf, folder, toolFailed);
            };
            // The blank rule is the SWF tool's command line; the OFD tool takes any name.
            if (!ofd && !q.blankNamesTaken && row.filey.contains(QLatin1Char(' '))) {
                out.result = BatchResult::Blank;
                out.reason = FailReason::BlankInName;
            } else if (qfilehz(filey1) == QLatin1String("pdf")) {
                convertPdf(filey1);
            } else if (!q.replaceIntermediate && !QFileInfo(q.pdfp).isDir()) {
                // The window makes the intermediate folder when the settings are saved,
                // never here; a replacing export (the command line's) makes its own.
                out.result = BatchResult::Failure;
                out.reason = FailReason::OutputUnwritable;
            } else {
                // The command line's export replaces an earlier intermediate PDF: word2pdf
                // for a Word document, as quorvcli has always made it, else the same here.
                const bool wordPdf = q.replaceIntermediate && kind == DocKind::Word && !byList;
                // An earlier intermediate must not outlive a failed export as if it were
                // this one's.
                if (q.replaceIntermediate && kind != DocKind::Unknown) {
                    QDir().mkpath(q.pdfp);
                    QFile::remove(filegszh(filey1, QStringLiteral("pdf"), q.pdfp));
                }
                ConvertOutcome pdf;
                if (wordPdf) {
                    // A folder that cannot be written fails in Word's export as it always
                    // has, with its error report.
                    const QString into = stepPart.folder();
                    pdf = word2pdf(filey1, into.isEmpty() ? q.pdfp : into, q.passwords);
                } else {
                    pdf = toFixed(QStringLiteral("pdf"), stepPart, q.pdfp, 17);
                }
                out.intermediate = take(pdf, OutputKind::Pdf, filey1, stepPart,
                                        replace || q.replaceIntermediate, watermarkOnly(q.pdf));
                // The tool has ended when this returns, so the PDF is no longer read.
                if (!out.intermediate.isEmpty()) convertPdf(out.intermediate);
            }
            break;
        }
    }
    return out;
}

bool copyIntoPlace(const QString& source, const QString& target) {
    const QFileInfo from(source);
    const QFileInfo to(target);
    if (!from.isFile()) return false;
    if (to.exists() && from.canonicalFilePath() == to.canonicalFilePath()) return false;
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly)) return false;
    QSaveFile out(target);
    if (!out.open(QIODevice::WriteOnly)) return false;
    constexpr qint64 kChunk = 1 << 20;
    while (!in.atEnd()) {
        const QByteArray chunk = in.read(kChunk);
        // Returning before commit discards the temporary file.
        if (chunk.isEmpty() || out.write(chunk) != chunk.size()) return false;
    }
    if (in.error() != QFileDevice::NoError || !out.flush()) return false;
    // An unchanged copy keeps what a copy keeps: the source's permissions and write time.
    out.setPermissions(in.permissions());
    out.setFileTime(from.lastModified(), QFileDevice::FileModificationTime);
    return out.commit();
}

}  // namespace quorv
