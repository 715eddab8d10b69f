#pragma once

// The batch engine: converts or copies rows on a pool of worker threads, each with an
// office instance of its own, and reports every row's result on its owner's thread.

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <condition_variable>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "convert/pdf2swf1.h"
#include "core/failreason.h"

namespace quorv {

// Find looks for a text in each row's document instead of converting it: Success means
// found.
enum class BatchMode { Pdf, Xps, Custom, Swf, Copy, Find };
enum class BatchResult { Success, Failure, Blank };
// What a run tells at once while it goes on.
enum class BatchNotice {
    ExcelUnavailable,  // the workbooks of a search cannot be opened
};

struct BatchRow {
    QString filey;  // file name
    QString ypath;  // its folder, ending in "/"
    QString zml;    // subfolder below the scanned folder, ending in "/" (may be empty)
};

struct BatchRequest {
    QList<BatchRow> rows;  // in display order
    BatchMode mode = BatchMode::Pdf;
    QString outputBase;  // ends in "/"
    bool keepSubfolders = false;
    QString sfth;     // "y": outputs replace files of the same name
    QString awordhz;  // extensions opened through Word beside doc and docx
    QString wordExt;  // Custom: extension and Word save format
    int wordFormat = 0;
    int pdfa = 0;  // Pdf: the outputs conform to PDF/A-1b, 2b or 3b; 0: plain PDF
    QString pdfp;  // SWF: folder of the intermediate PDFs, ending in "/"
    // SWF: an intermediate PDF replaces one of the same name, its folder made when missing
    // (else sfth decides, and the folder must be there); names with a blank are converted
    // (else they are refused, as the tool's command line has always been).
    bool replaceIntermediate = false;
    bool blankNamesTaken = false;
    SwfTool swf;       // SWF: the tool and its settings
    QString findText;  // Find: the text looked for
    int poolSize = 1;
    // A row that raises an error is recorded as failed with its reason and the run goes
    // on; otherwise the run stops there and error() holds it.
    bool goOn = false;
    // Tried in turn on a source protected by a password (the settings' open passwords).
    QStringList passwords;
    // Links in the documents to the user's own files are followed (never the network).
    bool localLinks = false;
};

// Copies source to target, replacing an existing target only by a complete copy: the
// data goes to a temporary file in the target's folder that is then renamed into place.
// False, with target untouched, when source is not a readable file, when target is the
// source itself, or when any step fails.
bool copyIntoPlace(const QString& source, const QString& target);

// The folder a row's outputs go to.
QString batchOutputFolder(const BatchRequest& request, const BatchRow& row);

// Names under which a row's outputs may land: two rows sharing one can write the same
// path (numbered names such as "0a.pdf" count as "a.pdf").
QStringList batchRowKeys(const BatchRequest& request, const BatchRow& row);

// Which row may start next: a row starts only when every earlier row sharing one of its
// keys is finished, and otherwise rows start in list order.
class BatchSchedule {
  public:
    explicit BatchSchedule(const QList<QStringList>& keys);
    // The first row that may start now, or none.
    std::optional<int> peek() const;
    void start(int row);
    void finish(int row);
    bool allStarted() const { return started_ == static_cast<int>(state_.size()); }

  private:
    enum class State { Waiting, Running, Done };
    std::vector<State> state_;
    std::vector<std::vector<int>> earlier_;  // earlier rows sharing a key
    int started_ = 0;
};

// What each worker holds for its whole life so that the conversions it runs reach an
// office instance of its own (an office session); ended on the worker's own thread.
class WorkerOffice {
  public:
    virtual ~WorkerOffice() = default;
};
// `localLinks`: the request's choice, for the instance the worker's office starts.
using WorkerOfficeFactory = std::function<std::unique_ptr<WorkerOffice>(bool localLinks)>;
// The programs register how a worker opens its office; without one, workers hold none.
void setWorkerOfficeFactory(WorkerOfficeFactory factory);
// Readies the offices of `n` workers ahead of a run, in the background, so that its first
// rows need not wait for them; those unused for `idleMs` end (a negative `idleMs` keeps the
// time set before). 0 ends those ready and unused at once. The programs register how; without that
// it does nothing.
using WorkerOfficeWarmer = std::function<void(int n, int idleMs)>;
void setWorkerOfficeWarmer(WorkerOfficeWarmer warmer);
void warmWorkerOffices(int n, int idleMs = 300000);

class BatchEngine : public QObject {
    Q_OBJECT
  public:
    explicit BatchEngine(BatchRequest request, QObject* parent = nullptr);
    ~BatchEngine() override;

    // Asked on the owner's thread before each row starts; false stops the run.
    void setStartGate(std::function<bool()> gate) { gate_ = std::move(gate); }

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

    // What the rows logged (Qt's messages on the workers), kept for a program that passes
    // them on to whoever asked for the run; without it they go where messages go.
    void setKeepMessages(bool keep) { keepMessages_ = keep; }
    bool keepsMessages() const { return keepMessages_; }
    QStringList messages() const;
    void addMessage(const QString& text);
    // The engine whose worker is this thread, or null.
    static BatchEngine* onWorkerThread();

  signals:
    // A row is handed to a worker; index is its position in the request.
    void rowStarted(int index);
    // index is the row's position in the request; reason says what went wrong, None for a
    // success and for a document a search did not find the text in. A row that raised an
    // error reports before the run ends.
    void rowFinished(int index, quorv::BatchResult result, quorv::FailReason reason);
    // Something the user must be told at once; the run goes on.
    void notice(quorv::BatchNotice what);
    void finished();

  private:
    struct Outcome {
        BatchResult result = BatchResult::Failure;
        QString intermediate;  // SWF: the PDF this row wrote
        std::optional<BatchNotice> notice;
        FailReason reason = FailReason::None;
        std::exception_ptr error;
        bool fatal = false;  // ends the run even when it goes on past errors
    };
    struct WorkerState;
    void workerLoop(int worker);
    Outcome runRow(const BatchRow& row, WorkerState& state);
    Outcome findInRow(const QString& path, WorkerState& state);
    void rowDone(int worker, int index, const Outcome& outcome);
    void dispatch();
    void finishIfDone();
    void joinWorkers();

    BatchRequest request_;
    BatchSchedule schedule_;
    std::function<bool()> gate_;
    bool stopping_ = false;
    bool finished_ = false;
    int inFlight_ = 0;
    QStringList intermediates_;
    std::exception_ptr error_;
    int errorRow_ = -1;
    FailReason stopReason_ = FailReason::None;
    bool keepMessages_ = false;
    mutable std::mutex messagesMutex_;
    QStringList messages_;

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
