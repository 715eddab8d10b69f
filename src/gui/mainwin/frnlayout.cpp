#include "gui/mainwin/frnlayout.h"

#include <cmath>

namespace quorv {

namespace {
using K = ControlKind;
}

const std::vector<ControlDesign>& frnControls() {
    static const std::vector<ControlDesign> controls{
        {"em_1", K::MaskedEdit, "", 4229, 1040, 731, 128, 180},
        {"cbx_1", K::CheckBox, "最小化窗口运行", 3319, 1428, 681, 96, 20},
        {"ddlb_1", K::DropDownList, "", 4210, 884, 768, 588, 30},
        {"cb_9", K::Button, "反向选择", 1573, 2196, 457, 128, 250},
        {"cb_5", K::Button, "搜索", 2199, 2396, 457, 128, 240},
        {"sle_3", K::SingleLineEdit, "", 946, 2396, 1129, 128, 230},
        {"st_3", K::StaticText, "内容包含", 311, 2400, 457, 108, 0},
        {"st_2", K::StaticText, "", 434, 248, 2546, 48, 0},
        {"cb_4", K::Button, "设置", 2144, 52, 457, 128, 40},
        {"rb_10", K::RadioButton, "原格式", 4731, 508, 361, 108, 0},
        {"rb_9", K::RadioButton, "自定义", 3986, 508, 361, 108, 0},
        {"rb_8", K::RadioButton, "xps", 3657, 508, 274, 108, 0},
        {"rb_6", K::RadioButton, "swf", 4402, 508, 274, 108, 0},
        {"rb_5", K::RadioButton, "pdf", 3328, 508, 274, 108, 0},
        {"sle_2", K::SingleLineEdit, "", 3575, 148, 1083, 128, 50},
        {"st_1", K::StaticText, "输出目录：", 3186, 168, 379, 72, 0},
        {"cb_3", K::Button, "开始输出", 4229, 1776, 695, 128, 40},
        {"cb_2", K::Button, "添加文件", 4229, 1496, 695, 128, 40},
        {"cbx_4", K::CheckBox, "包括隐藏文件", 3314, 1208, 681, 96, 20},
        {"cb_11", K::Button, "另存为", 311, 2196, 457, 128, 220},
        {"vpb_1", K::ProgressBar, "", 2939, 396, 55, 1864, 0},
        {"rb_4", K::RadioButton, "过滤", 1600, 72, 288, 92, 0},
        {"rb_3", K::RadioButton, "不过滤", 1193, 76, 347, 92, 0},
        {"sle_1", K::SingleLineEdit, "", 613, 56, 457, 128, 30},
        {"st_5", K::StaticText, "源文件名包含", 23, 92, 526, 72, 0},
        {"cbx_3", K::CheckBox, "保留子目录结构", 3314, 1064, 681, 96, 170},
        {"pb_1", K::PictureButton, "浏览...", 4777, 140, 352, 128, 180},
        {"cbx_2", K::CheckBox, "包括子文件夹", 3314, 920, 681, 96, 20},
        {"cb_8", K::Button, "全部移除", 2203, 2196, 457, 128, 50},
        {"cb_6", K::Button, "移除所选", 942, 2196, 457, 128, 40},
        {"dw_1", K::Grid, "", 155, 368, 2715, 1760, 220},
        {"lb_1", K::ListBox, "", 3131, 1556, 901, 988, 110},
        {"cb_1", K::Button, "添加文件夹", 4229, 1208, 695, 128, 30},
        {"gb_4", K::GroupBox, "是否过滤", 1138, 12, 814, 192, 0},
        {"gb_3", K::GroupBox, "添加文件夹", 3186, 784, 1943, 604, 0},
        {"gb_1", K::GroupBox, "输出格式", 3182, 372, 1984, 360, 0},
        {"gb_2", K::GroupBox, "文件列表", 101, 268, 2825, 2320, 0},
    };
    return controls;
}

const ControlDesign* frnControl(const QString& name) {
    for (const ControlDesign& c : frnControls()) {
        if (name == QLatin1String(c.name)) return &c;
    }
    return nullptr;
}

int unitsToPixelsX(int units) { return units * 1280 / 5600; }
int unitsToPixelsY(int units) { return units * 768 / 3072; }

QRect unitsToPixels(const ControlDesign& planned) {
    return QRect(unitsToPixelsX(planned.x), unitsToPixelsY(planned.y),
                 unitsToPixelsX(planned.width), unitsToPixelsY(planned.height));
}

QSize frnDesignClientSize() {
    return QSize(unitsToPixelsX(kFrnWidthUnits), unitsToPixelsY(kFrnHeightUnits));
}

ResizePlan planResize(QSize screen) {
    ResizePlan p;
    p.wradio = screen.width() / 1280.0;
    p.hradio = screen.height() / 768.0;
    p.radio = p.wradio >= p.hradio ? p.hradio : p.wradio;
    return p;
}

int scaleCut(int value, double radio) { return static_cast<int>(std::trunc(value * radio)); }

QString zoomText(double radio) {
    return QString::number(static_cast<long long>(std::floor(radio * 100)));
}

bool kindScalesFont(ControlKind kind) {
    switch (kind) {
        case K::ProgressBar:
        case K::Grid:
            return false;
        default:
            return true;
    }
}

}  // namespace quorv
