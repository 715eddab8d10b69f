#include "engines/office/officeprofile.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSaveFile>
#include <iterator>

#include "engines/office/officefonts.h"

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

namespace {

QByteArray prop(const char* name, const QString& value) {
    return QByteArray("<prop oor:name=\"") + name + "\" oor:op=\"fuse\"><value>" +
           value.toHtmlEscaped().toUtf8() + "</value></prop>";
}

QByteArray versionItem(const QString& version) {
    return "<item oor:path=\"/org.openoffice.Setup/Product\">" +
           prop("ooSetupLastVersion", version) + "</item>\n";
}

constexpr char kSubstitution[] = "/org.openoffice.Office.Common/Font/Substitution";
constexpr char kCjkLocale[] = "\"DefaultLocale_CJK\"";

// The replacement table, and Simplified Chinese for Asian text that names no language:
// LibreOffice's own default then depends on the locale, and a run without one is drawn
// with Japanese forms.
QByteArray typefaceItems() {
    QByteArray items = QByteArray("<item oor:path=\"") + kSubstitution + "\">" +
                       prop("Replacement", QStringLiteral("true")) + "</item>\n";
    const QList<FaceReplacement> table = usableReplacements();
    for (int i = 0; i < table.size(); ++i) {
        // "Always": a table entry only for a family that is missing here (usableReplacements
        // leaves out installed ones), and LibreOffice honours no other kind when printing.
        items += QByteArray("<item oor:path=\"") + kSubstitution +
                 "/FontPairs\"><node oor:name=\"quorv" + QByteArray::number(i) +
                 "\" oor:op=\"replace\">" + prop("Always", QStringLiteral("true")) +
                 prop("OnScreenOnly", QStringLiteral("false")) +
                 prop("ReplaceFont", table[i].requested) +
                 prop("SubstituteFont", table[i].substitute) + "</node></item>\n";
    }
    items += "<item oor:path=\"/org.openoffice.Office.Linguistic/General\">" +
             prop("DefaultLocale_CJK", QStringLiteral("zh-CN")) + "</item>\n";
    return items;
}

// Rewrites the profile's configuration: lines for which `drop` holds go, the lines of
// `add` that are not there yet go in before the end of the list. False when the file is
// no list of items LibreOffice wrote (it is left for LibreOffice to deal with) or cannot
// be written.
template <class Drop>
bool rewriteModifications(const QString& profile, Drop drop, const QByteArray& add) {
    const QString user = profile + QStringLiteral("/user");
    const QString path = user + QStringLiteral("/registrymodifications.xcu");
    QByteArray old;
    QByteArray xml;
    QFile in(path);
    if (in.open(QIODevice::ReadOnly)) {
        old = in.readAll();
        in.close();
        if (old.lastIndexOf("</oor:items>") < 0) return false;
        // LibreOffice writes one item a line. Lines already as wanted stay where they are,
        // so that a profile prepared before is not written again.
        QList<QByteArray> missing = add.split('\n');
        missing.removeAll(QByteArray());
        for (const QByteArray& line : old.split('\n')) {
            if (line.isEmpty() || (!missing.removeOne(line) && drop(line))) continue;
            xml += line + '\n';
        }
        const qsizetype end = xml.lastIndexOf("</oor:items>");
        if (end < 0) return false;
        xml.insert(end, missing.join('\n') + (missing.isEmpty() ? "" : "\n"));
    } else {
        // A new profile: LibreOffice fills in the rest at its first start.
        xml =
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<oor:items xmlns:oor=\"http://openoffice.org/2001/registry\" "
            "xmlns:xs=\"http://www.w3.org/2001/XMLSchema\" "
            "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\">\n" +
            add + "</oor:items>\n";
    }
    if (xml == old) return true;
    if (!QDir().mkpath(user)) return false;
    QSaveFile out(path);
    return out.open(QIODevice::WriteOnly) && out.write(xml) == xml.size() && out.commit();
}

// LibreOffice's own guard against what a document points at, under the sandbox: pictures
// and other resources a document only links to are not loaded (unless `localFiles`), links
// and DDE are never updated, and macros are off for good. One setting an item, so that a
// line is replaced when the choice changes.
struct LinkSetting {
    const char* path;
    const char* name;
};
const LinkSetting kLinkSettings[] = {
    {"/org.openoffice.Office.Common/Security/Scripting", "BlockUntrustedRefererLinks"},
    {"/org.openoffice.Office.Common/Security/Scripting", "DisableMacrosExecution"},
    {"/org.openoffice.Office.Writer/Content/Update", "Link"},
    {"/org.openoffice.Office.Calc/Content/Update", "Link"},
};

QByteArray linkItems(bool localFiles) {
    const QString values[] = {
        localFiles ? QStringLiteral("false") : QStringLiteral("true"), QStringLiteral("true"),
        QStringLiteral("0"),  // Writer: never
        QStringLiteral("1"),  // Calc: never
    };
    QByteArray items;
    for (size_t i = 0; i < std::size(kLinkSettings); ++i) {
        items += QByteArray("<item oor:path=\"") + kLinkSettings[i].path + "\">" +
                 prop(kLinkSettings[i].name, values[i]) + "</item>\n";
    }
    return items;
}

bool isLinkSetting(const QByteArray& line) {
    for (const LinkSetting& s : kLinkSettings) {
        if (line.contains(QByteArray("\"") + s.path + "\"") &&
            line.contains(QByteArray("\"") + s.name + "\"")) {
            return true;
        }
    }
    return false;
}

}  // namespace

bool markProfileCurrent(const QString& profile) {
    const QString version = installedVersion();
    if (version.isEmpty()) return false;
    return rewriteModifications(
        profile, [](const QByteArray& line) { return line.contains("\"ooSetupLastVersion\""); },
        versionItem(version));
}

bool prepareProfile(const QString& profile, bool followLocalLinks) {
    const QString version = installedVersion();
    const bool faces = linkPrivateFaces(profile);
    const bool written = rewriteModifications(
        profile,
        [&](const QByteArray& line) {
            return (!version.isEmpty() && line.contains("\"ooSetupLastVersion\"")) ||
                   line.contains(kSubstitution) || line.contains(kCjkLocale) || isLinkSetting(line);
        },
        (version.isEmpty() ? QByteArray() : versionItem(version)) + typefaceItems() +
            linkItems(followLocalLinks));
    return faces && written && !version.isEmpty();
}

}  // namespace quorv::office
