#pragma once

// Runs quorvbatch as a script would: in a working directory of its own, with an argument
// list, reading its exit status and its JSON lines; as a process of its own where a test
// kills it, else inside the test's process with buffers for its streams.

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>

#include "programs/quorvbatch/batchrun.h"

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

// The run inside this process, `input` as its standard input; `terminal`: its error
// stream counts as a person's terminal.
inline BatchRun runBatchHere(const QString& workdir, const QStringList& args,
                             const QByteArray& input = QByteArray(), bool terminal = false) {
    static int argc = 1;
    static char name[] = "quorvbatch";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance()) new QCoreApplication(argc, argv);
    QByteArray inBytes = input;
    QBuffer out, err, in(&inBytes);
    out.open(QIODevice::WriteOnly);
    err.open(QIODevice::WriteOnly);
    in.open(QIODevice::ReadOnly);
    const QString before = QDir::currentPath();
    QDir::setCurrent(workdir);
    BatchRun r;
    r.status = runQuorvbatch(args, BatchStreams{&out, &err, &in, terminal});
    QDir::setCurrent(before);
    r.out = QString::fromUtf8(out.data());
    r.err = QString::fromUtf8(err.data());
    r.lines = jsonLines(r.out);
    return r;
}

#ifdef QUORVBATCH_PATH
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
#endif

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
