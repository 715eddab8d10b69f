// A headless instance must not take each of its starts for the first one after an
// upgrade: the profile is marked with the installed version before LibreOffice reads it.
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

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
