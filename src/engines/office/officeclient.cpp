#include "engines/office/officeclient.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QFileInfo>
#include <QJsonDocument>
#include <QLocalSocket>

namespace quorv {

QString officeRuntimeFolder() {
    const QString xdg = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!xdg.isEmpty()) return QFileInfo(xdg).isDir() ? xdg : QString();
    // Under cron or su the variable is often unset while the folder is there.
    const QString run = QStringLiteral("/run/user/%1").arg(::getuid());
    struct stat st {};
    const QByteArray path = run.toLocal8Bit();
    if (::stat(path.constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid() ||
        (st.st_mode & 077) != 0) {
        return QString();
    }
    return run;
}

QString officeSocketPath() {
    const QString folder = officeRuntimeFolder();
    return folder.isEmpty() ? QString() : folder + QStringLiteral("/quorvoffice.sock");
}

ServiceAnswer runOnOfficeService(const BatchRequest& request, int connectTimeoutMs) {
    ServiceAnswer answer;
    const QString path = officeSocketPath();
    if (path.isEmpty() || !QFileInfo::exists(path)) return answer;
    QLocalSocket socket;
    socket.connectToServer(path);
    if (!socket.waitForConnected(connectTimeoutMs)) return answer;

    const QByteArray line = QJsonDocument(QJsonObject{{"request", requestToJson(request)}})
                                .toJson(QJsonDocument::Compact) +
                            '\n';
    socket.write(line);
    // From here on the service may have begun: a failure is a lost run, never a retry.
    answer.state = ServiceAnswer::State::Lost;
    if (!socket.waitForBytesWritten(connectTimeoutMs * 10)) return answer;
    QByteArray reply;
    while (!reply.contains('\n')) {
        if (socket.bytesAvailable() == 0 && !socket.waitForReadyRead(-1)) break;
        reply += socket.readAll();
    }
    reply += socket.readAll();
    const qsizetype end = reply.indexOf('\n');
    if (end < 0) return answer;
    const QJsonObject json = QJsonDocument::fromJson(reply.left(end)).object();
    const std::optional<BatchRunResult> result = runResultFromJson(json.value("result").toObject());
    if (!result) return answer;
    answer.state = ServiceAnswer::State::Done;
    answer.result = *result;
    return answer;
}

}  // namespace quorv
