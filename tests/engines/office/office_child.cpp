// A program that starts an office instance, prints its process id, waits for a line on
// standard input and then ends the way its argument says, without cleaning up.

#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>

#include "convert/automation.h"
#include "engines/office/officeinstance.h"

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    const std::string mode = argv[1];
    auto* word = new quorv::OleObject;  // never released: the end must not depend on it
    if (word->connectToNewObject(QStringLiteral("Word.application")) != 0) return 3;
    const QList<qint64> pids = quorv::office::OfficeInstance::runningPids();
    if (pids.size() != 1) return 4;
    std::printf("%lld\n", static_cast<long long>(pids.front()));
    std::fflush(stdout);
    std::string line;
    std::getline(std::cin, line);
    if (mode == "abort") std::abort();
    if (mode == "sigterm") ::raise(SIGTERM);
    if (mode == "killed") ::pause();
    ::_exit(0);
}
