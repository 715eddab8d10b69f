// Writes COUNT keys "PREFIXi=value i" into FILE, one write per key, and exits 0 when every
// write reported success. Used to race two writers on one settings file.
#include <QCoreApplication>
#include <cstdio>

#include "core/ini.h"

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fputs("usage: ini_writer FILE SECTION PREFIX COUNT\n", stderr);
        return 2;
    }
    const QString file = QString::fromLocal8Bit(argv[1]);
    const QString section = QString::fromLocal8Bit(argv[2]);
    const QString prefix = QString::fromLocal8Bit(argv[3]);
    const int count = QByteArray(argv[4]).toInt();
    int failures = 0;
    for (int i = 0; i < count; ++i) {
        if (quorv::writeIniKey(file, section, prefix + QString::number(i),
                               QStringLiteral("value %1").arg(i)) != 1) {
            ++failures;
        }
    }
    return failures == 0 ? 0 : 1;
}
