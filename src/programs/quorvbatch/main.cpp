// quorvbatch: converts folders of documents without a window and says per file what happened.
#include <QCoreApplication>
#include <QStringList>

#include "engines/office/officebackend.h"
#include "programs/quorvbatch/batchrun.h"

int main(int argc, char** argv) {
    // Taken before the application object, which could read some arguments as its own.
    QStringList arguments;
    for (int i = 1; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    QCoreApplication app(argc, argv);
    quorv::office::installOfficeBackend();
    return quorv::runQuorvbatch(arguments);
}
