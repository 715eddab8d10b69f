// The checks that read a document's bytes before the office sees it, on arbitrary files
// under each name they treat differently: no crash, no hang, and only the answers a
// caller knows.
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <cstdlib>

#include "convert/docbytes.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const char* const kNames[] = {"f.doc", "f.xls", "f.docx", "f.xlsx", "f.dotx"};
    static const QString dir = [] {
        QString d = QDir::tempPath() + QStringLiteral("/quorv-fuzz-docbytes-%1/").arg(getpid());
        QDir().mkpath(d);
        return d;
    }();
    if (size < 1) return 0;
    const QString path = dir + QString::fromLatin1(kNames[data[0] % 5]);
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) abort();
        f.write(reinterpret_cast<const char*>(data + 1), static_cast<qint64>(size - 1));
    }
    const quorv::FailReason r = quorv::documentBytesProblem(path);
    if (r != quorv::FailReason::None && r != quorv::FailReason::Damaged &&
        r != quorv::FailReason::Password) {
        abort();
    }
    return 0;
}
