#include "core/pdfoptions.h"

#include <algorithm>

#include "core/defaults.h"
#include "core/passwords.h"

namespace quorv {

namespace {

QString read(const QString& profile, Key key) {
    return readSetting(profile, key, Reader::BatchDriver);
}

int number(const QString& text, int fallback, int low, int high) {
    bool ok = false;
    const int n = text.trimmed().toInt(&ok);
    return ok ? std::clamp(n, low, high) : fallback;
}

// One password stored in the open-password list's form: a list of one.
QString storedPassword(const QString& password) {
    return password.isEmpty() ? QString() : encodeOpenPasswords({password});
}

QString passwordOf(const QString& stored) { return decodeOpenPasswords(stored).value(0); }

QString yn(bool on) { return on ? QStringLiteral("y") : QStringLiteral("n"); }

}  // namespace

PdfOptions readPdfOptions(const QString& profile) {
    PdfOptions o;
    const auto on = [&](Key key) { return read(profile, key) == QLatin1String("y"); };
    o.protection.openPassword = passwordOf(read(profile, Key::Pdfdk));
    o.protection.permissionsPassword = passwordOf(read(profile, Key::Pdfqx));
    o.protection.noPrint = on(Key::Jzdy);
    o.protection.noCopy = on(Key::Jzfz);
    o.protection.noChange = on(Key::Jzxg);
    o.watermark.text = read(profile, Key::Syzw);
    o.watermark.size = number(read(profile, Key::Syzh), PdfWatermark::kDefaultSize,
                              PdfWatermark::kMinSize, PdfWatermark::kMaxSize);
    o.watermark.opacity = number(read(profile, Key::Sybtm), PdfWatermark::kDefaultOpacity, 1, 100);
    o.watermark.tiled = read(profile, Key::Sypp) != QLatin1String("n");
    o.merge.on = on(Key::Hbpdf);
    o.merge.fileName = read(profile, Key::Hbwj);
    o.merge.keepParts = read(profile, Key::Blfj) != QLatin1String("n");
    return o;
}

int writePdfOptions(const QString& profile, const PdfOptions& o) {
    bool ok = true;
    const auto write = [&](Key key, const QString& value) {
        if (writeSetting(profile, key, value) != 1) ok = false;
    };
    write(Key::Pdfdk, storedPassword(o.protection.openPassword));
    write(Key::Pdfqx, storedPassword(o.protection.permissionsPassword));
    write(Key::Jzdy, yn(o.protection.noPrint));
    write(Key::Jzfz, yn(o.protection.noCopy));
    write(Key::Jzxg, yn(o.protection.noChange));
    write(Key::Syzw, o.watermark.text);
    write(Key::Syzh, QString::number(o.watermark.size));
    write(Key::Sybtm, QString::number(o.watermark.opacity));
    write(Key::Sypp, yn(o.watermark.tiled));
    write(Key::Hbpdf, yn(o.merge.on));
    write(Key::Hbwj, o.merge.fileName);
    write(Key::Blfj, yn(o.merge.keepParts));
    return ok ? 1 : -1;
}

QString mergedFileName(const QString& given) {
    QString name = given.trimmed();
    if (name.isEmpty()) return QStringLiteral("合并.pdf");
    if (name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\')) ||
        name == QLatin1String(".") || name == QLatin1String("..")) {
        return QString();
    }
    if (!name.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive)) name += QStringLiteral(".pdf");
    return name;
}

QString pdfOptionsRefusal(int pdfaPart, const PdfOptions& o) {
    // An archive must open for anyone, always: PDF/A forbids encryption.
    if (pdfaPart != 0 && o.protection.any()) {
        return QStringLiteral("PDF/A归档格式不能加密，请去掉密码和权限限制");
    }
    // PDF/A-1 allows no transparency, and a see-through watermark is transparency.
    if (pdfaPart == 1 && o.watermark.any() && o.watermark.opacity < 100) {
        return QStringLiteral("PDF/A-1b不能加半透明水印，请选PDF/A-2b或3b");
    }
    if (o.merge.on && mergedFileName(o.merge.fileName).isEmpty()) {
        return QStringLiteral("合并文件名无效");
    }
    return QString();
}

}  // namespace quorv
