#include "programs/quorvoffice/officeservice.h"

#include <sys/socket.h>
#include <unistd.h>

#include <QFile>
#include <QJsonDocument>
#include <QLocalSocket>
#include <QPointer>
#include <algorithm>
#include <map>
#include <mutex>

#include "convert/backend.h"

namespace quorv {

namespace {

// A request line longer than this is no request of ours.
constexpr qsizetype kMaxRequestBytes = 16 << 20;

// Whether the process at the other end runs as this user; the socket's mode already says
// so, this holds even where a folder's mode was loosened.
bool sameUser(QLocalSocket* socket) {
    struct ucred cred {};
    socklen_t len = sizeof cred;
    const int fd = int(socket->socketDescriptor());
    return fd >= 0 && ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &cred, &len) == 0 &&
           cred.uid == ::getuid();
}

QtMessageHandler gDefaultHandler = nullptr;

// What the rows of each served run logged, by the run's engine: every engine of this
// program serves a caller.
std::mutex gKeptMutex;
std::map<const BatchEngine*, QStringList> gKept;

void keepOrPrint(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (const BatchEngine* engine = BatchEngine::onWorkerThread()) {
        const std::lock_guard lock(gKeptMutex);
        gKept[engine].append(qFormatLogMessage(type, context, text));
        return;
    }
    gDefaultHandler(type, context, text);
}

QStringList takeMessages(const BatchEngine* engine) {
    const std::lock_guard lock(gKeptMutex);
    const auto it = gKept.find(engine);
    if (it == gKept.end()) return {};
    QStringList kept = std::move(it->second);
    gKept.erase(it);
    return kept;
}

}  // namespace

void keepRunMessages() { gDefaultHandler = qInstallMessageHandler(keepOrPrint); }

OfficeService::OfficeService(int parallel, QObject* parent)
    : QObject(parent), parallel_(std::clamp(parallel, 1, 16)) {
    connect(&server_, &QLocalServer::newConnection, this, &OfficeService::accept);
}

OfficeService::~OfficeService() { server_.close(); }

bool OfficeService::listen(const QString& path, QString* error) {
    // A file left by a service that was killed; the caller holds the lock that says no
    // other service runs.
    QLocalServer::removeServer(path);
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_.listen(path)) {
        if (error) *error = server_.errorString();
        return false;
    }
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    return true;
}

void OfficeService::accept() {
    while (QLocalSocket* socket = server_.nextPendingConnection()) {
        if (!sameUser(socket)) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { read(socket); });
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QObject::destroyed, this, [this, socket] {
            // A caller that went away before its turn is not served.
            std::erase_if(waiting_, [socket](const Job& j) { return j.socket == socket; });
        });
    }
}

void OfficeService::read(QLocalSocket* socket) {
    if (socket->property("taken").toBool()) return;
    if (!socket->canReadLine()) {
        if (socket->bytesAvailable() > kMaxRequestBytes) socket->abort();
        return;
    }
    socket->setProperty("taken", true);
    const QJsonObject json = QJsonDocument::fromJson(socket->readLine()).object();
    const std::optional<BatchRequest> request = requestFromJson(json.value("request").toObject());
    if (!request) {
        socket->write("{\"refused\":true}\n");
        socket->disconnectFromServer();
        return;
    }
    waiting_.push_back(Job{socket, *request});
    pump();
}

void OfficeService::pump() {
    while (running_ < parallel_ && !waiting_.empty()) {
        Job job = std::move(waiting_.front());
        waiting_.pop_front();
        run(std::move(job));
    }
}

void OfficeService::run(Job job) {
    ++running_;
    job.request.poolSize = std::clamp(job.request.poolSize, 1, parallel_);
    warmWorkerOffices(parallel_, -1);
    auto* run = new BatchRun(job.request, {}, this);
    QPointer<QLocalSocket> socket = job.socket;
    connect(run, &BatchRun::finished, this, [this, run, socket] {
        BatchRunResult result = run->result();
        // The caller prints what its run logged, as it would have running the run itself.
        result.messages = takeMessages(run->engine());
        if (socket) {
            socket->write(QJsonDocument(QJsonObject{{"result", runResultToJson(result)}})
                              .toJson(QJsonDocument::Compact) +
                          '\n');
            socket->disconnectFromServer();
        }
        run->deleteLater();
        --running_;
        pump();
    });
    run->start();
}

}  // namespace quorv
