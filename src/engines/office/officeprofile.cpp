#include "engines/office/officeprofile.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSaveFile>

namespace quorv::office {

namespace {

constexpr char kMainConfig[] = "/usr/lib/libreoffice/share/registry/main.xcd";

// The installed version as LibreOffice compares it ("7.4"), read from its own
// configuration; empty when not found.
QString installedVersion() {
    static const QString version = [] {
        QFile f(QString::fromLatin1(kMainConfig));
        if (!f.open(QIODevice::ReadOnly)) return QString();
        static const QRegularExpression re(
            QStringLiteral(R"(<prop oor:name="ooSetupVersion">\s*<value>(\d+\.\d+)</value>)"));
        return re.match(QString::fromUtf8(f.readAll())).captured(1);
    }();
    return version;
}

}  // namespace

bool markProfileCurrent(const QString& profile) {
    const QString version = installedVersion();
    if (version.isEmpty()) return false;
    const QString user = profile + QStringLiteral("/user");
    const QString path = user + QStringLiteral("/registrymodifications.xcu");
    const QByteArray item =
        "<item oor:path=\"/org.openoffice.Setup/Product\"><prop oor:name=\"ooSetupLastVersion\" "
        "oor:op=\"fuse\"><value>" +
        version.toLatin1() + "</value></prop></item>\n";
    QByteArray xml;
    QFile in(path);
    if (in.open(QIODevice::ReadOnly)) {
        xml = in.readAll();
        in.close();
        if (xml.contains("\"ooSetupLastVersion\"")) return true;
        const qsizetype end = xml.lastIndexOf("</oor:items>");
        // A file LibreOffice cannot have written is left for it to deal with.
        if (end < 0) return false;
        xml.insert(end, item);
    } else {
        // A new profile: LibreOffice fills in the rest at its first start.
        xml =
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<oor:items xmlns:oor=\"http://openoffice.org/2001/registry\" "
            "xmlns:xs=\"http://www.w3.org/2001/XMLSchema\" "
            "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\">\n" +
            item + "</oor:items>\n";
    }
    if (!QDir().mkpath(user)) return false;
    QSaveFile out(path);
    return out.open(QIODevice::WriteOnly) && out.write(xml) == xml.size() && out.commit();
}

}  // namespace quorv::office
