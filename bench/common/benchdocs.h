#pragma once

// What the office benchmarks share: a one-page source document, the reference
// `soffice --convert-to` run, and a count of the PDFs a side produced.

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <cstdio>

namespace quorv::bench {

// A one-page text document as flat OpenDocument XML, which the engine reads directly.
inline bool writeBenchDocument(const QString& path, const QString& firstLine) {
    const QString xml =
        QStringLiteral(
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<office:document xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
            "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\" office:version=\"1.2\" "
            "office:mimetype=\"application/vnd.oasis.opendocument.text\">"
            "<office:body><office:text><text:p>%1</text:p>"
            "<text:p>一页的测试文档 with a little text to lay out.</text:p>"
            "</office:text></office:body></office:document>\n")
            .arg(firstLine.toHtmlEscaped());
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(xml.toUtf8()) > 0;
}

// One `soffice --headless --convert-to FORMAT` run over files, with its own profile.
inline bool runSoffice(const QString& profile, const QStringList& files, const QString& outDir,
                       const QString& format = QStringLiteral("pdf")) {
    QStringList args{QStringLiteral("-env:UserInstallation=") +
                         QUrl::fromLocalFile(profile).toString(QUrl::FullyEncoded),
                     QStringLiteral("--headless"),
                     QStringLiteral("--norestore"),
                     QStringLiteral("--convert-to"),
                     format,
                     QStringLiteral("--outdir"),
                     outDir};
    args += files;
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral("soffice"), args);
    if (!p.waitForFinished(600000)) {
        p.kill();
        p.waitForFinished();
        return false;
    }
    p.readAll();
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

inline int countPdfs(const QString& dir) {
    return int(QDir(dir).entryList({QStringLiteral("*.pdf")}, QDir::Files).size());
}

// Reads the benchmark's "[N [ROUNDS]]" from argv[1] and argv[2]. False, after printing
// `usage` on standard error, when either is not a positive number.
inline bool readCounts(int argc, char** argv, int defaultN, int defaultRounds, const char* usage,
                       int& n, int& rounds) {
    n = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : defaultN;
    rounds = argc > 2 ? QString::fromLocal8Bit(argv[2]).toInt() : defaultRounds;
    if (n > 0 && rounds > 0) return true;
    std::fprintf(stderr, "%s\n", usage);
    return false;
}

}  // namespace quorv::bench
