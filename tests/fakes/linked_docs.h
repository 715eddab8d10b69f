#pragma once

// Documents that link outside themselves (made by files/make_linked.py at run time, since
// the links name the test's folder and port), a loopback HTTP listener that counts what
// reaches it, and whether an output drew the linked marker picture.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QProcess>
#include <QString>
#include <QStringList>
#include <atomic>
#include <thread>

#include "fakes/test_files.h"

namespace quorv::testing {

// An HTTP listener on 127.0.0.1 that answers 404 and counts what reaches it.
class Listener {
  public:
    Listener() {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        if (::bind(fd_, reinterpret_cast<sockaddr*>(&a), len) != 0 || ::listen(fd_, 16) != 0 ||
            ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
            return;
        }
        port_ = ntohs(a.sin_port);
        thread_ = std::thread([this] { serve(); });
    }
    ~Listener() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        ::close(fd_);
    }
    int port() const { return port_; }
    QString url() const { return QStringLiteral("http://127.0.0.1:%1").arg(port_); }
    int connections() const { return connections_; }

  private:
    void serve() {
        while (!stop_) {
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0) continue;
            const int c = ::accept(fd_, nullptr, nullptr);
            if (c < 0) continue;
            ++connections_;
            char buf[4096];
            pollfd q{c, POLLIN, 0};
            if (::poll(&q, 1, 1000) > 0) (void)!::read(c, buf, sizeof buf);
            static const char reply[] = "HTTP/1.0 404 Not Found\r\nContent-Length: 0\r\n\r\n";
            (void)!::write(c, reply, sizeof reply - 1);
            ::close(c);
        }
    }
    int fd_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<int> connections_{0};
    std::thread thread_;
};

// The kinds the generator writes, and whether each links the marker picture by an
// absolute path LibreOffice draws when local links are followed. Workbooks are searched,
// not converted.
struct Kind {
    const char* file;
    bool drawsLocalPicture;
};
inline const Kind kConverted[] = {
    {"docx.docx", true}, {"rtf.rtf", true},   {"html.doc", true},
    {"odt.odt", true},   {"fodt.fodt", true},
};

// Writes marker.png, marker.html and the linked documents into `folder`.
inline bool writeLinkedDocuments(const QString& folder, const QString& url) {
    QProcess p;
    p.start(QStringLiteral("python3"), {QStringLiteral(LINKED_GENERATOR), folder, url});
    return p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// Whether the output holds a picture of the marker's size.
inline bool drawsMarker(const QString& pdf) {
    const QStringList lines =
        runText(QStringLiteral("pdfimages"), {QStringLiteral("-list"), pdf}).split('\n');
    for (const QString& line : lines.mid(2)) {
        const QStringList f = line.simplified().split(' ');
        if (f.size() > 4 && f[3] == QLatin1String("37") && f[4] == QLatin1String("23")) {
            return true;
        }
    }
    return false;
}

}  // namespace quorv::testing
