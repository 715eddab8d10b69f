// quorvcli: converts the one document named on its command line to SWF and ends.
#include <QCoreApplication>
#include <QStringList>

#include "engines/office/officebackend.h"
#include "programs/quorvcli/cliconvert.h"

int main(int argc, char** argv) {
    // Taken before the application object, which could read some arguments as its own.
    QStringList arguments;
    for (int i = 1; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    QCoreApplication app(argc, argv);
    quorv::office::installOfficeBackend();
    return quorv::runQuorvcli(arguments);
}
