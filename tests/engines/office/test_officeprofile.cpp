// A headless instance must not take each of its starts for the first one after an
// upgrade: the profile is marked with the installed version before LibreOffice reads it.
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "engines/office/officefonts.h"
#include "engines/office/officeinstance.h"
#include "engines/office/officeprofile.h"
#include "gtest/gtest.h"

namespace quorv::office {
namespace {

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void write(const QString& path, const QByteArray& data) {
    QDir().mkpath(path.section('/', 0, -2));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(data);
}

TEST(OfficeProfile, MarkedOnceKeepingWhatTheProfileHolds) {
    QTemporaryDir dir;
    const QString xcu = dir.filePath("fresh/user/registrymodifications.xcu");
    ASSERT_TRUE(markProfileCurrent(dir.filePath("fresh")));
    const QByteArray made = readAll(xcu);
    EXPECT_EQ(made.count("ooSetupLastVersion"), 1);
    EXPECT_TRUE(QRegularExpression("ooSetupLastVersion.*<value>\\d+\\.\\d+</value>")
                    .match(QString::fromUtf8(made))
                    .hasMatch())
        << made.constData();
    ASSERT_TRUE(markProfileCurrent(dir.filePath("fresh")));
    EXPECT_EQ(readAll(xcu), made) << "a marked profile is left alone";

    // A profile LibreOffice wrote keeps its items; the mark goes inside the list.
    const QString used = dir.filePath("used/user/registrymodifications.xcu");
    const QByteArray item =
        "<item oor:path=\"/org.openoffice.Office.Common/Misc\"><prop oor:name=\"FirstRun\" "
        "oor:op=\"fuse\"><value>false</value></prop></item>\n";
    write(used,
          "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<oor:items>\n" + item + "</oor:items>\n");
    ASSERT_TRUE(markProfileCurrent(dir.filePath("used")));
    const QByteArray after = readAll(used);
    EXPECT_TRUE(after.contains(item));
    EXPECT_LT(after.indexOf("ooSetupLastVersion"), after.indexOf("</oor:items>"));
    EXPECT_TRUE(after.endsWith("</oor:items>\n"));

    // A file that is no list of items is not touched.
    const QString odd = dir.filePath("odd/user/registrymodifications.xcu");
    write(odd, "garbage");
    EXPECT_FALSE(markProfileCurrent(dir.filePath("odd")));
    EXPECT_EQ(readAll(odd), "garbage");
}

// The typeface table goes into the profile before each start and follows the program's
// table: entries of an older one go, LibreOffice's own items stay.
TEST(OfficeProfile, PreparedWithTheTypefacesOfTheProgramsTable) {
    QTemporaryDir dir;
    const QString xcu = dir.filePath("p/user/registrymodifications.xcu");
    const QByteArray own =
        "<item oor:path=\"/org.openoffice.Office.Common/Misc\"><prop oor:name=\"FirstRun\" "
        "oor:op=\"fuse\"><value>false</value></prop></item>\n";
    const QByteArray stale =
        "<item oor:path=\"/org.openoffice.Office.Common/Font/Substitution/FontPairs\"><node "
        "oor:name=\"quorv0\" oor:op=\"replace\"><prop oor:name=\"ReplaceFont\" "
        "oor:op=\"fuse\"><value>宋体</value></prop><prop oor:name=\"SubstituteFont\" "
        "oor:op=\"fuse\"><value>Old Face</value></prop></node></item>\n";
    write(xcu, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<oor:items>\n" + own + stale +
                   "</oor:items>\n");
    ASSERT_TRUE(prepareProfile(dir.filePath("p")));
    const QString made = QString::fromUtf8(readAll(xcu));
    EXPECT_TRUE(made.contains(QString::fromUtf8(own)));
    EXPECT_FALSE(made.contains("Old Face"));
    EXPECT_EQ(made.count("ooSetupLastVersion"), 1);
    EXPECT_TRUE(made.contains("<prop oor:name=\"DefaultLocale_CJK\" oor:op=\"fuse\"><value>zh-CN"));
    for (const FaceReplacement& r : usableReplacements()) {
        EXPECT_TRUE(made.contains("<value>" + r.requested.toHtmlEscaped() +
                                  "</value></prop><prop oor:name=\"SubstituteFont\" "
                                  "oor:op=\"fuse\"><value>" +
                                  r.substitute + "</value>"))
            << r.requested.toStdString();
    }
    // The stand-ins this machine has: every Chinese style, and Word's Latin defaults.
    QStringList substitutes;
    for (const FaceReplacement& r : usableReplacements()) substitutes << r.substitute;
    for (const char* face : {"Noto Serif CJK SC", "Noto Sans CJK SC", "FandolFang R", "LXGW WenKai",
                             "Carlito", "Caladea"}) {
        EXPECT_TRUE(substitutes.contains(face)) << face << " is not installed";
    }
    // The FangSong face is not one fontconfig shows: the instance loads it from its folder.
    EXPECT_TRUE(QFileInfo(dir.filePath("p/user/fonts/FandolFang-Regular.otf")).isSymLink());

    // Nothing changed: the file is not written again.
    const QByteArray before = readAll(xcu);
    {
        QFile f(xcu);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        ASSERT_TRUE(f.setFileTime(QDateTime::fromSecsSinceEpoch(1000000000),
                                  QFileDevice::FileModificationTime));
    }
    ASSERT_TRUE(prepareProfile(dir.filePath("p")));
    EXPECT_EQ(readAll(xcu), before);
    EXPECT_EQ(QFileInfo(xcu).lastModified().toSecsSinceEpoch(), 1000000000);
}

TEST(OfficeProfile, ANewInstanceRunsNoGraphicsSelfTests) {
    QTemporaryDir cache;
    qputenv("XDG_CACHE_HOME", QFile::encodeName(cache.path()));
    for (int start = 1; start <= 2; ++start) {
        SCOPED_TRACE(start);
        QString error;
        std::shared_ptr<OfficeInstance> office = OfficeInstance::start(&error);
        ASSERT_TRUE(office) << error.toStdString();
        office->end();
    }
    const QString user = cache.filePath("quorvane/office/profile-0/user");
    EXPECT_TRUE(QFile::exists(user + "/registrymodifications.xcu"));
    EXPECT_FALSE(QFile::exists(user + "/GraphicsRenderTests.log"))
        << "LibreOffice ran its start-up self-tests";
    EXPECT_EQ(readAll(user + "/registrymodifications.xcu").count("ooSetupLastVersion"), 1);
    qunsetenv("XDG_CACHE_HOME");
}

}  // namespace
}  // namespace quorv::office
