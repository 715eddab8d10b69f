#include "convert/batch/row.h"

#include <sys/stat.h>

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QtDebug>
#include <vector>

#include "convert/automation.h"
#include "convert/backend.h"
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

// Which file a path names and when it last changed; writing into a file or over it, by
// any means, gives it a new change time. Equal stamps: the file was left as it was.
struct FileStamp {
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    time_t changed = 0;
    long changedNs = 0;
    bool operator==(const FileStamp&) const = default;
};

FileStamp stampOf(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0) return {};
    return {true, st.st_dev, st.st_ino, st.st_ctim.tv_sec, st.st_ctim.tv_nsec};
}

// A file a row may write over, as it was before the row.
struct Earlier {
    QString path;
    FileStamp stamp;
};

// Whether an output is a file that was there before the row and that the row left as it
// was: the conversion wrote nothing, however good the old file is.
bool leftAsItWas(const QString& output, const std::vector<Earlier>& earlier) {
    for (const Earlier& e : earlier) {
        if (e.stamp.exists && samePath(e.path, output) && stampOf(output) == e.stamp) return true;
    }
    return false;
}

// Removes a broken output, unless it is the source or a file the row left as it was:
// those belong to the user.
void removeBroken(const QString& output, const QString& source,
                  const std::vector<Earlier>& earlier) {
    if (samePath(output, source) || leftAsItWas(output, earlier)) return;
    QFile::remove(output);
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
    const WordOptions word{q.awordhz, q.sfth, q.pdfa, q.passwords};
    // The names a replacing row writes over (a numbered output is always a new file).
    std::vector<Earlier> earlier;
    auto mayReplace = [&](const QString& path) { earlier.push_back({path, stampOf(path)}); };
    switch (q.mode) {
        case BatchMode::Pdf:
            mayReplace(filegszh(filey1, QStringLiteral("pdf"), folder));
            break;
        case BatchMode::Xps:
            mayReplace(filegszh(filey1, QStringLiteral("xps"), folder));
            break;
        case BatchMode::Custom:
            mayReplace(filegszh(filey1, q.wordExt, folder));
            break;
        case BatchMode::Swf:
            mayReplace(filegszh(filey1, QStringLiteral("pdf"), q.pdfp));
            mayReplace(filegszh(filey1, QStringLiteral("swf"), folder));
            break;
        case BatchMode::Ofd:
            mayReplace(filegszh(filey1, QStringLiteral("pdf"), q.pdfp));
            mayReplace(filegszh(filey1, QStringLiteral("ofd"), folder));
            break;
        case BatchMode::Copy:
        case BatchMode::Find:
            break;
    }
    RowOutcome out;
    // An output that does not read is none, and so is an earlier file of its name that
    // nothing wrote over (a replacing run finds it there at once): the row fails as one
    // that wrote nothing.
    // `post`: what is done to a PDF output before its check; the check then opens it
    // with the open password. A PDF that cannot get them is not left unprotected.
    auto take = [&](const ConvertOutcome& c, OutputKind kind, const QString& source,
                    const PdfOptions& post = {}) {
        ConvertOutcome taken = c;
        if (c.written() && leftAsItWas(c.output, earlier)) {
            taken = ConvertOutcome::failed(FailReason::NoOutput);
        } else if (c.written() && post.rewritesOutputs() && !rewritePdf(c.output, post)) {
            removeBroken(c.output, source, earlier);
            taken = ConvertOutcome::failed(FailReason::PdfRewriteFailed);
        } else if (c.written() &&
                   !outputReads(c.output, kind, source, post.protection.openPassword)) {
            removeBroken(c.output, source, earlier);
            taken = ConvertOutcome::failed(FailReason::NoOutput);
        }
        out.result = taken.written() ? BatchResult::Success : BatchResult::Failure;
        out.reason = taken.reason;
        out.output = taken.output;
        return taken.output;
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
    auto toFixed = [&](const QString& fhz, const QString& into, int gs) {
        if (kind == DocKind::Unknown) return unknown();
        return byList ? wordKind2xps(filey1, fhz, into, gs, word)
                      : office2xps(filey1, fhz, into, gs, word);
    };
    switch (q.mode) {
        case BatchMode::Find:  // searched above
            break;
        case BatchMode::Pdf:
            take(toFixed(QStringLiteral("pdf"), folder, 17), OutputKind::Pdf, filey1, q.pdf);
            break;
        case BatchMode::Xps:
            take(toFixed(QStringLiteral("xps"), folder, 18), OutputKind::Xps, filey1);
            break;
        case BatchMode::Custom:
            take(kind == DocKind::Unknown ? unknown()
                 : byList ? wordKind2any(filey1, q.wordExt, folder, q.wordFormat, word)
                          : office2any(filey1, q.wordExt, folder, q.wordFormat, word),
                 outputKindOfFormat(q.wordFormat), filey1, q.pdf);
            break;
        case BatchMode::Copy: {
            const QString name =
                q.sfth == QLatin1String("y") ? row.filey : fzmccf(folder, row.filey);
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
            const bool keep = q.sfth == QLatin1String("n");
            // Both go through the document's PDF; only the tool run on it differs.
            const bool ofd = q.mode == BatchMode::Ofd;
            const OutputKind outKind = ofd ? OutputKind::Ofd : OutputKind::Swf;
            const FailReason toolFailed = ofd ? FailReason::OfdFailed : FailReason::SwfFailed;
            auto tool = [&](const QString& pdf) {
                return ofd ? pdf2ofd1(pdf, folder, keep, q.ofdTool)
                           : pdf2swf1(pdf, folder, keep, q.swf);
            };
            // The blank rule is the SWF tool's command line; the OFD tool takes any name.
            if (!ofd && !q.blankNamesTaken && row.filey.contains(QLatin1Char(' '))) {
                out.result = BatchResult::Blank;
                out.reason = FailReason::BlankInName;
            } else if (qfilehz(filey1) == QLatin1String("pdf")) {
                take(tool(filey1), outKind, filey1);
                if (out.reason == toolFailed) {
                    out.reason = writeFailure(filey1, folder, toolFailed);
                }
            } else if (!q.replaceIntermediate && !QFileInfo(q.pdfp).isDir()) {
                // The window makes the intermediate folder when the settings are saved,
                // never here; a replacing export (the command line's) makes its own.
                out.result = BatchResult::Failure;
                out.reason = FailReason::OutputUnwritable;
            } else {
                // The command line's export replaces an earlier intermediate PDF: word2pdf
                // for a Word document, as quorvcli has always made it, else the same here.
                const bool wordPdf = q.replaceIntermediate && kind == DocKind::Word && !byList;
                if (q.replaceIntermediate && !wordPdf && kind != DocKind::Unknown) {
                    QDir().mkpath(q.pdfp);
                    QFile::remove(filegszh(filey1, QStringLiteral("pdf"), q.pdfp));
                }
                out.intermediate = take(wordPdf ? word2pdf(filey1, q.pdfp, q.passwords)
                                                : toFixed(QStringLiteral("pdf"), q.pdfp, 17),
                                        OutputKind::Pdf, filey1, watermarkOnly(q.pdf));
                if (!out.intermediate.isEmpty()) {
                    // The tool has ended when this returns, so the PDF is no longer read.
                    take(tool(out.intermediate), outKind, out.intermediate);
                    if (out.reason == toolFailed) {
                        out.reason = writeFailure(out.intermediate, folder, toolFailed);
                    }
                }
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
