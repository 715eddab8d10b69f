#include "gui/mainwin/frnoptions.h"

#include "core/defaults.h"
#include "core/globals.h"

namespace quorv {

const QStringList& fileTypeItems() {
    static const QStringList items{
        QStringLiteral("选择文件类型(或日期):"),
        QStringLiteral("1.word文档"),
        QStringLiteral("2.excel文档"),
        QStringLiteral("3.图像文件"),
        QStringLiteral("4.压缩文件"),
        QStringLiteral("5.自定义"),
        QStringLiteral("6.修改日期起:"),
        QStringLiteral("7.演示文稿"),
        QStringLiteral("8.全部办公文档"),
    };
    return items;
}

OutputMode outputModeFromScgs(const QString& scgs) {
    if (scgs == QLatin1String("1")) return OutputMode::Pdf;
    if (scgs == QLatin1String("2")) return OutputMode::Xps;
    if (scgs == QLatin1String("3")) return OutputMode::Custom;
    if (scgs == QLatin1String("4")) return OutputMode::Swf;
    if (scgs == QLatin1String("6")) return OutputMode::Ofd;
    return OutputMode::Original;
}

QString scgsOf(OutputMode mode) {
    if (mode == OutputMode::None) return QString();
    return QString::number(static_cast<int>(mode));
}

int fileTypeItemFromWjls(const QString& wjls) {
    static const QStringList first{QStringLiteral("0"), QStringLiteral("1"), QStringLiteral("2"),
                                   QStringLiteral("3"), QStringLiteral("4"), QStringLiteral("5")};
    const qsizetype i = first.indexOf(wjls);
    if (i >= 0) return static_cast<int>(i) + 1;
    // The two choices after the date keep their places after it.
    if (wjls == QLatin1String("7")) return 8;
    if (wjls == QLatin1String("8")) return 9;
    return 7;
}

QString wjlsFromItemText(const QString& itemText) {
    if (!itemText.isEmpty() && itemText.at(0) >= QLatin1Char('0') &&
        itemText.at(0) <= QLatin1Char('9')) {
        return itemText.left(1);
    }
    return QStringLiteral("0");
}

FrnOptions readFrnOptions(const QString& profile) {
    auto read = [&](Key k) { return readSetting(profile, k, Reader::MainWindow); };
    GlobalSettings& g = globals();
    FrnOptions o;
    g.sfbtm = read(Key::Sfbtm);
    o.outputMode = outputModeFromScgs(read(Key::Scgs));
    const QString wjls = read(Key::Wjls);
    o.fileTypeItem = fileTypeItemFromWjls(wjls);
    o.em1Visible = wjls == QLatin1String("6");
    o.ls_path1 = read(Key::Wjjp);
    o.mpath = read(Key::Mpath);
    g.sftype = read(Key::Sftype);
    g.awordhz = read(Key::Awordhz);
    o.fdt = read(Key::Fdt);
    g.sfth = read(Key::Sfth);
    o.minimize = read(Key::Sfzxh) == QLatin1String("y");
    return o;
}

void writeFrnCloseOptions(const QString& profile, OutputMode mode, const QString& ddlbText,
                          const QString& em1Text) {
    if (mode != OutputMode::None) writeSetting(profile, Key::Scgs, scgsOf(mode));
    writeSetting(profile, Key::Wjls, wjlsFromItemText(ddlbText));
    writeSetting(profile, Key::Fdt, em1Text);
}

}  // namespace quorv
