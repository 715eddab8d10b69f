#include "core/globals.h"

namespace quorv {

GlobalSettings& globals() {
    static GlobalSettings g;
    return g;
}

QString profilePathFor(const QString& apPath) { return apPath + QStringLiteral("/tovk.ini"); }

}  // namespace quorv
