#pragma once

// Running a request to its end: the one way the window, the programs, the office service
// and the tests drive the engine. The run refuses a request that requestProblem refuses,
// tells its caller of each row as it starts and ends, stops when asked, and ends with
// what every row came to.

#include <QList>
#include <QObject>
#include <QStringList>
#include <QTimer>
#include <exception>
#include <functional>
#include <memory>
#include <optional>

#include "convert/backend.h"
#include "convert/batch/engine.h"
#include "core/runtimeerror.h"

namespace quorv {

// What a run of a request ended with: each row's result as the engine reported it, the
// intermediate PDFs that successful rows left, and the error that stopped the run.
struct BatchRunResult {
    struct Row {
        BatchResult result = BatchResult::Failure;
        FailReason reason = FailReason::None;
    };
    QList<Row> rows;      // in request order
    QStringList outputs;  // in request order: the file each successful row wrote
    QStringList intermediates;
    std::optional<RuntimeError> error;
    QStringList messages;  // what the rows logged, where the runner kept it
    QString refusal;       // why the request was not run at all (requestProblem)

    // Known only where the run ran, never sent on.
    std::exception_ptr raised;  // the error as the row raised it
    int errorRow = -1;
    bool stopped = false;                      // ended before its last row
    FailReason stopReason = FailReason::None;  // a search whose Word could not start
};

struct RunCallbacks {
    std::function<void(int index)> rowStarted;
    // reason is None for a success and for a document a search did not find the text in.
    std::function<void(int index, BatchResult result, FailReason reason)> rowFinished;
    // The output file of a row that succeeded, just before its rowFinished.
    std::function<void(int index, const QString& output)> rowWritten;
    std::function<void(BatchNotice notice)> notice;
    // On the row's worker thread, just before its output takes its final name: false
    // leaves the output unplaced and fails the row. quorvbatch's journal notes it here.
    std::function<bool(int index, const QString& written, const QString& target)> placing;
    // Asked before each row starts and while rows run: true starts no further row, and
    // the rows in flight finish and report.
    std::function<bool()> stopWhen;
};

class BatchRun : public QObject {
    Q_OBJECT
  public:
    BatchRun(BatchRequest request, RunCallbacks callbacks, QObject* parent = nullptr);
    ~BatchRun() override;

    // Starts the run; finished() follows, possibly before this returns.
    void start();
    // Starts the run and returns at its end, in an event loop of its own.
    const BatchRunResult& runToEnd();
    // No further row starts; the rows in flight finish and report.
    void stop();
    bool isFinished() const { return finished_; }
    const BatchRunResult& result() const { return result_; }
    // The engine of the run once it started; null before and for a refused request.
    const BatchEngine* engine() const { return engine_.get(); }

  signals:
    void finished();

  private:
    void end();

    BatchRequest request_;
    RunCallbacks callbacks_;
    std::unique_ptr<BatchEngine> engine_;
    QTimer stopPoll_;
    BatchRunResult result_;
    bool finished_ = false;
};

// One row's part in a merge: its name in the list and the PDF it wrote (empty: none).
struct RunOutput {
    QString title;
    QString output;
};

// What the merge at a run's end came to.
struct MergedRun {
    bool asked = false;  // the request asks for one merged PDF
    bool written = false;
    QString target;
    int pages = 0;
    QStringList leftOut;  // rows not in the merged file: not converted, or not opening
    QString error;        // why no file was written

    // The run's outcome in the window's words; empty when no merge was asked for.
    QString text() const;
};

// Merges the PDFs the rows wrote, in list order, each under its name, into the output
// folder under the request's merge name; the parts are removed afterwards when the
// request does not keep them. A run that was interrupted merges nothing.
MergedRun mergeRunOutputs(const BatchRequest& request, const QList<RunOutput>& rows,
                          bool interrupted);
// The same for a run's own result, the rows named as the request names them.
MergedRun mergeRunOutputs(const BatchRequest& request, const BatchRunResult& run);

// Runs a request on an engine of this thread to its end.
BatchRunResult runToEnd(const BatchRequest& request, const RunCallbacks& callbacks = {});

}  // namespace quorv
