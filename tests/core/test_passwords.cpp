#include <QFile>
#include <QTemporaryDir>

#include "core/defaults.h"
#include "core/ini.h"
#include "core/passwords.h"
#include "fakes/qt_print.h"
#include "gtest/gtest.h"

namespace quorv {
namespace {

TEST(OpenPasswords, StoredFormRoundTripsAndHidesEveryPassword) {
    const QList<QStringList> lists = {
        {QStringLiteral("secret")},
        {QStringLiteral("密码"), QStringLiteral("пароль"), QStringLiteral("🔑key")},
        {QStringLiteral(" lead"), QStringLiteral("trail "), QStringLiteral("in side"),
         QStringLiteral("a=b;c#d[e]")},
        {QString(200, QLatin1Char('x'))},
    };
    for (const QStringList& list : lists) {
        const QString stored = encodeOpenPasswords(list);
        EXPECT_TRUE(stored.startsWith("q1:")) << stored.toStdString();
        // A settings value: one line of printable ASCII, nothing the INI module trims.
        for (const QChar c : stored)
            EXPECT_TRUE(c.unicode() > 32 && c.unicode() < 127) << stored.toStdString();
        for (const QString& p : list) {
            EXPECT_FALSE(stored.contains(p)) << stored.toStdString();
            EXPECT_FALSE(stored.contains(p.trimmed().left(3))) << stored.toStdString();
        }
        EXPECT_EQ(decodeOpenPasswords(stored), list);
    }
    // The same list always gives the same text, so any build reads what another wrote.
    EXPECT_EQ(encodeOpenPasswords({"abc"}), encodeOpenPasswords({"abc"}));
    EXPECT_NE(encodeOpenPasswords({"abc"}), encodeOpenPasswords({"abd"}));
}

TEST(OpenPasswords, EmptyListsAndForeignTextsGiveNoPasswords) {
    EXPECT_EQ(encodeOpenPasswords({}), "");
    EXPECT_EQ(decodeOpenPasswords(""), QStringList{});
    EXPECT_EQ(decodeOpenPasswords("secret"), QStringList{}) << "plain text is not taken";
    EXPECT_EQ(decodeOpenPasswords("q1:"), QStringList{});
    EXPECT_EQ(decodeOpenPasswords("q1:***"), QStringList{});
    EXPECT_EQ(decodeOpenPasswords("q9:" + encodeOpenPasswords({"a"}).mid(3)), QStringList{});
    // Blank lines inside the stored text are left out as they are in the field.
    EXPECT_EQ(decodeOpenPasswords(encodeOpenPasswords({"a", "", "b"})), (QStringList{"a", "b"}));
}

TEST(OpenPasswords, FieldTextGivesOnePasswordALine) {
    EXPECT_EQ(openPasswordLines(""), QStringList{});
    EXPECT_EQ(openPasswordLines("\n\n"), QStringList{});
    EXPECT_EQ(openPasswordLines("a\r\nb c\n\n d \n"), (QStringList{"a", "b c", " d "}));
}

TEST(OpenPasswords, SettingsFileKeepsThemUnderSdefDkmm) {
    QTemporaryDir dir;
    const QString profile = dir.filePath("tovk.ini");
    EXPECT_EQ(readOpenPasswords(profile), QStringList{}) << "no file, no passwords";
    ASSERT_EQ(writeOpenPasswords(profile, {"一", "two 2"}), 1);
    EXPECT_EQ(readOpenPasswords(profile), (QStringList{"一", "two 2"}));
    const QString stored = readIniKey(profile, "sdef", "dkmm", "<missing>");
    EXPECT_EQ(stored, encodeOpenPasswords({"一", "two 2"}));
    QFile f(profile);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    EXPECT_FALSE(bytes.contains("two")) << bytes.constData();
    EXPECT_FALSE(bytes.contains(QStringLiteral("一").toUtf8()));
    // Restoring the defaults leaves the key out: no passwords.
    ASSERT_EQ(restoreIniDefaults(profile), IniRestoreResult::Ok);
    EXPECT_EQ(readIniKey(profile, "sdef", "dkmm", "<missing>"), "<missing>");
    EXPECT_EQ(readOpenPasswords(profile), QStringList{});
}

}  // namespace
}  // namespace quorv
