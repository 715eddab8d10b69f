// The window's search and "开始输出" with open passwords in the settings, against a real
// LibreOffice: protected files are found and converted with the right one listed, fail as
// protected without it, and no row ever shows a password.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest/QTest>

#include "core/defaults.h"
#include "core/globals.h"
#include "core/passwords.h"
#include "engines/office/officeinstance.h"
#include "fakes/protected_files.h"
#include "fakes/test_files.h"
#include "gtest/gtest.h"
#include "search_window.h"

namespace quorv {
namespace {

const QString kFiles = QStringLiteral(PROTECTED_FILES_DIR);
const QStringList kRight{"nope", testing::kWordPassword, testing::kBookPassword};

// "name:result:reason" of every row, and whether any cell of a row shows a password.
QStringList rowsOf(testing::SearchWindowBase& s, bool* showsPassword) {
    QStringList rows;
    for (int r = 1; r <= s.w.list().rowCount(); ++r) {
        rows << s.w.list().cellText(r, "filey") + ":" + s.w.list().cellText(r, "jg") + ":" +
                    s.w.list().cellText(r, "yy");
        for (int c = 0; c < s.w.list().columnCount(); ++c) {
            const QString cell = s.w.list().index(r - 1, c).data().toString();
            for (const QString& p : kRight) *showsPassword |= cell.contains(p);
        }
    }
    return rows;
}

TEST(PasswordsInTheWindow, SearchAndBatchOpenProtectedFilesWithTheListedPasswords) {
    testing::SearchWindowBase s;
    const QStringList names{"locked-std.docx", "locked-cryptoapi.doc", "locked.xls"};
    for (const QString& n : names) ASSERT_TRUE(QFile::copy(kFiles + "/" + n, s.path(n)));
    ASSERT_EQ(writeOpenPasswords(globals().profile, kRight), 1);
    writeSetting(globals().profile, Key::Sfjx, "y");
    s.add(names);

    s.search(QStringLiteral("qzx17"));
    EXPECT_EQ(s.marks(), (QStringList{"locked-std.docx +找到", "locked-cryptoapi.doc +找到",
                                      "locked.xls +找到"}));
    EXPECT_EQ(s.texts(), QStringList{"搜索结束,共找到3个"});

    QTemporaryDir out;
    s.desktop.messages.clear();
    s.w.sle_2->setText(out.path());
    s.w.setOutputMode(OutputMode::Pdf);
    QTest::mouseClick(s.w.cb_3, Qt::LeftButton);
    bool shown = false;
    EXPECT_EQ(
        rowsOf(s, &shown),
        (QStringList{"locked-std.docx:成功:", "locked-cryptoapi.doc:成功:", "locked.xls:成功:"}));
    EXPECT_TRUE(pdfText(out.filePath("locked-std.pdf")).contains("QZX17"));
    EXPECT_TRUE(pdfText(out.filePath("locked.pdf")).contains("qzx17", Qt::CaseInsensitive));
    EXPECT_TRUE(pdfText(out.filePath("locked-cryptoapi.pdf")).contains(QStringLiteral("密码保护")));

    // Only wrong ones listed: the same rows fail as protected, and the search finds none.
    ASSERT_EQ(writeOpenPasswords(globals().profile, {"nope"}), 1);
    QTemporaryDir again;
    s.w.sle_2->setText(again.path());
    QTest::mouseClick(s.w.cb_3, Qt::LeftButton);
    EXPECT_EQ(rowsOf(s, &shown), (QStringList{"locked-std.docx:失败:文件有密码保护",
                                              "locked-cryptoapi.doc:失败:文件有密码保护",
                                              "locked.xls:失败:文件有密码保护"}));
    s.desktop.messages.clear();
    s.search(QStringLiteral("qzx17"));
    EXPECT_EQ(s.texts(), QStringList{"搜索结束,共找到0个"});
    EXPECT_EQ(rowsOf(s, &shown),
              (QStringList{"locked-std.docx::文件有密码保护",
                           "locked-cryptoapi.doc::文件有密码保护", "locked.xls::文件有密码保护"}));
    EXPECT_FALSE(shown) << "a row showed a password";
    EXPECT_TRUE(office::OfficeInstance::runningPids().isEmpty());
}

}  // namespace
}  // namespace quorv
