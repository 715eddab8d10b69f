#include "convert/backend.h"

#include <QtGlobal>

namespace quorv {

namespace {

ConvertBackend& installed() {
    static ConvertBackend b;
    return b;
}

bool complete(const ConvertBackend& b) { return b.openWorkerOffice && b.outputReads; }

}  // namespace

void installBackend(ConvertBackend b) {
    if (!complete(b)) qFatal("quorv: a conversion backend needs workers' offices and checks");
    installed() = std::move(b);
}

const ConvertBackend& backend() {
    const ConvertBackend& b = installed();
    if (!complete(b)) qFatal("quorv: no conversion backend installed at the program's start");
    return b;
}

void warmWorkerOffices(int n, int idleMs) {
    if (const ConvertBackend& b = backend(); b.warmWorkerOffices) b.warmWorkerOffices(n, idleMs);
}

bool outputReads(const QString& output, OutputKind kind, const QString& source,
                 const QString& openPassword) {
    return backend().outputReads(output, kind, source, openPassword);
}

}  // namespace quorv
