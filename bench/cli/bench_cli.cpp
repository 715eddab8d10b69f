// Times one quorvcli run on a one-page .docx (to SWF) beside what a caller could do
// instead: `soffice --headless --convert-to pdf` of the same file, then quorv-pdf2swf.
// Rounds alternate the two sides after one warm-up run of each; then the same call with
// the office service running. Lines "ratio to soffice <ours/theirs>" and last
// "ratio <warm/cold>" of the median times.
//
//   bench_cli [RUNS]   (default 5)

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QUrl>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "common/benchdocs.h"

namespace {

// Runs a program to its end; true when it exits with status 0. `runtime` is the runtime
// folder it looks for the office service in.
bool run(const QString& program, const QStringList& args, const QString& workdir = QString(),
         const QString& runtime = QString()) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    if (!workdir.isEmpty()) p.setWorkingDirectory(workdir);
    if (!runtime.isEmpty()) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
        p.setProcessEnvironment(env);
    }
    p.start(program, args);
    if (!p.waitForFinished(600000)) {
        p.kill();
        p.waitForFinished();
        return false;
    }
    const QByteArray output = p.readAll();
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        std::fprintf(stderr, "%s failed: %s\n", qPrintable(program), output.constData());
        return false;
    }
    return true;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 5;
    if (runs <= 0) {
        std::fprintf(stderr, "usage: bench_cli [RUNS]\n");
        return 2;
    }
    QTemporaryDir tmp;
    const QString work = tmp.filePath(QStringLiteral("work"));
    const QString swf = tmp.filePath(QStringLiteral("swf"));
    const QString theirs = tmp.filePath(QStringLiteral("theirs"));
    const QString profile = tmp.filePath(QStringLiteral("soffice-profile"));
    for (const QString& d : {work + QStringLiteral("/pdf"), swf, theirs}) QDir().mkpath(d);

    // The document, made by soffice, which also readies its profile (not timed).
    const QString flat = tmp.filePath(QStringLiteral("page.fodt"));
    if (!quorv::bench::writeBenchDocument(flat, QStringLiteral("Benchmark page")) ||
        !quorv::bench::runSoffice(profile, {flat}, tmp.path(), QStringLiteral("docx"))) {
        return 1;
    }
    const QString docx = tmp.filePath(QStringLiteral("page.docx"));
    {
        QFile ini(work + QStringLiteral("/tovk.ini"));
        if (!ini.open(QIODevice::WriteOnly)) return 1;
        ini.write(QStringLiteral("[other]\nswfpath=%1\n").arg(swf).toUtf8());
    }

    // Cold calls look where no service listens; warm ones reach a running quorvoffice.
    const QString noService = tmp.filePath(QStringLiteral("no-service"));
    const QString runtime = tmp.filePath(QStringLiteral("runtime"));
    for (const QString& d : {noService, runtime}) {
        QDir().mkpath(d);
        QFile::setPermissions(d, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    auto call = [&](const QString& rt) {
        QFile::remove(swf + QStringLiteral("/page.swf"));
        QElapsedTimer t;
        t.start();
        const bool ok = run(QStringLiteral(QUORVCLI_PATH), {docx}, work, rt);
        const double s = t.nsecsElapsed() / 1e9;
        return ok && QFileInfo::exists(swf + QStringLiteral("/page.swf")) ? s : -1.0;
    };
    auto other = [&] {
        const QString pdf = theirs + QStringLiteral("/page.pdf");
        const QString out = theirs + QStringLiteral("/page.swf");
        QFile::remove(pdf);
        QFile::remove(out);
        QElapsedTimer t;
        t.start();
        const bool ok =
            quorv::bench::runSoffice(profile, {docx}, theirs, QStringLiteral("pdf")) &&
            run(QStringLiteral(PDF2SWF_PATH), {pdf, QStringLiteral("-o"), out, QStringLiteral("-s"),
                                               QStringLiteral("flashversion=9")});
        const double s = t.nsecsElapsed() / 1e9;
        return ok && QFileInfo::exists(out) ? s : -1.0;
    };

    auto ours = [&] { return call(noService); };

    // One warm-up run each: both sides then start from a ready office profile.
    if (ours() < 0 || other() < 0) return 1;
    std::vector<double> mine, theirsTimes, warm;
    for (int i = 0; i < runs; ++i) {
        const double a = ours();
        const double b = other();
        if (a < 0 || b < 0) return 1;
        mine.push_back(a);
        theirsTimes.push_back(b);
        std::printf("run %d: quorvcli %.3f s, soffice + quorv-pdf2swf %.3f s\n", i + 1, a, b);
    }

    // The same calls against a running service, once its instances are up (not timed).
    QProcess service;
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
        service.setProcessEnvironment(env);
    }
    service.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    service.start(QStringLiteral(QUORVOFFICE_PATH),
                  {QStringLiteral("--pool"), QStringLiteral("1")});
    QThread::sleep(3);
    if (call(runtime) < 0) return 1;
    for (int i = 0; i < runs; ++i) {
        const double w = call(runtime);
        if (w < 0) return 1;
        warm.push_back(w);
        std::printf("run %d: quorvcli with quorvoffice running %.3f s\n", i + 1, w);
    }
    service.terminate();
    service.waitForFinished(30000);
    const double m = median(mine), t = median(theirsTimes);
    std::printf(
        "runs %d, median quorvcli %.3f s (best %.3f), soffice + quorv-pdf2swf %.3f s "
        "(best %.3f)\n",
        runs, m, *std::min_element(mine.begin(), mine.end()), t,
        *std::min_element(theirsTimes.begin(), theirsTimes.end()));
    const double w = median(warm);
    std::printf("ratio to soffice %.3f\n", m / t);
    std::printf("median quorvcli with quorvoffice running %.3f s (best %.3f)\n", w,
                *std::min_element(warm.begin(), warm.end()));
    std::printf("ratio %.3f\n", w / m);
    return 0;
}
