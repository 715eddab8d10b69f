#include "engines/desktop/appstyle.h"

namespace quorv {

QString uiFontFamily() { return QStringLiteral("Noto Sans CJK SC"); }

QFont uiFont(int points, bool bold) {
    QFont f(uiFontFamily(), points, bold ? QFont::Bold : QFont::Normal);
    f.setStyleHint(QFont::SansSerif);
    return f;
}

QIcon appIcon() {
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128, 256}) {
        icon.addFile(QStringLiteral(":/quorvane/icons/quorvane-%1.png").arg(size),
                     QSize(size, size));
    }
    return icon;
}

}  // namespace quorv
