#pragma once

// The batch engine: runs the rows of a request on a pool of worker threads, each with an
// office instance of its own, and reports every row's result on its owner's thread.

#include <QObject>
#include <QStringList>
#include <condition_variable>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "convert/batch/request.h"
#include "convert/batch/row.h"
#include "convert/batch/schedule.h"
#include "core/failreason.h"

namespace quorv {

class BatchEngine : public QObject {
    Q_OBJECT
  public:
    explicit BatchEngine(BatchRequest request, QObject* parent = nullptr);
    ~BatchEngine() override;

    // Asked on the owner's thread before each row starts; false stops the run.
    void setStartGate(std::function<bool()> gate) { gate_ = std::move(gate); }
    // Told on a worker's thread just before a row's output takes its final name; false
    // leaves it unplaced and fails the row.
    void setPlacing(
        std::function<bool(int index, const QString& written, const QString& target)> placing) {
        placing_ = std::move(placing);
    }

    void start();
    // No new row starts; rows in flight finish and report.
    void stop();
    bool isFinished() const { return finished_; }
    bool stopped() const { return stopping_; }
    // Intermediate PDFs that only successful rows left behind.
    const QStringList& intermediates() const { return intermediates_; }
    // The first error a row raised (the run stopped there), or null; and that row.
    std::exception_ptr error() const { return error_; }
    int errorRow() const { return errorRow_; }
    // A search whose Word could not be started at all ends with OfficeUnavailable here.
    FailReason stopReason() const { return stopReason_; }

    // The engine whose worker is this thread, or null: what a row logs can so be told
    // apart from another run's.
    static BatchEngine* onWorkerThread();

  signals:
    // A row is handed to a worker; index is its position in the request.
    void rowStarted(int index);
    // index is the row's position in the request; reason says what went wrong, None for a
    // success and for a document a search did not find the text in. A row that raised an
    // error reports before the run ends.
    void rowFinished(int index, quorv::BatchResult result, quorv::FailReason reason);
    // The output file of a row that succeeded, just before its rowFinished.
    void rowWritten(int index, const QString& output);
    // Something the user must be told at once; the run goes on.
    void notice(quorv::BatchNotice what);
    void finished();

  private:
    void workerLoop(int worker);
    void rowDone(int worker, int index, const RowOutcome& outcome);
    void dispatch();
    void finishIfDone();
    void joinWorkers();

    BatchRequest request_;
    BatchSchedule schedule_;
    std::function<bool()> gate_;
    std::function<bool(int, const QString&, const QString&)> placing_;
    bool stopping_ = false;
    bool finished_ = false;
    int inFlight_ = 0;
    QStringList intermediates_;
    std::exception_ptr error_;
    int errorRow_ = -1;
    FailReason stopReason_ = FailReason::None;

    std::mutex mutex_;
    std::condition_variable wake_;
    bool quit_ = false;
    std::vector<std::optional<int>> task_;  // the row handed to each worker
    std::vector<bool> busy_;
    std::vector<std::thread> workers_;
};

}  // namespace quorv

Q_DECLARE_METATYPE(quorv::BatchResult)
Q_DECLARE_METATYPE(quorv::BatchNotice)
Q_DECLARE_METATYPE(quorv::FailReason)
