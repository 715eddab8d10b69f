#include "convert/batch/run.h"

#include <QEventLoop>

namespace quorv {

namespace {

// How often the stop condition is asked while rows are worked on.
constexpr int kStopPollMs = 100;

// The run-time error a caller reports for what a row raised.
RuntimeError runtimeErrorOf(const std::exception_ptr& e) {
    try {
        std::rethrow_exception(e);
    } catch (const RuntimeError& err) {
        return err;
    } catch (...) {
        // What a handler reports for a failure that is not an automation call.
        RuntimeError err(kErrOther, QStringLiteral("quorvapp"), QStringLiteral("open"));
        err.setReason(failReasonOf(e));
        return err;
    }
}

}  // namespace

BatchRun::BatchRun(BatchRequest request, RunCallbacks callbacks, QObject* parent)
    : QObject(parent), request_(std::move(request)), callbacks_(std::move(callbacks)) {
    result_.rows.resize(request_.rows.size());
}

BatchRun::~BatchRun() = default;

void BatchRun::start() {
    result_.refusal = requestProblem(request_);
    if (!result_.refusal.isEmpty()) {
        end();
        return;
    }
    engine_ = std::make_unique<BatchEngine>(request_);
    BatchEngine* e = engine_.get();
    if (callbacks_.stopWhen) {
        e->setStartGate([this] { return !callbacks_.stopWhen(); });
        connect(&stopPoll_, &QTimer::timeout, this, [this] {
            if (callbacks_.stopWhen()) stop();
        });
    }
    connect(e, &BatchEngine::rowStarted, this, [this](int index) {
        if (callbacks_.rowStarted) callbacks_.rowStarted(index);
    });
    connect(e, &BatchEngine::rowFinished, this,
            [this](int index, BatchResult result, FailReason reason) {
                if (index >= 0 && index < result_.rows.size())
                    result_.rows[index] = {result, reason};
                if (callbacks_.rowFinished) callbacks_.rowFinished(index, result, reason);
            });
    connect(e, &BatchEngine::rowWritten, this, [this](int index, const QString& output) {
        if (callbacks_.rowWritten) callbacks_.rowWritten(index, output);
    });
    connect(e, &BatchEngine::notice, this, [this](BatchNotice n) {
        if (callbacks_.notice) callbacks_.notice(n);
    });
    connect(e, &BatchEngine::finished, this, &BatchRun::end);
    e->start();
    if (!finished_ && callbacks_.stopWhen) stopPoll_.start(kStopPollMs);
}

const BatchRunResult& BatchRun::runToEnd() {
    QEventLoop loop;
    connect(this, &BatchRun::finished, &loop, &QEventLoop::quit);
    start();
    if (!finished_) loop.exec();
    return result_;
}

void BatchRun::stop() {
    if (engine_) engine_->stop();
}

void BatchRun::end() {
    stopPoll_.stop();
    if (const BatchEngine* e = engine_.get()) {
        result_.intermediates = e->intermediates();
        result_.stopped = e->stopped();
        result_.stopReason = e->stopReason();
        result_.errorRow = e->errorRow();
        if ((result_.raised = e->error())) result_.error = runtimeErrorOf(result_.raised);
    }
    finished_ = true;
    emit finished();
}

BatchRunResult runToEnd(const BatchRequest& request, const RunCallbacks& callbacks) {
    BatchRun run(request, callbacks);
    return run.runToEnd();
}

}  // namespace quorv
