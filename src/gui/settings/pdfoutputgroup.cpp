#include "gui/settings/pdfoutputgroup.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>

#include "engines/desktop/appstyle.h"

namespace quorv {

namespace {

template <typename W>
W* named(W* w, const char* name, int points) {
    w->setObjectName(QLatin1String(name));
    w->setFont(uiFont(points));
    return w;
}

QLabel* label(const char* text) {
    auto* l = new QLabel(QString::fromUtf8(text));
    l->setFont(uiFont(11));
    return l;
}

QLineEdit* password(const char* name) {
    auto* e = named(new QLineEdit, name, 12);
    e->setEchoMode(QLineEdit::Password);
    return e;
}

}  // namespace

PdfOutputGroup::PdfOutputGroup(QWidget* parent) : QGroupBox(QStringLiteral("PDF输出"), parent) {
    setObjectName(QStringLiteral("pdfOutputGroup"));
    setFont(uiFont(11));
    openPassword = password("pdfOpenPassword");
    permissionsPassword = password("pdfPermissionsPassword");
    permissionsPassword->setToolTip(QStringLiteral("用此密码可解除下列限制"));
    noPrint = named(new QCheckBox(QStringLiteral("禁止打印")), "pdfNoPrint", 11);
    noCopy = named(new QCheckBox(QStringLiteral("禁止复制文字")), "pdfNoCopy", 11);
    noChange = named(new QCheckBox(QStringLiteral("禁止修改")), "pdfNoChange", 11);
    watermarkText = named(new QLineEdit, "pdfWatermarkText", 12);
    watermarkText->setPlaceholderText(QStringLiteral("空则不加水印"));
    watermarkSize = named(new QSpinBox, "pdfWatermarkSize", 12);
    watermarkSize->setRange(PdfWatermark::kMinSize, PdfWatermark::kMaxSize);
    watermarkOpacity = named(new QSpinBox, "pdfWatermarkOpacity", 12);
    watermarkOpacity->setRange(1, 100);
    watermarkOpacity->setSuffix(QStringLiteral("%"));
    watermarkTiled = named(new QCheckBox(QStringLiteral("平铺")), "pdfWatermarkTiled", 11);
    merge = named(new QCheckBox(QStringLiteral("合并为一个PDF")), "pdfMerge", 11);
    mergeName = named(new QLineEdit, "pdfMergeName", 12);
    mergeName->setPlaceholderText(QStringLiteral("合并.pdf"));
    keepParts = named(new QCheckBox(QStringLiteral("保留分件")), "pdfKeepParts", 11);

    auto* grid = new QGridLayout(this);
    int row = 0;
    const auto line = [&](const char* text, QWidget* field) {
        grid->addWidget(label(text), row, 0);
        grid->addWidget(field, row++, 1);
    };
    line("PDF打开密码", openPassword);
    line("权限密码", permissionsPassword);
    auto* limits = new QHBoxLayout;
    limits->addWidget(noPrint);
    limits->addWidget(noCopy);
    limits->addWidget(noChange);
    limits->addStretch();
    grid->addLayout(limits, row++, 0, 1, 2);
    line("水印文字", watermarkText);
    line("水印字号", watermarkSize);
    line("不透明度", watermarkOpacity);
    grid->addWidget(watermarkTiled, row++, 1);
    grid->addWidget(merge, row++, 0, 1, 2);
    line("合并文件名", mergeName);
    grid->addWidget(keepParts, row++, 1);
    grid->setRowStretch(row, 1);
    showOptions(PdfOptions{});
}

void PdfOutputGroup::showOptions(const PdfOptions& o) {
    openPassword->setText(o.protection.openPassword);
    permissionsPassword->setText(o.protection.permissionsPassword);
    noPrint->setChecked(o.protection.noPrint);
    noCopy->setChecked(o.protection.noCopy);
    noChange->setChecked(o.protection.noChange);
    watermarkText->setText(o.watermark.text);
    watermarkSize->setValue(o.watermark.size);
    watermarkOpacity->setValue(o.watermark.opacity);
    watermarkTiled->setChecked(o.watermark.tiled);
    merge->setChecked(o.merge.on);
    mergeName->setText(o.merge.fileName);
    keepParts->setChecked(o.merge.keepParts);
}

PdfOptions PdfOutputGroup::options() const {
    PdfOptions o;
    o.protection = {openPassword->text(), permissionsPassword->text(), noPrint->isChecked(),
                    noCopy->isChecked(), noChange->isChecked()};
    o.watermark = {watermarkText->text(), watermarkSize->value(), watermarkOpacity->value(),
                   watermarkTiled->isChecked()};
    o.merge = {merge->isChecked(), mergeName->text(), keepParts->isChecked()};
    return o;
}

}  // namespace quorv
