#pragma once

// Writing a qpdf document to its place so that a reader never sees half a file: into a
// temporary file beside the target, then renamed over it.

#include <QString>
#include <functional>

class QPDF;
class QPDFWriter;

namespace quorv::pdf {

// Writes `doc` to `target`; `configure` sets the writer's options (encryption) first, and
// `accept`, when given, must pass the written temporary file before it takes the target's
// place. The new file takes the permissions of the file it replaces, else those a new
// file gets. `synced`: on the disk before it takes the target's place, so that a crash of
// the machine cannot leave an empty file under the name. False with the reason in
// *error; `target` is then as it was.
bool writePdfAtomically(QPDF& doc, const QString& target,
                        const std::function<void(QPDFWriter&)>& configure,
                        const std::function<bool(const QString& written)>& accept, QString* error,
                        bool synced = true);

}  // namespace quorv::pdf
