#include "programs/quorvoffice/officeservice.h"

#include <sys/socket.h>
#include <unistd.h>

#include <QFile>
#include <QJsonDocument>
#include <QLocalSocket>
#include <QPointer>
#include <algorithm>

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

void keepOrPrint(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (BatchEngine* engine = BatchEngine::onWorkerThread(); engine && engine->keepsMessages()) {
        engine->addMessage(qFormatLogMessage(type, context, text));
        return;
    }
    gDefaultHandler(type, context, text);
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
    auto* engine = new BatchEngine(job.request, this);
    // The caller prints what its run logged, as it would have running the run itself.
    engine->setKeepMessages(true);
    auto rows = std::make_shared<QList<BatchRunResult::Row>>(job.request.rows.size());
    QPointer<QLocalSocket> socket = job.socket;
    connect(engine, &BatchEngine::rowFinished, this,
            [rows](int index, BatchResult result, FailReason reason) {
                if (index >= 0 && index < rows->size()) (*rows)[index] = {result, reason};
            });
    connect(engine, &BatchEngine::finished, this, [this, engine, rows, socket] {
        const BatchRunResult result = BatchRunResult::of(*engine, *rows);
        if (socket) {
            socket->write(QJsonDocument(QJsonObject{{"result", runResultToJson(result)}})
                              .toJson(QJsonDocument::Compact) +
                          '\n');
            socket->disconnectFromServer();
        }
        engine->deleteLater();
        --running_;
        pump();
    });
    engine->start();
}

}  // namespace quorv
