// Scans a generated tree of 100,000 files in 1,000 folders recursively with the Word
// type filter and compares the time with find(1) reading the same files' times.
//   bench_scan [FILES] [FOLDERS]
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>
#include <vector>

#include "convert/folderscan.h"
#include "gui/mainwin/frn1.h"
#include "gui/mainwin/frnscan.h"

namespace {

// Folder i sits below folder (i - 1) / 4, so depth grows slowly; it is capped at 6.
QStringList makeFolders(const QString& root, int count) {
    QStringList folders{root};
    std::vector<int> depth{0};
    for (int i = 1; i < count; ++i) {
        int parent = (i - 1) / 4;
        while (depth[parent] >= 6) parent = 0;
        folders << folders[parent] + QStringLiteral("/d%1").arg(i);
        depth.push_back(depth[parent] + 1);
        QDir().mkpath(folders.last());
    }
    return folders;
}

double seconds(const QElapsedTimer& t) { return t.nsecsElapsed() / 1e9; }

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int files = argc > 1 ? atoi(argv[1]) : 100000;
    const int folderCount = argc > 2 ? atoi(argv[2]) : 1000;
    QTemporaryDir tmp;
    const QStringList folders = makeFolders(tmp.path(), folderCount);
    static const char* kExt[] = {".doc", ".docx", ".txt", ".xls", ".pdf"};
    for (int i = 0; i < files; ++i) {
        QFile f(folders[i % folders.size()] + QStringLiteral("/file%1").arg(i) +
                QLatin1String(kExt[i % 5]));
        f.open(QIODevice::WriteOnly);
    }
    std::printf("tree: %d files in %lld folders\n", files, static_cast<long long>(folders.size()));

    // Warm the cache for both sides alike.
    QProcess::execute(QStringLiteral("find"),
                      {tmp.path(), QStringLiteral("-type"), QStringLiteral("f"),
                       QStringLiteral("-printf"), QStringLiteral("")});

    quorv::ScanOptions options;
    options.recursive = true;
    options.szf = QStringLiteral("1");
    options.ftype = quorv::ftype9(options.szf, QString(), QString());
    std::vector<quorv::ScanRow> rows;
    QElapsedTimer t;
    t.start();
    quorv::scanFolder(tmp.path(), options,
                      [&](quorv::ScanRow&& r) { rows.push_back(std::move(r)); });
    const double ours = seconds(t);
    std::printf("scan: %zu rows in %.3f s\n", rows.size(), ours);

    QProcess find;
    find.setStandardOutputFile(QProcess::nullDevice());
    t.restart();
    find.start(QStringLiteral("find"), {tmp.path(), QStringLiteral("-type"), QStringLiteral("f"),
                                        QStringLiteral("-printf"), QStringLiteral("%p %T@\\n")});
    find.waitForFinished(-1);
    const double theirs = seconds(t);
    std::printf("find: %.3f s\n", theirs);
    std::printf("ratio %.2f\n", ours / theirs);
    return 0;
}
