#include "gui/settings/wconfig.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>

#include "core/defaults.h"
#include "core/globals.h"
#include "core/passwords.h"
#include "core/pdfoptions.h"
#include "core/quorvapp.h"
#include "engines/desktop/appstyle.h"

namespace quorv {

namespace {

// Layout units to pixels: the window was designed in units of 1/5600 of 1280 pixels
// across and 1/3072 of 768 pixels down.
QRect unitsToPixels(int x, int y, int w, int h) {
    auto px = [](int v) { return v * 1280 / 5600; };
    auto py = [](int v) { return v * 768 / 3072; };
    return QRect(px(x), py(y), px(w), py(h));
}

template <typename W>
W* place(W* w, const char* name, int x, int y, int width, int height, const QFont& font) {
    w->setObjectName(QLatin1String(name));
    w->setGeometry(unitsToPixels(x, y, width, height));
    w->setFont(font);
    return w;
}

QLabel* label(QWidget* parent, const char* name, const char* text, int x, int y, int w, int h) {
    auto* l = new QLabel(QString::fromUtf8(text), parent);
    l->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    return place(l, name, x, y, w, h, uiFont(11));
}

QLineEdit* edit(QWidget* parent, const char* name, int x, int y, int w, int h) {
    return place(new QLineEdit(parent), name, x, y, w, h, uiFont(12));
}

QPushButton* button(QWidget* parent, const char* name, const char* text, int x, int y, int w, int h,
                    bool bold = false) {
    return place(new QPushButton(QString::fromUtf8(text), parent), name, x, y, w, h,
                 uiFont(11, bold));
}

// A drop-down list's height in the table is its opened height; shown closed, it is as
// tall as the edits beside it.
constexpr int kClosedListHeight = 128;

}  // namespace

wconfig::wconfig(Desktop& desktop, QWidget* parent) : QDialog(parent), desktop_(desktop) {
    setObjectName(QStringLiteral("wconfig"));
    setWindowTitle(QStringLiteral("软件设置"));
    setWindowIcon(appIcon());
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setModal(true);
    // The PDF output group stands to the right of the original controls, so that the window
    // stays low enough for a 768-pixel screen.
    setFixedSize(unitsToPixels(0, 0, 4533, 2264).size());
    QPalette pal = palette();
    pal.setColor(QPalette::Window, pal.color(QPalette::Button));
    setPalette(pal);
    setAutoFillBackground(true);

    st_1 = label(this, "st_1", "选择pdf2swf.exe文件", 137, 88, 686, 72);
    sle_1 = edit(this, "sle_1", 914, 60, 846, 128);
    cb_3 = button(this, "cb_3", "浏览...", 1829, 64, 457, 128);
    st_2 = label(this, "st_2", "xpdf语言包所在目录", 137, 268, 741, 116);
    sle_2 = edit(this, "sle_2", 914, 252, 846, 128);
    cb_4 = button(this, "cb_4", "浏览...", 1829, 244, 457, 128);
    st_3 = label(this, "st_3", "生成flash的版本", 137, 456, 741, 116);
    em_1 = place(new QSpinBox(this), "em_1", 914, 436, 201, 128, uiFont(12));
    em_1->setRange(1, 99);  // two digits, at least 1
    em_1->setValue(9);
    st_7 = label(this, "st_7", "主窗口是否半透明", 1230, 440, 649, 116);
    ddlb_1 = place(new QComboBox(this), "ddlb_1", 1847, 428, 357, kClosedListHeight, uiFont(11));
    ddlb_1->addItems({QStringLiteral("1.是"), QStringLiteral("2.否")});
    ddlb_1->setCurrentIndex(-1);
    st_4 = label(this, "st_4", "生成flash保存目录", 137, 624, 741, 116);
    sle_3 = edit(this, "sle_3", 914, 616, 846, 128);
    cb_2 = button(this, "cb_2", "浏览...", 1829, 612, 457, 128);
    st_6 = label(this, "st_6", "自定义文件后缀", 137, 836, 663, 116);
    sle_5 = edit(this, "sle_5", 914, 824, 846, 128);
    st_5 = label(this, "st_5", "word可打开文件后缀", 137, 1028, 672, 116);
    sle_4 = edit(this, "sle_4", 914, 1012, 846, 128);
    cb_6 = button(this, "cb_6", "保存设置", 1829, 1096, 457, 120, true);
    st_8 = label(this, "st_8", "输出格式自定义文件", 137, 1220, 672, 116);
    ddlb_2 =
        place(new QComboBox(this), "ddlb_2", 914, 1208, 549, kClosedListHeight, uiFont(11, true));
    ddlb_2->addItems(
        {QStringLiteral("1.网页"), QStringLiteral("2.筛选过的网页"), QStringLiteral("3.纯文本")});
    ddlb_2->setCurrentIndex(-1);
    cb_1 = button(this, "cb_1", "恢复默认ini", 1829, 1256, 457, 128, true);
    cbx_1 = place(new QCheckBox(QStringLiteral("替换同名文件"), this), "cbx_1", 137, 1348, 681, 92,
                  uiFont(11));
    cbx_2 = place(new QCheckBox(QStringLiteral("出错时继续转换下一个文件"), this), "cbx_2", 914,
                  1348, 900, 92, uiFont(11));
    cbx_3 = place(new QCheckBox(QStringLiteral("显示链接的本机图片"), this), "cbx_3", 137, 1484,
                  741, 92, uiFont(11));
    cbx_3->setToolTip(QStringLiteral("文档链接的本机文件照常显示；网络链接始终不打开"));
    st_9 = label(this, "st_9", "同时转换文件数", 914, 1484, 549, 116);
    em_2 = place(new QSpinBox(this), "em_2", 1463, 1464, 201, 128, uiFont(12));
    em_2->setRange(1, 16);
    st_10 = label(this, "st_10", "PDF/A 归档格式", 137, 1640, 741, 116);
    ddlb_3 = place(new QComboBox(this), "ddlb_3", 914, 1628, 549, kClosedListHeight, uiFont(11));
    // The index is the part written to the file.
    ddlb_3->addItems({QStringLiteral("无"), QStringLiteral("PDF/A-1b"), QStringLiteral("PDF/A-2b"),
                      QStringLiteral("PDF/A-3b")});
    st_11 = label(this, "st_11", "打开密码", 137, 1812, 549, 116);
    mle_1 = place(new QPlainTextEdit(this), "mle_1", 914, 1800, 846, 384, uiFont(12));
    mle_1->setToolTip(QStringLiteral("每行一个密码"));

    pdfGroup = new PdfOutputGroup(this);
    pdfGroup->setGeometry(unitsToPixels(2400, 40, 2050, 2144));

    auto handler = [this](const char* event, void (wconfig::*fn)()) {
        return [this, event, fn] {
            runHandler(objectName(), QLatin1String(event), [this, fn] { (this->*fn)(); });
        };
    };
    connect(cb_6, &QPushButton::clicked, this, handler("cb_6.clicked", &wconfig::cb_6_clicked));
    connect(cb_1, &QPushButton::clicked, this, handler("cb_1.clicked", &wconfig::cb_1_clicked));
    connect(cb_3, &QPushButton::clicked, this, handler("cb_3.clicked", &wconfig::cb_3_clicked));
    connect(cb_4, &QPushButton::clicked, this, handler("cb_4.clicked", &wconfig::cb_4_clicked));
    connect(cb_2, &QPushButton::clicked, this, handler("cb_2.clicked", &wconfig::cb_2_clicked));

    xianshi();
}

int wconfig::xianshi() {
    GlobalSettings& g = globals();
    g.profile = profilePathFor(g.ap_path);
    auto read = [&](Key key) { return readSetting(g.profile, key, Reader::SettingsWindow); };
    g.swftprg = read(Key::Swftprg);
    g.langd = read(Key::Langd);
    g.flashv = read(Key::Flashv);
    g.swfpath = read(Key::Swfpath);
    g.sftype = read(Key::Sftype);
    g.awordhz = read(Key::Awordhz);
    g.wsavehz = read(Key::Wsavehz);
    g.wsavely = read(Key::Wsavely);
    g.sfbtm = read(Key::Sfbtm);
    g.sfth = read(Key::Sfth);

    shownPool_ = batchPoolSize(g.profile);
    em_2->setValue(shownPool_);
    sle_1->setText(g.swftprg);
    sle_2->setText(g.langd);
    // The two-digit field cannot show anything but a number; it then keeps its value.
    bool numeric = false;
    const int version = g.flashv.toInt(&numeric);
    if (numeric) em_1->setValue(version);
    sle_3->setText(g.swfpath);
    sle_5->setText(g.sftype);
    sle_4->setText(g.awordhz);
    ddlb_1->setCurrentIndex(g.sfbtm == QLatin1String("n") ? 1 : 0);
    if (g.wsavely == QLatin1String("8")) {
        ddlb_2->setCurrentIndex(0);
    } else if (g.wsavely == QLatin1String("10")) {
        ddlb_2->setCurrentIndex(1);
    } else if (g.wsavely == QLatin1String("2")) {
        ddlb_2->setCurrentIndex(2);
    }
    cbx_1->setChecked(g.sfth == QLatin1String("y"));
    cbx_2->setChecked(read(Key::Sfjx) == QLatin1String("y"));
    ddlb_3->setCurrentIndex(pdfaPart(g.profile));
    cbx_3->setChecked(followLocalLinks(g.profile));
    mle_1->setPlainText(readOpenPasswords(g.profile).join(QLatin1Char('\n')));
    pdfGroup->showOptions(readPdfOptions(g.profile));
    return 1;
}

void wconfig::cb_6_clicked() {
    GlobalSettings& g = globals();
    // A contradictory choice is not saved at all, so that no run ever meets it.
    const QString refusal = pdfOptionsRefusal(ddlb_3->currentIndex(), pdfGroup->options());
    if (!refusal.isEmpty()) {
        desktop_.messageBox(QStringLiteral("提示"), refusal);
        return;
    }
    QDir().mkpath(g.ap_path + QStringLiteral("/pdf"));

    const QString format = ddlb_2->currentText().left(1);
    if (format == QLatin1String("1")) {
        g.wsavehz = QStringLiteral("htm");
        g.wsavely = QStringLiteral("8");
    } else if (format == QLatin1String("2")) {
        g.wsavehz = QStringLiteral("htm");
        g.wsavely = QStringLiteral("10");
    } else if (format == QLatin1String("3")) {
        g.wsavehz = QStringLiteral("txt");
        g.wsavely = QStringLiteral("2");
    }

    if (!QFileInfo::exists(g.profile)) {
        const Desktop::FileOpenResult picked =
            desktop_.fileOpenDialog(QStringLiteral("打开文件"), QStringLiteral("初始化文件,*.ini"),
                                    QStringLiteral("*.ini"), g.ap_path, false);
        if (picked.result != 1 || picked.names.isEmpty()) {
            desktop_.messageBox(QStringLiteral("提示"), QStringLiteral("无法打开初始化文件"));
            return;
        }
        g.profile = picked.folder + picked.names.first();
    }

    // Every key is written even after a failure, and any failure is reported.
    bool saved = true;
    const auto write = [&](Key key, const QString& value) {
        if (writeSetting(g.profile, key, value) != 1) saved = false;
    };
    write(Key::Wsavehz, g.wsavehz);
    write(Key::Wsavely, g.wsavely);

    g.swftprg = sle_1->text();
    g.langd = sle_2->text();
    g.flashv = em_1->text();
    g.swfpath = sle_3->text();
    write(Key::Swftprg, g.swftprg);
    write(Key::Langd, g.langd);
    write(Key::Flashv, g.flashv);
    write(Key::Swfpath, g.swfpath);

    g.sftype = sle_5->text();
    g.awordhz = sle_4->text();
    write(Key::Sftype, g.sftype);
    write(Key::Awordhz, g.awordhz);

    // Translucency takes effect at the next start; the global stays as loaded.
    write(Key::Sfbtm, ddlb_1->currentText().startsWith(QLatin1Char('1')) ? QStringLiteral("y")
                                                                         : QStringLiteral("n"));

    g.sfth = cbx_1->isChecked() ? QStringLiteral("y") : QStringLiteral("n");
    write(Key::Sfth, g.sfth);
    write(Key::Sfjx, cbx_2->isChecked() ? QStringLiteral("y") : QStringLiteral("n"));
    // Left out of the file until changed here, so that it follows the machine.
    if (em_2->value() != shownPool_) write(Key::Pool, QString::number(em_2->value()));
    // Plain PDF is the key's absence: a file that never chose keeps no line for it.
    if (ddlb_3->currentIndex() != pdfaPart(g.profile)) {
        write(Key::Pdfa, QString::number(ddlb_3->currentIndex()));
    }
    write(Key::Dkmm, encodeOpenPasswords(openPasswordLines(mle_1->toPlainText())));
    // Off is the key's absence, as for pdfa.
    if (cbx_3->isChecked() != followLocalLinks(g.profile)) {
        write(Key::Bdlj, cbx_3->isChecked() ? QStringLiteral("y") : QStringLiteral("n"));
    }
    if (writePdfOptions(g.profile, pdfGroup->options()) != 1) saved = false;

    if (saved) {
        desktop_.messageBox(QStringLiteral("提示"), QStringLiteral("保存成功"));
        accept();
    } else {
        desktop_.messageBox(QStringLiteral("提示"), QStringLiteral("保存失败"));
    }
}

void wconfig::cb_1_clicked() {
    switch (restoreIniDefaults(globals().profile)) {
        case IniRestoreResult::OpenFailed:
            desktop_.messageBox(QStringLiteral("提示"), QStringLiteral("文件不能打开"));
            return;
        case IniRestoreResult::WriteFailed:
            desktop_.messageBox(QStringLiteral("提示"), QStringLiteral("文件写入错误"));
            return;
        case IniRestoreResult::Ok:
            break;
    }
    desktop_.messageBox(QStringLiteral("提示"), QStringLiteral("ini文件恢复成功"));
    xianshi();
}

void wconfig::cb_3_clicked() {
    // Tools on this platform carry no extension, so every file can be chosen as well.
    const Desktop::FileOpenResult picked = desktop_.fileOpenDialog(
        QStringLiteral("选择文件"), QStringLiteral("exe文件(*.exe),*.exe,所有文件(*),*"),
        QStringLiteral("exe"), QFileInfo(sle_1->text()).absolutePath(), false);
    if (picked.result <= 0) {
        desktop_.messageBox(QStringLiteral("信息提示"), QStringLiteral("没有指定导入文件!"));
        return;
    }
    const QString path = picked.names.isEmpty() ? QString() : picked.folder + picked.names.first();
    if (!path.isEmpty()) sle_1->setText(path);
}

void wconfig::chooseFolder(const QString& title, QLineEdit* target) {
    QString folder;
    if (!desktop_.folderDialog(title, target->text(), &folder)) {
        desktop_.messageBox(QStringLiteral("提示"), QStringLiteral("文件夹选择被取消"));
        return;
    }
    target->setText(folder);
}

void wconfig::cb_4_clicked() { chooseFolder(QStringLiteral("选择xpdf语言包所在目录"), sle_2); }

void wconfig::cb_2_clicked() { chooseFolder(QStringLiteral("选择生成flash保存目录"), sle_3); }

void openSettingsWindow(Desktop& desktop, QWidget* parent) {
    wconfig window(desktop, parent);
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = window.frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        window.move(frame.topLeft());
    }
    window.exec();
}

}  // namespace quorv
