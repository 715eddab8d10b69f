#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>
#include <deque>

#include "convert/batch/requestjson.h"

class QLocalSocket;

namespace quorv {

// Messages logged on a worker of a served run go back to its caller instead of this
// program's standard error; installed once at start-up.
void keepRunMessages();

// The office service: takes requests of processes of the same user on a local socket and
// runs each on the batch engine, whose workers draw on this program's warm pool. Runs at
// most `parallel` requests at once; the others wait their turn.
class OfficeService : public QObject {
    Q_OBJECT
  public:
    OfficeService(int parallel, QObject* parent = nullptr);
    ~OfficeService() override;

    // Listens at `path` (made reachable by this user only); false with `error` set when
    // it cannot.
    bool listen(const QString& path, QString* error);

  private:
    struct Job {
        QLocalSocket* socket = nullptr;
        BatchRequest request;
    };
    void accept();
    void read(QLocalSocket* socket);
    void pump();
    void run(Job job);

    QLocalServer server_;
    int parallel_;
    int running_ = 0;
    std::deque<Job> waiting_;
};

}  // namespace quorv
