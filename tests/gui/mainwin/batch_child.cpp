// A program that runs "开始输出" headless in PDF mode over the files it is given and, when
// the first row's result arrives, prints an office instance's process id and waits for a
// line on standard input before it goes on; the test ends it meanwhile by a signal.
//
//   batch_child WORKDIR OUTDIR FILE...

#include <QApplication>
#include <cstdio>
#include <iostream>
#include <string>

#include "core/globals.h"
#include "core/quorvapp.h"
#include "engines/office/officeinstance.h"
#include "fakes/batch_rows.h"
#include "fakes/scripted_desktop.h"

int main(int argc, char** argv) {
    using namespace quorv;
    if (argc < 5) return 2;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication qtApp(argc, argv);
    QuorvApp app;
    globals().ap_path = QString::fromLocal8Bit(argv[1]);
    testing::ScriptedDesktop desktop;
    w_frn w(desktop);
    bool told = false;
    QObject::connect(&w.list(), &QAbstractItemModel::dataChanged, &w.list(), [&told] {
        if (told) return;
        const QList<qint64> pids = office::OfficeInstance::runningPids();
        if (pids.isEmpty()) return;
        told = true;
        std::printf("%lld\n", static_cast<long long>(pids.first()));
        std::fflush(stdout);
        std::string line;
        std::getline(std::cin, line);
    });
    w.open(QSize(1280, 768));
    w.sle_2->setText(QString::fromLocal8Bit(argv[2]));
    w.setOutputMode(OutputMode::Pdf);
    QStringList files;
    for (int i = 3; i < argc; ++i) files << QString::fromLocal8Bit(argv[i]);
    testing::setRows(w, files);
    w.cb_3_clicked();
    return testing::rowsWith(w, QStringLiteral("成功")) == files.size() ? 0 : 1;
}
