#pragma once

#include <QRect>
#include <QSize>
#include <QString>
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

}  // namespace quorv
