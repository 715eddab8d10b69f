#pragma once

#include <QRect>
#include <QSize>
#include <QString>
#include <optional>
#include <vector>

namespace quorv {

// Kinds of the main window's controls; the kind decides how the window scales them.
enum class ControlKind {
    MaskedEdit,
    CheckBox,
    DropDownList,
    Button,
    SingleLineEdit,
    StaticText,
    RadioButton,
    ProgressBar,
    PictureButton,
    GroupBox,
    Grid,
    ListBox,
};

// One control of the main window as designed: position and size in layout units.
struct ControlDesign {
    const char* name;
    ControlKind kind;
    const char* caption;
    int x, y, width, height;
    int tab;  // 0: not reached with Tab
};

// Every control of w_frn in the window's control order.
const std::vector<ControlDesign>& frnControls();
const ControlDesign* frnControl(const QString& name);

// The design size of the window's client area, in layout units.
inline constexpr int kFrnWidthUnits = 5367;
inline constexpr int kFrnHeightUnits = 2820;
// Point size of the controls' fonts on the screen the layout was made for.
inline constexpr int kFrnFontPoints = 9;

// Layout units to pixels on the design screen (1280 x 768): 1280/5600 px a unit across,
// 768/3072 px a unit down, cut toward zero.
int unitsToPixelsX(int units);
int unitsToPixelsY(int units);
QRect unitsToPixels(const ControlDesign& planned);
QSize frnDesignClientSize();

// One run of the layout scaling for a screen size.
struct ResizePlan {
    double wradio = 1;
    double hradio = 1;
    double radio = 1;  // the smaller of the two
    bool changes() const { return radio != 1.0; }
};
ResizePlan planResize(QSize screen);

// value x radio, cut toward zero, as every scaled value is stored.
int scaleCut(int value, double radio);
// The list's zoom for a factor: the largest whole percentage not above radio x 100.
QString zoomText(double radio);
// Whether the scaling changes a control kind's font.
bool kindScalesFont(ControlKind kind);

// How a control follows the window when it is made larger than its scaled design size:
// the list and its frame take the room, what lies right of the list moves right, what
// lies under it moves down, and the rest stays where it is.
enum class Anchor {
    Fixed,
    Right,            // moves right
    Bottom,           // moves down
    BottomRight,      // moves right and down
    Grow,             // grows right and down
    GrowWidth,        // grows right
    BottomGrowWidth,  // moves down, grows right
    RightGrowHeight,  // moves right, grows down
};
Anchor frnAnchor(const ControlDesign& control);
// A control's place for a window `extra` pixels wider and higher than its design.
QRect anchoredRect(const QRect& design, Anchor anchor, QSize extra);

// The status line under the list and its "只看失败" box, in layout units; both move down
// with the list's bottom, the line grows with its width.
ControlDesign statusLineDesign();
ControlDesign failedOnlyDesign();

// The window's place as stored in the settings: "x,y,width,height".
QString windowPlaceText(const QRect& place);
std::optional<QRect> parseWindowPlace(const QString& text);
// A stored place fitted to the screen as it is now: no smaller than `least`, no larger
// than the screen's free area, and moved back onto it when it lies (partly) off it.
QRect fitWindowPlace(const QRect& saved, const QRect& available, QSize least);

// Column widths as stored in the settings: "name:width,..." at zoom 100; a column whose
// width is 0 or below is left out. Widths are of the shown columns, in model order.
QString columnWidthsText(const std::vector<int>& widths, int zoom);
// The widths at `zoom` read from such a text; 0 for a column it does not name (or names
// with no usable width). Unknown names are skipped.
std::vector<int> parseColumnWidths(const QString& text, int zoom);

}  // namespace quorv
