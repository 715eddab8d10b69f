#include "programs/quorvbatch/batchrun.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDevice>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QTextStream>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <mutex>
#include <vector>

#include "convert/batch/placement.h"
#include "convert/batch/run.h"
#include "convert/folderscan.h"
#include "convert/outputcheck.h"
#include "core/defaults.h"
#include "core/filenames.h"
#include "core/globals.h"
#include "core/quorvapp.h"
#include "engines/checks/outputchecks.h"
#include "programs/quorvbatch/batchoptions.h"
#include "programs/quorvbatch/journal.h"

namespace quorv {

namespace {

// Written and flushed at once, so that a run killed right after leaves whole lines.
void put(QIODevice* to, const QByteArray& bytes) {
    if (!to) return;
    to->write(bytes);
    if (auto* file = qobject_cast<QFileDevice*>(to)) file->flush();
}

void say(QIODevice* to, const QString& text) { put(to, (text + QLatin1Char('\n')).toUtf8()); }

// One file of the run, as the scan or the argument list gave it.
struct Source {
    BatchRow row;  // its real folder and subfolder
    QString path;  // absolute
    bool fromFolder = false;
};

// What quorvbatch does with each file: skipped by the journal, or converted by row `job`.
struct Item {
    Source source;
    JournalEntry previous;  // the journal's entry when the file is skipped
    bool skip = false;
    // Set as the engine reports.
    BatchResult result = BatchResult::Failure;
    FailReason reason = FailReason::None;
    QElapsedTimer clock;
    qint64 ms = 0;
    QString output;  // where a converted or skipped file's output is
};

QString optionsText(const BatchOptions& o, const BatchRequest& q) {
    QStringList parts{o.modeName, o.replace ? QStringLiteral("y") : QStringLiteral("n"),
                      o.keepSubfolders ? QStringLiteral("keep") : QStringLiteral("flat")};
    if (o.mode == BatchMode::Custom) parts << q.wordExt << QString::number(q.wordFormat);
    if (o.mode == BatchMode::Swf) parts << q.swf.flashv << q.swf.langd;
    // Only when asked for, so that journals of plain runs still match.
    if (q.pdfa > 0) parts << QStringLiteral("pdfa%1").arg(q.pdfa);
    if (q.localLinks) parts << QStringLiteral("locallinks");
    // Whether there are passwords, never what they are.
    const PdfProtection& p = q.pdf.protection;
    if (p.any()) {
        parts << QStringLiteral("protect:%1%2%3%4%5")
                     .arg(p.openPassword.isEmpty() ? "" : "o",
                          p.permissionsPassword.isEmpty() ? "" : "w", p.noPrint ? "p" : "",
                          p.noCopy ? "c" : "", p.noChange ? "m" : "");
    }
    const PdfWatermark& w = q.pdf.watermark;
    if (w.any()) {
        parts << QStringLiteral("watermark:%1:%2:%3:%4")
                     .arg(w.size)
                     .arg(w.opacity)
                     .arg(w.tiled ? "tiled" : "single", w.text);
    }
    return parts.join(QLatin1Char('|'));
}

// Whether an output can be used as it is: a readable file that passes the check a row's
// output passes (a copy is the source's bytes and passes as it is).
bool outputReadable(const QString& path, const BatchRequest& q, const QString& source) {
    const QFileInfo f(path);
    if (!f.isFile() || !f.isReadable()) return false;
    const std::optional<OutputKind> kind = outputKindOf(q);
    return !kind || outputReads(path, *kind, source, q.pdf.protection.openPassword);
}

class Run {
  public:
    Run(const BatchOptions& o, const GlobalSettings& g, const BatchStreams& streams)
        : o_(o), g_(g), streams_(streams) {}
    int exec();

  private:
    bool collect();
    bool addInput(const QString& input, bool listed);
    void addFile(const QString& path);
    void emitLine(const Item& item, const QString& status, const QString& output, int pages);
    bool placing(int job, const QString& written, const QString& target);
    void finish(int job);
    void progress(bool last);
    JournalEntry entryFor(const Item& item) const;
    bool mergeOutputs(bool interrupted);
    void printErr(const QString& text) const { say(streams_.err, text); }

    const BatchOptions& o_;
    const GlobalSettings& g_;
    const BatchStreams& streams_;
    QString out_;   // the output folder, ending in "/"
    QString work_;  // this share's private folder inside it
    std::vector<Source> sources_;
    QSet<QString> seen_;
    std::vector<Item> items_;
    std::vector<int> jobItem_;  // engine row -> item
    BatchRequest request_;
    QString options_;
    std::unique_ptr<Journal> journal_;
    std::mutex journalLock_;  // rows note their renames from the workers' threads
    int done_ = 0;
    bool anyFailed_ = false;
    bool anyRetryable_ = false;
    QElapsedTimer clock_;
};

bool Run::addInput(const QString& input, bool listed) {
    const QFileInfo f(input);
    if (f.isDir()) {
        ScanOptions scan;
        scan.recursive = o_.recursive;
        scan.includeHidden = o_.includeHidden;
        scan.szf = o_.szf;
        scan.ftype = ftype9(o_.szf, g_.awordhz, g_.sftype);
        scan.since = o_.since;
        scanFolder(f.absoluteFilePath(), scan, [this](ScanRow&& r) {
            const QString path = QDir::cleanPath(r.ypath + r.filey);
            if (seen_.contains(path)) return;
            seen_.insert(path);
            sources_.push_back(Source{BatchRow{r.filey, r.ypath, r.zml}, path, true});
        });
        return true;
    }
    // A listed file that is gone is reported with the others; a named one ends the run.
    if (!f.exists() && !listed) {
        printErr(QStringLiteral("源文件不存在：") + input);
        return false;
    }
    addFile(f.absoluteFilePath());
    return true;
}

void Run::addFile(const QString& path) {
    const QString clean = QDir::cleanPath(path);
    if (seen_.contains(clean)) return;
    seen_.insert(clean);
    const QFileInfo f(clean);
    QString folder = f.absolutePath();
    if (!folder.endsWith(QLatin1Char('/'))) folder += QLatin1Char('/');
    sources_.push_back(Source{BatchRow{f.fileName(), folder, QString()}, clean, false});
}

bool Run::collect() {
    for (const QString& input : o_.inputs) {
        if (!addInput(input, false)) return false;
    }
    if (!o_.filesFrom.isEmpty()) {
        QFile file(o_.filesFrom);
        QIODevice* list = o_.filesFrom == QLatin1String("-") ? streams_.in : &file;
        const bool open =
            list == &file ? file.open(QIODevice::ReadOnly) : list && list->isReadable();
        if (!open) {
            printErr(QStringLiteral("无法读取文件列表：") + o_.filesFrom);
            return false;
        }
        while (!list->atEnd()) {
            QString line = QString::fromUtf8(list->readLine());
            while (line.endsWith(QLatin1Char('\n')) || line.endsWith(QLatin1Char('\r'))) {
                line.chop(1);
            }
            if (!line.isEmpty() && !addInput(line, true)) return false;
        }
    }
    return true;
}

JournalEntry Run::entryFor(const Item& item) const {
    const QFileInfo f(item.source.path);
    JournalEntry e;
    e.source = item.source.path;
    e.size = f.exists() ? f.size() : -1;
    e.mtime = f.exists() ? f.lastModified().toMSecsSinceEpoch() : -1;
    e.options = options_;
    return e;
}

void Run::emitLine(const Item& item, const QString& status, const QString& output, int pages) {
    QJsonObject o{{"source", item.source.path},
                  {"output", output.isEmpty() ? QJsonValue() : QJsonValue(output)},
                  {"status", status},
                  {"ms", item.ms}};
    if (item.reason == FailReason::None) {
        o.insert("reason", QJsonValue());
        o.insert("reasonText", QJsonValue());
    } else {
        o.insert("reason", failReasonName(item.reason));
        o.insert("reasonText", failReasonText(item.reason));
    }
    o.insert("retryable", failureRetryable(item.reason));
    o.insert("pages", pages > 0 ? QJsonValue(pages) : QJsonValue());
    put(streams_.out, QJsonDocument(o).toJson(QJsonDocument::Compact) + '\n');
    ++done_;
    progress(false);
}

void Run::progress(bool last) {
    if (!streams_.errIsTerminal) return;
    const int total = static_cast<int>(items_.size());
    const double minutes = std::max<qint64>(clock_.elapsed(), 1) / 60000.0;
    const double rate = done_ / minutes;
    const int left = rate > 0 ? static_cast<int>((total - done_) / rate * 60) : 0;
    const QString text = QStringLiteral("\r已完成 %1/%2，每分钟 %3 个，剩余约 %4:%5  ")
                             .arg(done_)
                             .arg(total)
                             .arg(rate, 0, 'f', 1)
                             .arg(left / 60)
                             .arg(left % 60, 2, 10, QLatin1Char('0'));
    put(streams_.err, (last ? text + QLatin1Char('\n') : text).toUtf8());
}

// Notes in the journal, before a row's checked output takes its name, where it is going:
// a run killed in between completes the rename when resumed.
bool Run::placing(int job, const QString& written, const QString& target) {
    JournalEntry entry = entryFor(items_[jobItem_[job]]);
    entry.output = target.mid(out_.size());
    entry.status = QStringLiteral("ok");
    const std::lock_guard lock(journalLock_);
    return journal_->appendPending(entry, written);
}

// Records a finished row and reports it.
void Run::finish(int job) {
    Item& item = items_[jobItem_[job]];
    JournalEntry entry = entryFor(item);
    if (item.result == BatchResult::Success && item.output.isEmpty()) {
        item.result = BatchResult::Failure;
        item.reason = FailReason::NoOutput;
    }
    int pages = 0;
    if (item.result == BatchResult::Success) {
        entry.output = item.output.mid(out_.size());
        entry.status = QStringLiteral("ok");
        if (qfilehz(item.output) == QLatin1String("pdf")) {
            pages = checks::pdfPageCount(item.output, request_.pdf.protection.openPassword);
        }
    } else {
        if (item.reason == FailReason::None) item.reason = FailReason::Unknown;
        item.output.clear();
        entry.status = QStringLiteral("failed");
        entry.reason = failReasonName(item.reason);
        anyFailed_ = true;
        if (failureRetryable(item.reason)) anyRetryable_ = true;
    }
    {
        const std::lock_guard lock(journalLock_);
        journal_->append(entry);
    }
    emitLine(item,
             item.result == BatchResult::Success ? QStringLiteral("ok") : QStringLiteral("failed"),
             item.output, pages);
}

// The run's PDFs as one file, in list order, reported as one JSON line of its own; false
// when a merge was asked for and not written.
bool Run::mergeOutputs(bool interrupted) {
    BatchRequest q = request_;
    q.outputBase = out_;
    QList<RunOutput> rows;
    for (const Item& item : items_) rows.append({item.source.row.filey, item.output});
    const MergedRun m = mergeRunOutputs(q, rows, interrupted);
    if (!m.asked) return true;
    const QJsonObject o{{"merge", m.target},
                        {"status", m.written ? QStringLiteral("ok") : QStringLiteral("failed")},
                        {"pages", m.written ? QJsonValue(m.pages) : QJsonValue()},
                        {"leftOut", QJsonArray::fromStringList(m.leftOut)},
                        {"error", m.error.isEmpty() ? QJsonValue() : QJsonValue(m.error)}};
    put(streams_.out, QJsonDocument(o).toJson(QJsonDocument::Compact) + '\n');
    printErr(m.text());
    return m.written;
}

int Run::exec() {
    out_ = QDir::cleanPath(QDir(o_.out).absolutePath());
    if (!out_.endsWith(QLatin1Char('/'))) out_ += QLatin1Char('/');
    if (!collect()) return kBatchRejected;
    // Shares split by name below the input root: from a recursive scan into one flat folder,
    // two shares could each claim "a.pdf" for sub1/a.doc and sub2/a.doc.
    const bool scanned =
        std::any_of(sources_.begin(), sources_.end(), [](const Source& s) { return s.fromFolder; });
    if (o_.shards > 1 && o_.recursive && !o_.keepSubfolders && scanned) {
        printErr(
            QStringLiteral("分片时子文件夹中的同名文件可能写到同一处，请加 --keep-subfolders"));
        return kBatchRejected;
    }

    const QString share =
        o_.shards > 1 ? QStringLiteral("-%1-of-%2").arg(o_.shard).arg(o_.shards) : QString();
    work_ = out_ + QStringLiteral(".quorvbatch-work") + share + QLatin1Char('/');

    RequestOverrides overrides;
    overrides.poolSize = o_.jobs;
    overrides.goOn = o_.goOn;
    overrides.pdfa = o_.pdfa;
    overrides.localLinks = o_.localLinks;
    overrides.pdf = o_.pdf;
    overrides.sfth = o_.replace ? QStringLiteral("y") : QStringLiteral("n");
    request_ = requestFromSettings(o_.mode, g_, overrides);
    request_.outputBase = out_;
    request_.keepSubfolders = o_.keepSubfolders;
    // The PDFs SWF and OFD are made from are this run's own, not the user's.
    if (o_.mode == BatchMode::Swf || o_.mode == BatchMode::Ofd) {
        request_.pdfp = work_ + QStringLiteral("pdf/");
        request_.replaceIntermediate = true;
    }
    if (const QString why = requestProblem(request_); !why.isEmpty()) {
        printErr(QStringLiteral("quorvbatch：") + why);
        return kBatchRejected;
    }
    // Made only for a usable request.
    if (!QDir().mkpath(out_) || !folderTakesFiles(out_)) {
        printErr(QStringLiteral("输出目录无法写入：") + o_.out);
        return kBatchRejected;
    }
    options_ = optionsText(o_, request_);

    journal_ = std::make_unique<Journal>(Journal::pathFor(out_, o_.shard, o_.shards));
    if (o_.resume) {
        journal_->load();
        journal_->recover(out_);
        journal_->compact();
        // The rest of what the killed run left half-placed; rows clear their own targets.
        clearLeftoverParts(out_);
    } else {
        journal_->clear();
    }
    // What a killed run left half-done is done again; its half-placed outputs are
    // cleared as the rows' targets are.
    QDir(work_).removeRecursively();

    for (const Source& s : sources_) {
        const QString key = shardKey(o_.keepSubfolders ? s.row.zml : QString(), s.row.filey);
        if (o_.shards > 1 && shardOf(key, o_.shards) != o_.shard) continue;
        Item item;
        item.source = s;
        const auto it = journal_->entries().constFind(s.path);
        if (it != journal_->entries().constEnd() && it->status == QLatin1String("ok")) {
            const JournalEntry now = entryFor(item);
            if (now.size == it->size && now.mtime == it->mtime && now.options == it->options) {
                if (outputReadable(out_ + it->output, request_, s.path)) {
                    item.skip = true;
                    item.previous = *it;
                } else {
                    // Its own earlier output, now unreadable: the new one takes its name.
                    QFile::remove(out_ + it->output);
                }
            }
        }
        if (!item.skip) {
            jobItem_.push_back(static_cast<int>(items_.size()));
            request_.rows.append(s.row);
        }
        items_.push_back(item);
    }
    clock_.start();

    for (Item& item : items_) {
        if (!item.skip) continue;
        const QString output = out_ + item.previous.output;
        item.output = output;
        emitLine(item, QStringLiteral("skipped"), output,
                 qfilehz(output) == QLatin1String("pdf")
                     ? checks::pdfPageCount(output, request_.pdf.protection.openPassword)
                     : 0);
    }

    bool interrupted = false;
    if (!request_.rows.isEmpty()) {
        QObject context;
        RunCallbacks callbacks;
        callbacks.rowStarted = [this](int job) { items_[jobItem_[job]].clock.start(); };
        callbacks.placing = [this](int job, const QString& written, const QString& target) {
            return placing(job, written, target);
        };
        callbacks.rowWritten = [this](int job, const QString& output) {
            items_[jobItem_[job]].output = output;
        };
        callbacks.rowFinished = [this, &context](int job, BatchResult result, FailReason reason) {
            Item& item = items_[jobItem_[job]];
            item.result = result;
            item.reason = result == BatchResult::Success ? FailReason::None : reason;
            item.ms = item.clock.isValid() ? item.clock.elapsed() : 0;
            // After the engine has handed the worker its next row: the journal's fsync and
            // the page count then overlap the conversions instead of holding a worker idle.
            QMetaObject::invokeMethod(
                &context, [this, job] { finish(job); }, Qt::QueuedConnection);
        };
        const BatchRunResult run = runToEnd(request_, callbacks);
        interrupted = run.stopped;
        // The rows whose report was still queued when the last one ended.
        QCoreApplication::sendPostedEvents(&context);
        if (run.raised) {
            progress(true);
            std::rethrow_exception(run.raised);
        }
    }
    progress(true);
    journal_->compact();
    QDir(work_).removeRecursively();
    if (!mergeOutputs(interrupted)) anyFailed_ = true;
    if (anyRetryable_) return kBatchSomeRetryable;
    if (anyFailed_) return kBatchSomeFailed;
    return kBatchAllDone;
}

int batchOpen(QuorvApp& app, const QStringList& arguments, const BatchStreams& streams) {
    if (arguments.contains(QStringLiteral("--help"))) {
        put(streams.out, batchUsage().toUtf8());
        return kBatchAllDone;
    }
    const ParsedOptions parsed = parseBatchOptions(arguments);
    if (!parsed.options) {
        say(streams.err, QStringLiteral("quorvbatch：") + parsed.error);
        put(streams.err, batchUsage().toUtf8());
        return kBatchRejected;
    }
    app.startCommon();
    GlobalSettings& g = globals();
    g.profile = profilePathFor(g.ap_path);
    g.awordhz = readSetting(g.profile, Key::Awordhz, Reader::MainWindow);
    g.sftype = readSetting(g.profile, Key::Sftype, Reader::MainWindow);
    Run run(*parsed.options, g, streams);
    return run.exec();
}

}  // namespace

QString failReasonName(FailReason reason) {
    switch (reason) {
        case FailReason::None:
            return QString();
        case FailReason::Damaged:
            return QStringLiteral("damaged");
        case FailReason::Password:
            return QStringLiteral("password");
        case FailReason::Timeout:
            return QStringLiteral("timeout");
        case FailReason::OfficeDied:
            return QStringLiteral("office-died");
        case FailReason::OfficeUnavailable:
            return QStringLiteral("office-unavailable");
        case FailReason::WrongType:
            return QStringLiteral("wrong-type");
        case FailReason::SourceMissing:
            return QStringLiteral("source-missing");
        case FailReason::OutputUnwritable:
            return QStringLiteral("output-unwritable");
        case FailReason::NoOutput:
            return QStringLiteral("no-output");
        case FailReason::SwfFailed:
            return QStringLiteral("swf-failed");
        case FailReason::OfdFailed:
            return QStringLiteral("ofd-failed");
        case FailReason::BlankInName:
            return QStringLiteral("blank-in-name");
        case FailReason::UnknownKind:
            return QStringLiteral("unknown-kind");
        case FailReason::NothingToPrint:
            return QStringLiteral("nothing-to-print");
        case FailReason::NoSuchFormat:
            return QStringLiteral("no-such-format");
        case FailReason::PdfRewriteFailed:
            return QStringLiteral("pdf-rewrite-failed");
        case FailReason::Unknown:
            return QStringLiteral("unknown");
    }
    return QString();
}

bool failureRetryable(FailReason reason) {
    return reason == FailReason::Timeout || reason == FailReason::OfficeDied ||
           reason == FailReason::OfficeUnavailable;
}

int runQuorvbatch(const QStringList& arguments, const BatchStreams& streams) {
    QuorvApp app;
    app.setReportSink(
        [&](const QString&, const QString& text) { put(streams.err, text.toUtf8()); });
    return app.runProgram([&](QuorvApp& a) { return batchOpen(a, arguments, streams); },
                          kBatchRuntimeError);
}

}  // namespace quorv
