#pragma once

#include <QFont>
#include <QIcon>
#include <QString>

namespace quorv {

// The one family of the whole interface: a sans face that has the Chinese glyphs, so
// no caption falls back to another face.
QString uiFontFamily();

// The interface font at a point size, bold where a window asks for it.
QFont uiFont(int points, bool bold = false);

// The application's icon, drawn at every size the windows and the desktop ask for.
QIcon appIcon();

}  // namespace quorv
