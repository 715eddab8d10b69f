#include "convert/batch/run.h"

#include <QEventLoop>
#include <QFile>
#include <QFileInfo>

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
    result_.outputs.resize(request_.rows.size());
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
    if (callbacks_.placing) e->setPlacing(callbacks_.placing);
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
        if (index >= 0 && index < result_.outputs.size()) result_.outputs[index] = output;
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

QString MergedRun::text() const {
    if (!asked) return QString();
    QString t = written ? QStringLiteral("已合并为一个PDF：") + QFileInfo(target).fileName()
                        : QStringLiteral("未合并：") + error;
    if (written && !leftOut.isEmpty()) {
        t += QStringLiteral("\n未合并 %1 个：").arg(leftOut.size()) +
             leftOut.join(QStringLiteral("、"));
    }
    return t;
}

MergedRun mergeRunOutputs(const BatchRequest& q, const QList<RunOutput>& rows, bool interrupted) {
    MergedRun m;
    const PdfMerge& merge = q.pdf.merge;
    if (!merge.on) return m;
    m.asked = true;
    if (interrupted) {
        m.error = QStringLiteral("转换被中断");
        return m;
    }
    m.target = q.outputBase + mergedFileName(merge.fileName);
    QList<PdfPart> parts;
    for (const RunOutput& r : rows) {
        // An output that took the merged file's own name would be read while replaced.
        if (r.output.isEmpty() || r.output == m.target) {
            m.leftOut << r.title;
        } else {
            parts.append({r.output, r.title});
        }
    }
    if (parts.isEmpty()) {
        m.error = QStringLiteral("没有转换成功的PDF");
        return m;
    }
    const ConvertBackend& b = backend();
    if (!b.mergePdfs) {
        m.error = QStringLiteral("本程序不能合并PDF");
        return m;
    }
    const PdfMergeOutcome done = b.mergePdfs(parts, m.target, q.pdf.protection);
    m.written = done.written;
    m.pages = done.pages;
    m.error = done.error;
    m.leftOut += done.leftOut;
    if (m.written && !merge.keepParts) {
        for (const PdfPart& p : parts) {
            if (!done.leftOut.contains(p.title)) QFile::remove(p.path);
        }
    }
    return m;
}

MergedRun mergeRunOutputs(const BatchRequest& q, const BatchRunResult& run) {
    QList<RunOutput> rows;
    for (int i = 0; i < q.rows.size(); ++i) {
        const BatchRunResult::Row r = run.rows.value(i);
        rows.append(
            {q.rows[i].filey, r.result == BatchResult::Success ? run.outputs.value(i) : QString()});
    }
    const bool interrupted = run.stopped || run.raised || !run.refusal.isEmpty();
    return mergeRunOutputs(q, rows, interrupted);
}

BatchRunResult runToEnd(const BatchRequest& request, const RunCallbacks& callbacks) {
    BatchRun run(request, callbacks);
    return run.runToEnd();
}

}  // namespace quorv
