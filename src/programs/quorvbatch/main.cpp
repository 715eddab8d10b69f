// quorvbatch: converts folders of documents without a window and says per file what happened.
#include <unistd.h>

#include <QCoreApplication>
#include <QFile>
#include <QStringList>
#include <cstdio>

#include "engines/office/officebackend.h"
#include "programs/quorvbatch/batchrun.h"

int main(int argc, char** argv) {
    // Taken before the application object, which could read some arguments as its own.
    QStringList arguments;
    for (int i = 1; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    QCoreApplication app(argc, argv);
    quorv::office::installOfficeBackend();
    // Through the C streams, unbuffered on our side: each write reaches stdio at once and
    // the run flushes it, in step with what else the process prints there.
    QFile out, err, in;
    out.open(stdout, QIODevice::WriteOnly | QIODevice::Unbuffered);
    err.open(stderr, QIODevice::WriteOnly | QIODevice::Unbuffered);
    in.open(stdin, QIODevice::ReadOnly);
    const quorv::BatchStreams streams{&out, &err, &in, ::isatty(STDERR_FILENO) == 1};
    return quorv::runQuorvbatch(arguments, streams);
}
