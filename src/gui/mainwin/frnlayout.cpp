#include "gui/mainwin/frnlayout.h"

#include <QStringList>
#include <algorithm>
#include <cmath>

#include "gui/mainwin/frn1.h"

namespace quorv {

namespace {
using K = ControlKind;
}

const std::vector<ControlDesign>& frnControls() {
    static const std::vector<ControlDesign> controls{
        {"em_1", K::MaskedEdit, "", 4710, 860, 590, 128, 180},
        {"cbx_1", K::CheckBox, "最小化窗口运行", 3990, 1428, 681, 96, 20},
        {"ddlb_1", K::DropDownList, "", 3990, 860, 700, 588, 30},
        {"cb_9", K::Button, "反向选择", 1573, 2296, 457, 128, 250},
        {"cb_5", K::Button, "搜索", 2199, 2500, 457, 128, 240},
        {"sle_3", K::SingleLineEdit, "", 946, 2500, 1129, 128, 230},
        {"st_3", K::StaticText, "内容包含", 311, 2504, 457, 108, 0},
        {"st_2", K::StaticText, "", 434, 248, 3360, 48, 0},
        {"cb_4", K::Button, "设置", 2144, 52, 457, 128, 40},
        {"rb_10", K::RadioButton, "原格式", 4840, 600, 400, 108, 0},
        {"rb_7", K::RadioButton, "ofd", 4430, 600, 300, 108, 0},
        {"rb_9", K::RadioButton, "自定义", 4840, 460, 400, 108, 0},
        {"rb_8", K::RadioButton, "xps", 4430, 460, 300, 108, 0},
        {"rb_6", K::RadioButton, "swf", 4020, 600, 300, 108, 0},
        {"rb_5", K::RadioButton, "pdf", 4020, 460, 300, 108, 0},
        {"sle_2", K::SingleLineEdit, "", 4350, 148, 610, 128, 50},
        {"st_1", K::StaticText, "输出目录：", 3960, 168, 379, 72, 0},
        {"cb_3", K::Button, "开始输出", 4680, 1776, 620, 128, 40},
        {"cb_2", K::Button, "添加文件", 4680, 1496, 620, 128, 40},
        {"cbx_4", K::CheckBox, "包括隐藏文件", 3990, 1240, 660, 96, 20},
        {"cb_11", K::Button, "另存为", 311, 2296, 457, 128, 220},
        {"vpb_1", K::ProgressBar, "", 3820, 396, 55, 1732, 0},
        {"rb_4", K::RadioButton, "过滤", 1600, 72, 288, 92, 0},
        {"rb_3", K::RadioButton, "不过滤", 1193, 76, 347, 92, 0},
        {"sle_1", K::SingleLineEdit, "", 613, 56, 457, 128, 30},
        {"st_5", K::StaticText, "源文件名包含", 23, 92, 526, 72, 0},
        {"cbx_3", K::CheckBox, "保留子目录结构", 4680, 1040, 640, 96, 170},
        {"pb_1", K::PictureButton, "浏览...", 4990, 140, 340, 128, 180},
        {"cbx_2", K::CheckBox, "包括子文件夹", 3990, 1040, 660, 96, 20},
        {"cb_8", K::Button, "全部移除", 2203, 2296, 457, 128, 50},
        {"cb_6", K::Button, "移除所选", 942, 2296, 457, 128, 40},
        {"dw_1", K::Grid, "", 155, 368, 3640, 1760, 220},
        {"lb_1", K::ListBox, "", 3990, 1556, 901, 988, 110},
        {"cb_1", K::Button, "添加文件夹", 4680, 1210, 620, 128, 30},
        {"gb_4", K::GroupBox, "是否过滤", 1138, 12, 814, 192, 0},
        {"gb_3", K::GroupBox, "添加文件夹", 3950, 784, 1380, 604, 0},
        {"gb_1", K::GroupBox, "输出格式", 3950, 372, 1380, 360, 0},
        {"gb_2", K::GroupBox, "文件列表", 101, 268, 3800, 2420, 0},
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

Anchor frnAnchor(const ControlDesign& c) {
    const QLatin1String name(c.name);
    if (name == QLatin1String("dw_1") || name == QLatin1String("gb_2")) return Anchor::Grow;
    if (name == QLatin1String("st_2")) return Anchor::GrowWidth;
    if (name == QLatin1String("vpb_1")) return Anchor::RightGrowHeight;
    const ControlDesign* list = frnControl(QStringLiteral("dw_1"));
    if (c.x >= list->x + list->width) return Anchor::Right;
    if (c.y >= list->y + list->height) return Anchor::Bottom;
    return Anchor::Fixed;
}

QRect anchoredRect(const QRect& r, Anchor anchor, QSize extra) {
    const int dx = std::max(0, extra.width());
    const int dy = std::max(0, extra.height());
    switch (anchor) {
        case Anchor::Fixed:
            return r;
        case Anchor::Right:
            return r.translated(dx, 0);
        case Anchor::Bottom:
            return r.translated(0, dy);
        case Anchor::BottomRight:
            return r.translated(dx, dy);
        case Anchor::Grow:
            return r.adjusted(0, 0, dx, dy);
        case Anchor::GrowWidth:
            return r.adjusted(0, 0, dx, 0);
        case Anchor::BottomGrowWidth:
            return r.translated(0, dy).adjusted(0, 0, dx, 0);
        case Anchor::RightGrowHeight:
            return r.translated(dx, 0).adjusted(0, 0, 0, dy);
    }
    return r;
}

ControlDesign statusLineDesign() {
    return {"statusLine", K::StaticText, "", 155, 2150, 3100, 100, 0};
}

ControlDesign failedOnlyDesign() {
    return {"failedOnly", K::CheckBox, "只看失败", 3300, 2150, 495, 100, 0};
}

QString windowPlaceText(const QRect& r) {
    return QStringLiteral("%1,%2,%3,%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
}

std::optional<QRect> parseWindowPlace(const QString& text) {
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() != 4) return std::nullopt;
    int v[4];
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        v[i] = parts[i].trimmed().toInt(&ok);
        if (!ok) return std::nullopt;
    }
    if (v[2] <= 0 || v[3] <= 0) return std::nullopt;
    return QRect(v[0], v[1], v[2], v[3]);
}

QRect fitWindowPlace(const QRect& saved, const QRect& available, QSize least) {
    QRect r = saved;
    r.setWidth(std::clamp(r.width(), std::min(least.width(), available.width()),
                          std::max(available.width(), 1)));
    r.setHeight(std::clamp(r.height(), std::min(least.height(), available.height()),
                           std::max(available.height(), 1)));
    // Back onto the screen: a window left on a screen that is gone cannot be reached.
    if (r.right() > available.right()) r.moveRight(available.right());
    if (r.bottom() > available.bottom()) r.moveBottom(available.bottom());
    if (r.left() < available.left()) r.moveLeft(available.left());
    if (r.top() < available.top()) r.moveTop(available.top());
    return r;
}

QString columnWidthsText(const std::vector<int>& widths, int zoom) {
    if (zoom <= 0) zoom = 100;
    const auto& shown = FileListModel::shownColumns();
    QStringList parts;
    for (size_t i = 0; i < widths.size() && i < shown.size(); ++i) {
        if (widths[i] <= 0) continue;
        parts.append(frn1ColumnName(shown[i]) + QLatin1Char(':') +
                     QString::number(widths[i] * 100 / zoom));
    }
    return parts.join(QLatin1Char(','));
}

std::vector<int> parseColumnWidths(const QString& text, int zoom) {
    if (zoom <= 0) zoom = 100;
    const auto& shown = FileListModel::shownColumns();
    std::vector<int> widths(shown.size(), 0);
    for (const QString& part : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QStringList kv = part.split(QLatin1Char(':'));
        if (kv.size() != 2) continue;
        const auto column = frn1ColumnByName(kv[0].trimmed());
        if (!column) continue;
        const auto at = std::find(shown.begin(), shown.end(), *column);
        if (at == shown.end()) continue;
        bool ok = false;
        const int w = kv[1].trimmed().toInt(&ok);
        // A width beyond any screen is a damaged value, not a choice.
        if (ok && w > 0 && w <= 4000) widths[at - shown.begin()] = w * zoom / 100;
    }
    return widths;
}

}  // namespace quorv
