#include "core/defaults.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <algorithm>
#include <array>

namespace quorv {

namespace {

constexpr std::array<KeyInfo, 38> kKeys{{
    {Key::Swftprg, "other", "swftprg"}, {Key::Langd, "other", "langd"},
    {Key::Flashv, "other", "flashv"},   {Key::Swfpath, "other", "swfpath"},
    {Key::Log, "elog", "log"},          {Key::Mpath, "gsly", "mpath"},
    {Key::Sftype, "gsly", "sftype"},    {Key::Awordhz, "gsly", "awordhz"},
    {Key::Wsavehz, "gsly", "wsavehz"},  {Key::Wsavely, "gsly", "wsavely"},
    {Key::Sfbtm, "gsly", "sfbtm"},      {Key::Scgs, "sdef", "scgs"},
    {Key::Wjls, "sdef", "wjls"},        {Key::Wjjp, "sdef", "wjjp"},
    {Key::Fdt, "sdef", "fdt"},          {Key::Sfzxh, "sdef", "sfzxh"},
    {Key::Sfth, "sdef", "sfth"},        {Key::Pool, "sdef", "pool"},
    {Key::Sfjx, "sdef", "sfjx"},        {Key::Idle, "sdef", "idle"},
    {Key::Pdfa, "sdef", "pdfa"},        {Key::Dkmm, "sdef", "dkmm"},
    {Key::Ckwz, "sdef", "ckwz"},        {Key::Ckzd, "sdef", "ckzd"},
    {Key::Lkd, "sdef", "lkd"},          {Key::Bdlj, "sdef", "bdlj"},
    {Key::Pdfdk, "sdef", "pdfdk"},      {Key::Pdfqx, "sdef", "pdfqx"},
    {Key::Jzdy, "sdef", "jzdy"},        {Key::Jzfz, "sdef", "jzfz"},
    {Key::Jzxg, "sdef", "jzxg"},        {Key::Syzw, "sdef", "syzw"},
    {Key::Syzh, "sdef", "syzh"},        {Key::Sybtm, "sdef", "sybtm"},
    {Key::Sypp, "sdef", "sypp"},        {Key::Hbpdf, "sdef", "hbpdf"},
    {Key::Hbwj, "sdef", "hbwj"},        {Key::Blfj, "sdef", "blfj"},
}};
// keyInfo looks a key up by its number: the table must list the keys in their order.
static_assert([] {
    for (size_t i = 0; i < kKeys.size(); ++i) {
        if (static_cast<size_t>(kKeys[i].key) != i) return false;
    }
    return true;
}());

// The PDF output keys are absent in a fresh file: no protection, no watermark, no merge.
bool isPdfOutputKey(Key key) { return key >= Key::Pdfdk && key <= Key::Blfj; }

}  // namespace

const KeyInfo& keyInfo(Key key) { return kKeys[static_cast<size_t>(key)]; }

namespace {

QString besideProgram(const QString& name) {
    // Before the application object exists, the running program's file says where it is.
    const QString dir = QCoreApplication::instance()
                            ? QCoreApplication::applicationDirPath()
                            : QFileInfo(QStringLiteral("/proc/self/exe")).canonicalPath();
    return dir + QLatin1Char('/') + name;
}

}  // namespace

QString bundledPdf2swfPath() { return besideProgram(QStringLiteral("quorv-pdf2swf")); }

QString bundledPdf2ofdPath() { return besideProgram(QStringLiteral("quorv-pdf2ofd")); }

QString fileDefault(Key key) {
    switch (key) {
        case Key::Swftprg:
            return bundledPdf2swfPath();
        case Key::Langd:
            return QString();
        case Key::Flashv:
            return QStringLiteral("9");
        case Key::Swfpath:
        case Key::Log:
        case Key::Mpath:
        case Key::Wjjp:
            return QString();
        case Key::Sftype:
            return QStringLiteral("#mp3#wav");
        case Key::Awordhz:
            return QStringLiteral("#txt#aspx");
        case Key::Wsavehz:
            return QStringLiteral("htm");
        case Key::Wsavely:
            return QStringLiteral("8");
        case Key::Sfbtm:
            return QStringLiteral("n");
        case Key::Scgs:
            return QStringLiteral("4");
        case Key::Wjls:
            return QStringLiteral("0");
        case Key::Fdt:
            return QStringLiteral("2017-10-01 13:36:55");
        case Key::Sfzxh:
            return QStringLiteral("y");
        case Key::Sfth:
            return QStringLiteral("y");
        case Key::Pool:
        case Key::Idle:
        case Key::Pdfa:
        case Key::Dkmm:
        case Key::Ckwz:
        case Key::Ckzd:
        case Key::Lkd:
        case Key::Bdlj:
        case Key::Pdfdk:
        case Key::Pdfqx:
        case Key::Jzdy:
        case Key::Jzfz:
        case Key::Jzxg:
        case Key::Syzw:
        case Key::Syzh:
        case Key::Sybtm:
        case Key::Sypp:
        case Key::Hbpdf:
        case Key::Hbwj:
        case Key::Blfj:
            return QString();
        case Key::Sfjx:
            return QStringLiteral("n");
    }
    return QString();
}

QString readerDefault(Key key, Reader reader) {
    switch (key) {
        // The tool settings: every reader defaults to the file's default.
        case Key::Swftprg:
        case Key::Langd:
        case Key::Flashv:
            return fileDefault(key);
        // The main window starts with empty type lists; the settings window shows the
        // defaults of the file.
        case Key::Sftype:
        case Key::Awordhz:
            return reader == Reader::SettingsWindow ? fileDefault(key) : QString();
        // The batch driver reads the custom format with empty defaults.
        case Key::Wsavehz:
        case Key::Wsavely:
            return reader == Reader::BatchDriver ? QString() : fileDefault(key);
        case Key::Sfbtm:
            return QStringLiteral("n");
        case Key::Wjls:
            return QStringLiteral("0");
        case Key::Sfth:
            return QStringLiteral("y");
        case Key::Sfjx:
            return QStringLiteral("n");
        // Read with empty defaults wherever they are read.
        case Key::Swfpath:
        case Key::Log:
        case Key::Mpath:
        case Key::Scgs:
        case Key::Wjjp:
        case Key::Fdt:
        case Key::Sfzxh:
        case Key::Pool:
        case Key::Idle:
        case Key::Pdfa:
        case Key::Dkmm:
        case Key::Ckwz:
        case Key::Ckzd:
        case Key::Lkd:
        case Key::Bdlj:
        case Key::Pdfdk:
        case Key::Pdfqx:
        case Key::Jzdy:
        case Key::Jzfz:
        case Key::Jzxg:
        case Key::Syzw:
        case Key::Syzh:
        case Key::Sybtm:
        case Key::Sypp:
        case Key::Hbpdf:
        case Key::Hbwj:
        case Key::Blfj:
            return QString();
    }
    return QString();
}

int defaultPoolSize() {
    int n = std::clamp(QThread::idealThreadCount(), 1, 4);
    QFile meminfo(QStringLiteral("/proc/meminfo"));
    if (meminfo.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : meminfo.readAll().split('\n')) {
            if (!line.startsWith("MemAvailable:")) continue;
            const qint64 kb = line.mid(13).trimmed().split(' ').value(0).toLongLong();
            constexpr qint64 kPerInstanceKb = 500 * 1024;
            if (kb > 0) n = std::clamp<int>(static_cast<int>(kb / kPerInstanceKb), 1, n);
        }
    }
    return n;
}

int batchPoolSize(const QString& profile) {
    bool ok = false;
    const int n = readSetting(profile, Key::Pool, Reader::BatchDriver).trimmed().toInt(&ok);
    return ok && n >= 1 && n <= 16 ? n : defaultPoolSize();
}

int officeIdleMs(const QString& profile) {
    bool ok = false;
    const int s = readSetting(profile, Key::Idle, Reader::BatchDriver).trimmed().toInt(&ok);
    return (ok && s >= 0 && s <= 86400 ? s : 300) * 1000;
}

int pdfaPart(const QString& profile) {
    QString v = readSetting(profile, Key::Pdfa, Reader::BatchDriver).trimmed().toLower();
    if (v.endsWith(QLatin1Char('b'))) v.chop(1);
    bool ok = false;
    const int part = v.toInt(&ok);
    return ok && part >= 1 && part <= 3 ? part : 0;
}

bool followLocalLinks(const QString& profile) {
    return readSetting(profile, Key::Bdlj, Reader::BatchDriver).trimmed() == QLatin1String("y");
}

bool goOnPastErrors(const QString& profile) {
    return readSetting(profile, Key::Sfjx, Reader::BatchDriver) == QLatin1String("y");
}

QString readSetting(const QString& profile, Key key, Reader reader) {
    const KeyInfo& k = keyInfo(key);
    return readIniKey(profile, QLatin1String(k.section), QLatin1String(k.name),
                      readerDefault(key, reader));
}

int writeSetting(const QString& profile, Key key, const QString& value) {
    const KeyInfo& k = keyInfo(key);
    return writeIniKey(profile, QLatin1String(k.section), QLatin1String(k.name), value);
}

QStringList defaultFileLines() {
    QStringList lines;
    const char* section = nullptr;
    for (const KeyInfo& k : kKeys) {
        if (k.key == Key::Pool || k.key == Key::Sfjx || k.key == Key::Idle || k.key == Key::Pdfa ||
            k.key == Key::Dkmm || k.key == Key::Ckwz || k.key == Key::Ckzd || k.key == Key::Lkd ||
            k.key == Key::Bdlj || isPdfOutputKey(k.key)) {
            continue;
        }
        if (!section || qstrcmp(section, k.section) != 0) {
            section = k.section;
            lines.append(QLatin1Char('[') + QLatin1String(section) + QLatin1Char(']'));
        }
        lines.append(QLatin1String(k.name) + QLatin1Char('=') + fileDefault(k.key));
    }
    return lines;
}

IniRestoreResult restoreIniDefaults(const QString& profile) {
    return replaceIniFile(profile, defaultFileLines());
}

}  // namespace quorv
