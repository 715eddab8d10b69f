#include "convert/outputcheck.h"

namespace quorv {

OutputKind outputKindOfFormat(int wordFormat) {
    if (wordFormat == 17) return OutputKind::Pdf;
    if (wordFormat == 18) return OutputKind::Xps;
    return OutputKind::Text;
}

}  // namespace quorv
