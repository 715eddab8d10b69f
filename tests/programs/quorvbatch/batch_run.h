#pragma once

// Runs the quorvbatch program as a script would: in a working directory of its own, with
// an argument list, reading its exit status and its JSON lines.

#include <QDir>
#include <QDirIterator>
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>

namespace quorv::testing {

struct BatchRun {
    int status = -1;
    bool crashed = false;
    QList<QJsonObject> lines;  // standard output, one object a line
    QString out;
    QString err;
};

inline QList<QJsonObject> jsonLines(const QString& out) {
    QList<QJsonObject> lines;
    for (const QString& l : out.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        lines << QJsonDocument::fromJson(l.toUtf8()).object();
    }
    return lines;
}

inline BatchRun runBatch(const QString& workdir, const QStringList& args,
                         const QByteArray& input = QByteArray(), int timeoutMs = 300000) {
    BatchRun r;
    QProcess p;
    p.setWorkingDirectory(workdir);
    p.start(QStringLiteral(QUORVBATCH_PATH), args);
    if (!p.waitForStarted(10000)) return r;
    p.write(input);
    p.closeWriteChannel();
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished(5000);
        r.crashed = true;
    }
    r.crashed = r.crashed || p.exitStatus() != QProcess::NormalExit;
    r.status = p.exitCode();
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    r.lines = jsonLines(r.out);
    return r;
}

// Every file below a folder, hidden ones included, as paths relative to it, sorted.
inline QStringList filesBelow(const QString& folder) {
    QStringList files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) files << QDir(folder).relativeFilePath(it.next());
    files.sort();
    return files;
}

// The line of a source, by its path; an empty object when there is none.
inline QJsonObject lineOf(const QList<QJsonObject>& lines, const QString& source) {
    for (const QJsonObject& o : lines) {
        if (o.value("source").toString() == source) return o;
    }
    return {};
}

}  // namespace quorv::testing
