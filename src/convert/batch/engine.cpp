#include "convert/batch/engine.h"

#include <QMetaObject>
#include <QSet>
#include <algorithm>

#include "convert/backend.h"
#include "core/runtimeerror.h"

namespace quorv {

BatchEngine::BatchEngine(BatchRequest request, QObject* parent)
    : QObject(parent), request_(std::move(request)), schedule_(request_) {
    qRegisterMetaType<BatchResult>();
    qRegisterMetaType<BatchNotice>();
    qRegisterMetaType<FailReason>();
    request_.poolSize = std::clamp(request_.poolSize, 1, 16);
}

BatchEngine::~BatchEngine() { joinWorkers(); }

void BatchEngine::start() {
    backend();  // a program without one ends here, before any row
    // What a run that died left half-placed in this run's targets.
    if (modeInfo(request_.mode).writes) {
        QSet<QString> targets;
        for (const BatchRow& row : std::as_const(request_.rows)) {
            targets.insert(batchOutputFolder(request_, row));
        }
        if (request_.mode == BatchMode::Swf || request_.mode == BatchMode::Ofd) {
            targets.insert(request_.pdfp);
        }
        for (const QString& folder : std::as_const(targets)) clearLeftoverParts(folder);
    }
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

namespace {
thread_local BatchEngine* gWorkerOf = nullptr;
}

BatchEngine* BatchEngine::onWorkerThread() { return gWorkerOf; }

void BatchEngine::workerLoop(int worker) {
    gWorkerOf = this;
    std::unique_ptr<WorkerOffice> office = backend().openWorkerOffice(request_.localLinks);
    RowWorker state;
    for (;;) {
        int index = -1;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [&] { return quit_ || task_[worker].has_value(); });
            if (!task_[worker]) break;
            index = *task_[worker];
            task_[worker].reset();
        }
        RowOutcome outcome;
        state.placing = {};
        if (placing_) {
            state.placing = [this, index](const QString& written, const QString& target) {
                return placing_(index, written, target);
            };
        }
        try {
            outcome = runBatchRow(request_, request_.rows.at(index), state);
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
    state.end();
    office.reset();
}

void BatchEngine::rowDone(int worker, int index, const RowOutcome& outcome) {
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
    if (outcome.result == BatchResult::Success && !outcome.output.isEmpty()) {
        emit rowWritten(index, outcome.output);
    }
    emit rowFinished(index, outcome.result, reason);
    dispatch();
    finishIfDone();
}

}  // namespace quorv
