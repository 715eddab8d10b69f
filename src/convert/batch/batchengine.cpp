#include "convert/batch/batchengine.h"

#include <sys/stat.h>

#include <QDir>
#include <QFileInfo>
#include <QMetaObject>
#include <QSaveFile>
#include <algorithm>

#include "convert/automation.h"
#include "convert/contentfind.h"
#include "convert/outputcheck.h"
#include "convert/wordconvert.h"
#include "core/filenames.h"
#include "core/runtimeerror.h"

namespace quorv {

namespace {

WorkerOfficeFactory& officeFactory() {
    static WorkerOfficeFactory f;
    return f;
}

// The part of a name every output of it shares: up to its last dot, without the digits a
// numbered copy puts in front, in lower case so that nothing differing only in case can
// slip past (running such rows one after another costs only time).
QString nameStem(const QString& name) {
    QString stem = name.mid(name.lastIndexOf(QLatin1Char('/')) + 1);
    const qsizetype dot = stem.lastIndexOf(QLatin1Char('.'));
    if (dot >= 0) stem.truncate(dot);
    qsizetype digits = 0;
    while (digits < stem.size() && stem.at(digits).isDigit()) ++digits;
    return stem.mid(digits).toLower();
}

QString cleanFolder(const QString& folder) {
    QString f = QDir::cleanPath(folder);
    if (!f.endsWith(QLatin1Char('/'))) f += QLatin1Char('/');
    return f;
}

}  // namespace

void setWorkerOfficeFactory(WorkerOfficeFactory factory) { officeFactory() = std::move(factory); }

namespace {
WorkerOfficeWarmer& officeWarmer() {
    static WorkerOfficeWarmer w;
    return w;
}
}  // namespace

void setWorkerOfficeWarmer(WorkerOfficeWarmer warmer) { officeWarmer() = std::move(warmer); }

void warmWorkerOffices(int n, int idleMs) {
    if (officeWarmer()) officeWarmer()(n, idleMs);
}

QString batchOutputFolder(const BatchRequest& request, const BatchRow& row) {
    if (request.keepSubfolders && !row.zml.isEmpty()) return request.outputBase + row.zml;
    return request.outputBase;
}

QStringList batchRowKeys(const BatchRequest& request, const BatchRow& row) {
    if (request.mode == BatchMode::Find) return {};  // a search writes nothing
    const QString stem = nameStem(row.filey);
    QStringList keys{cleanFolder(batchOutputFolder(request, row)) + stem};
    // The intermediate PDFs of all rows share one folder.
    if (request.mode == BatchMode::Swf) keys << cleanFolder(request.pdfp) + stem;
    return keys;
}

BatchSchedule::BatchSchedule(const QList<QStringList>& keys)
    : state_(keys.size(), State::Waiting), earlier_(keys.size()) {
    QHash<QString, int> last;  // the latest row seen of each key
    for (int i = 0; i < keys.size(); ++i) {
        for (const QString& k : keys[i]) {
            const auto it = last.constFind(k);
            if (it != last.constEnd() &&
                std::find(earlier_[i].begin(), earlier_[i].end(), *it) == earlier_[i].end()) {
                earlier_[i].push_back(*it);
            }
            last.insert(k, i);
        }
    }
}

std::optional<int> BatchSchedule::peek() const {
    for (int i = 0; i < static_cast<int>(state_.size()); ++i) {
        if (state_[i] != State::Waiting) continue;
        // The latest earlier row of a key is done only after all before it were.
        const bool free = std::all_of(earlier_[i].begin(), earlier_[i].end(),
                                      [this](int e) { return state_[e] == State::Done; });
        if (free) return i;
    }
    return std::nullopt;
}

void BatchSchedule::start(int row) {
    state_[row] = State::Running;
    ++started_;
}

void BatchSchedule::finish(int row) { state_[row] = State::Done; }

namespace {

QList<QStringList> keysOf(const BatchRequest& request) {
    QList<QStringList> keys;
    for (const BatchRow& r : request.rows) keys << batchRowKeys(request, r);
    return keys;
}

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

}  // namespace

BatchEngine::BatchEngine(BatchRequest request, QObject* parent)
    : QObject(parent), request_(std::move(request)), schedule_(keysOf(request_)) {
    qRegisterMetaType<BatchResult>();
    qRegisterMetaType<BatchNotice>();
    qRegisterMetaType<FailReason>();
    request_.poolSize = std::clamp(request_.poolSize, 1, 16);
}

BatchEngine::~BatchEngine() { joinWorkers(); }

void BatchEngine::start() {
    const int n = std::min<int>(request_.poolSize, std::max<int>(1, request_.rows.size()));
    task_.assign(n, std::nullopt);
    busy_.assign(n, false);
    for (int i = 0; i < n; ++i) workers_.emplace_back([this, i] { workerLoop(i); });
    dispatch();
    finishIfDone();
}

void BatchEngine::stop() {
    if (stopping_ || finished_) return;
    stopping_ = true;
    finishIfDone();
}

void BatchEngine::dispatch() {
    while (!stopping_) {
        const auto worker = std::find(busy_.begin(), busy_.end(), false);
        if (worker == busy_.end()) return;
        const std::optional<int> row = schedule_.peek();
        if (!row) return;
        if (gate_ && !gate_()) {
            stopping_ = true;
            return;
        }
        schedule_.start(*row);
        emit rowStarted(*row);
        *worker = true;
        ++inFlight_;
        {
            const std::lock_guard lock(mutex_);
            task_[worker - busy_.begin()] = *row;
        }
        wake_.notify_all();
    }
}

void BatchEngine::finishIfDone() {
    if (finished_ || inFlight_ > 0) return;
    if (!stopping_ && !schedule_.allStarted()) return;
    finished_ = true;
    joinWorkers();
    emit finished();
}

void BatchEngine::joinWorkers() {
    {
        const std::lock_guard lock(mutex_);
        quit_ = true;
    }
    wake_.notify_all();
    // Each worker ends its office before it ends.
    for (std::thread& t : workers_) t.join();
    workers_.clear();
}

// What a worker keeps from row to row: the Word its searches go through.
struct BatchEngine::WorkerState {
    std::unique_ptr<OleObject> word;
    bool failed = false;

    // Quits the Word, closing what it left open; a Word that cannot answer is let go.
    void quitWord() {
        if (!word) return;
        try {
            word->call({"quit"});
        } catch (...) {
        }
        word.reset();
    }
};

namespace {
thread_local BatchEngine* gWorkerOf = nullptr;
}

BatchEngine* BatchEngine::onWorkerThread() { return gWorkerOf; }

QStringList BatchEngine::messages() const {
    const std::lock_guard lock(messagesMutex_);
    return messages_;
}

void BatchEngine::addMessage(const QString& text) {
    const std::lock_guard lock(messagesMutex_);
    messages_.append(text);
}

void BatchEngine::workerLoop(int worker) {
    gWorkerOf = this;
    std::unique_ptr<WorkerOffice> office;
    if (officeFactory()) office = officeFactory()(request_.localLinks);
    WorkerState state;
    for (;;) {
        int index = -1;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [&] { return quit_ || task_[worker].has_value(); });
            if (!task_[worker]) break;
            index = *task_[worker];
            task_[worker].reset();
        }
        Outcome outcome;
        try {
            outcome = runRow(request_.rows.at(index), state);
            // Without its office no later row can succeed either.
            if (outcome.fatal) state.failed = true;
        } catch (...) {
            outcome.error = std::current_exception();
            outcome.result = BatchResult::Failure;
            outcome.reason = failReasonOf(outcome.error);
            if (!request_.goOn) {
                state.failed = true;
            } else {
                // The run goes on: a fresh Word for the next row, nothing left open.
                state.quitWord();
            }
        }
        QMetaObject::invokeMethod(
            this, [this, worker, index, outcome] { rowDone(worker, index, outcome); },
            Qt::QueuedConnection);
    }
    // After an error the rest of the run does not happen, the Word's quit included.
    if (!state.failed) state.quitWord();
    state.word.reset();
    office.reset();
}

BatchEngine::Outcome BatchEngine::findInRow(const QString& path, WorkerState& state) {
    const BatchRequest& q = request_;
    Outcome out;
    out.result = BatchResult::Failure;
    bool hit = false;
    // A name the office cannot be given is simply not found.
    const QString ext = undecodableName(path) ? QString() : qfilehz(path);
    if (ext == QLatin1String("xls") || ext == QLatin1String("xlsx") ||
        ext == QLatin1String("xlsm")) {
        const std::optional<bool> r =
            retryAfterServerDeath([&] { return excelFind(path, q.findText, q.passwords); });
        if (r) {
            hit = *r;
        } else {
            out.notice = BatchNotice::ExcelUnavailable;
        }
    }
    if (!ext.isEmpty() && wordAccepts(path, q.awordhz)) {
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

BatchEngine::Outcome BatchEngine::runRow(const BatchRow& row, WorkerState& state) {
    const BatchRequest& q = request_;
    const QString filey1 = row.ypath + row.filey;
    if (q.mode == BatchMode::Find) return findInRow(filey1, state);
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
        case BatchMode::Copy:
        case BatchMode::Find:
            break;
    }
    Outcome out;
    // An output that does not read is none, and so is an earlier file of its name that
    // nothing wrote over (a replacing run finds it there at once): the row fails as one
    // that wrote nothing.
    auto take = [&](const ConvertOutcome& c, OutputKind kind, const QString& source) {
        ConvertOutcome taken = c;
        if (c.written() &&
            (leftAsItWas(c.output, earlier) || !outputReads(c.output, kind, source))) {
            removeBroken(c.output, source, earlier);
            taken = ConvertOutcome::failed(FailReason::NoOutput);
        }
        out.result = taken.written() ? BatchResult::Success : BatchResult::Failure;
        out.reason = taken.reason;
        return taken.output;
    };
    switch (q.mode) {
        case BatchMode::Find:  // searched above
            break;
        case BatchMode::Pdf:
            take(word2xps(filey1, QStringLiteral("pdf"), folder, 17, word), OutputKind::Pdf,
                 filey1);
            break;
        case BatchMode::Xps:
            take(word2xps(filey1, QStringLiteral("xps"), folder, 18, word), OutputKind::Xps,
                 filey1);
            break;
        case BatchMode::Custom:
            take(word2any(filey1, q.wordExt, folder, q.wordFormat, word),
                 outputKindOfFormat(q.wordFormat), filey1);
            break;
        case BatchMode::Copy: {
            const QString name =
                q.sfth == QLatin1String("y") ? row.filey : fzmccf(folder, row.filey);
            out.result =
                copyIntoPlace(filey1, folder + name) ? BatchResult::Success : BatchResult::Failure;
            if (out.result == BatchResult::Failure) {
                out.reason = writeFailure(filey1, folder, FailReason::NoOutput);
            }
            break;
        }
        case BatchMode::Swf: {
            const bool keep = q.sfth == QLatin1String("n");
            if (!q.blankNamesTaken && row.filey.contains(QLatin1Char(' '))) {
                out.result = BatchResult::Blank;
                out.reason = FailReason::BlankInName;
            } else if (qfilehz(filey1) == QLatin1String("pdf")) {
                take(pdf2swf1(filey1, folder, keep, q.swf), OutputKind::Swf, filey1);
                if (out.reason == FailReason::SwfFailed) {
                    out.reason = writeFailure(filey1, folder, FailReason::SwfFailed);
                }
            } else if (!q.replaceIntermediate && !QFileInfo(q.pdfp).isDir()) {
                // The window makes the intermediate folder when the settings are saved,
                // never here; a replacing export (the command line's) makes its own.
                out.result = BatchResult::Failure;
                out.reason = FailReason::OutputUnwritable;
            } else {
                out.intermediate =
                    take(q.replaceIntermediate
                             ? word2pdf(filey1, q.pdfp, q.passwords)
                             : word2xps(filey1, QStringLiteral("pdf"), q.pdfp, 17, word),
                         OutputKind::Pdf, filey1);
                if (!out.intermediate.isEmpty()) {
                    // The tool has ended when this returns, so the PDF is no longer read.
                    take(pdf2swf1(out.intermediate, folder, keep, q.swf), OutputKind::Swf,
                         out.intermediate);
                    if (out.reason == FailReason::SwfFailed) {
                        out.reason = writeFailure(out.intermediate, folder, FailReason::SwfFailed);
                    }
                }
            }
            break;
        }
    }
    return out;
}

void BatchEngine::rowDone(int worker, int index, const Outcome& outcome) {
    schedule_.finish(index);
    busy_[worker] = false;
    --inFlight_;
    // A failed row always says why, even without a known cause; a document a search
    // merely did not find in is no failure.
    FailReason reason = outcome.reason;
    const bool miss = request_.mode == BatchMode::Find && !outcome.error;
    if (outcome.result != BatchResult::Success && !miss && reason == FailReason::None) {
        reason = FailReason::Unknown;
    }
    if (outcome.error) {
        // Unless the run goes on past errors, an error ends it as it always has: no new
        // row, and the caller sees the first one, after its row was recorded.
        const bool ends = !request_.goOn || outcome.fatal;
        if (ends && !error_) {
            error_ = outcome.error;
            errorRow_ = index;
        }
        if (ends) stopping_ = true;
    } else if (outcome.fatal) {
        if (stopReason_ == FailReason::None) stopReason_ = outcome.reason;
        stopping_ = true;
    } else if (!outcome.intermediate.isEmpty()) {
        // The file now belongs to this row, whoever wrote that name before.
        intermediates_.removeAll(outcome.intermediate);
        if (outcome.result == BatchResult::Success) intermediates_.append(outcome.intermediate);
    }
    if (outcome.notice) emit notice(*outcome.notice);
    emit rowFinished(index, outcome.result, reason);
    dispatch();
    finishIfDone();
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
