#include "mainwin/w_frn.h"

#include <QGuiApplication>
#include <QPalette>
#include <QScreen>

#include "settings/globals.h"

namespace quorv {

w_frn::w_frn(Desktop& desktop, QWidget* parent) : QWidget(parent), desktop_(desktop) {
    setObjectName(QStringLiteral("w_frn"));
    setWindowTitle(QStringLiteral("Quorvane(V2.1)"));
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(166, 202, 240));
    setPalette(pal);
    setAutoFillBackground(true);
    resize(1227, 705);
}

void w_frn::open() {
    globals().profile = profilePathFor(globals().ap_path);
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect avail = screen->availableGeometry();
        move(avail.center() - rect().center());
    }
}

}  // namespace quorv
