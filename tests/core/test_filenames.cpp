#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "core/filenames.h"
#include "fakes/qt_print.h"
#include "gtest/gtest.h"

namespace quorv {
namespace {

TEST(Qfilehz, LastExtensionInLowerCase) {
    EXPECT_EQ(qfilehz("/in/Report.DOCX"), "docx");
    EXPECT_EQ(qfilehz("/in/a.b.doc"), "doc");
    EXPECT_EQ(qfilehz("Report"), "report");
    EXPECT_EQ(qfilehz("/Data.Old/ReadMe"), "old/readme");  // the last dot anywhere
    EXPECT_EQ(qfilehz("/in/name."), "");
    EXPECT_EQ(qfilehz("/in/报告.Doc"), "doc");
    EXPECT_EQ(qfilehz("/in/a.doc "), "doc ");  // nothing is trimmed
}

TEST(Filegszh, ReplacesOnlyTheLastExtension) {
    EXPECT_EQ(filegszh("/in/report.doc", "pdf", "/out/"), "/out/report.pdf");
    EXPECT_EQ(filegszh("/in/report.final.docx", "xps", "/out/"), "/out/report.final.xps");
    EXPECT_EQ(filegszh("report.doc", "swf", "/out/"), "/out/report.swf");
    EXPECT_EQ(filegszh("/in/报告 一.docx", "htm", "/输出/"), "/输出/报告 一.htm");
}

TEST(Filegszh, AddsNoSeparatorOfItsOwn) {
    EXPECT_EQ(filegszh("/in/report.doc", "pdf", "/out"), "/outreport.pdf");
}

TEST(Filegszh, NameWithoutDotAfterItsFolderKeepsTheWholeName) {
    EXPECT_EQ(filegszh("/in/report", "pdf", "/out/"), "/out/report.pdf");
    EXPECT_EQ(filegszh("/in.v2/report", "pdf", "/out/"), "/out/report.pdf");
    EXPECT_EQ(filegszh("report", "pdf", "/out/"), "/out/report.pdf");
}

class FzmccfTest : public ::testing::Test {
  protected:
    QTemporaryDir dir;
    QString folder() const { return dir.path() + "/"; }
    void touch(const QString& name) {
        QFile f(folder() + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
};

TEST_F(FzmccfTest, FreeNameIsKept) { EXPECT_EQ(fzmccf(folder(), "report.pdf"), "report.pdf"); }

TEST_F(FzmccfTest, CounterGoesInFrontOfTheWholeName) {
    touch("report.pdf");
    EXPECT_EQ(fzmccf(folder(), "report.pdf"), "0report.pdf");
    touch("0report.pdf");
    touch("1report.pdf");
    EXPECT_EQ(fzmccf(folder(), "report.pdf"), "2report.pdf");
}

TEST_F(FzmccfTest, FolderOrDanglingLinkOfThatNameIsNotFree) {
    ASSERT_TRUE(QDir(dir.path()).mkdir("report.pdf"));
    ASSERT_TRUE(QFile::link(folder() + "gone", folder() + "0report.pdf"));
    EXPECT_EQ(fzmccf(folder(), "report.pdf"), "1report.pdf");
}

// A link to the source is the source: writing "another" file there would destroy it.
TEST_F(FzmccfTest, SamePathSeesThroughLinksAndRelativeNames) {
    touch("a.pdf");
    ASSERT_TRUE(QFile::link(folder() + "a.pdf", folder() + "link.pdf"));
    EXPECT_TRUE(samePath(folder() + "link.pdf", folder() + "a.pdf"));
    EXPECT_TRUE(samePath(folder() + "sub/../a.pdf", folder() + "a.pdf"));
    EXPECT_FALSE(samePath(folder() + "a.pdf", folder() + "a.swf"));
    // Neither exists yet: the same absolute path is still the same file.
    const QString old = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    EXPECT_TRUE(samePath("new.swf", folder() + "new.swf"));
    QDir::setCurrent(old);
}

TEST(TrimBlanks, DropsOnlyTheGivenBlanksAtTheEnds) {
    EXPECT_EQ(trimBlanks(u"  my docs/a b.doc  "), "my docs/a b.doc");
    // Tabs and line ends are not blanks unless the caller says so.
    EXPECT_EQ(trimBlanks(u"\ta.doc\r"), "\ta.doc\r");
    EXPECT_EQ(trimBlanks(u" \t key \r", u" \t\r"), "key");
    EXPECT_EQ(trimBlanks(u"   "), "");
    EXPECT_EQ(trimBlanks(u""), "");
}

}  // namespace
}  // namespace quorv
