#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utime.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "convert/folderscan.h"
#include "fakes/qt_print.h"
#include "gtest/gtest.h"

namespace quorv {
namespace {

class ScanTest : public ::testing::Test {
  protected:
    QTemporaryDir dir;
    QString root() const { return dir.path(); }
    void touch(const QString& rel) {
        const QString path = root() + "/" + rel;
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << rel.toStdString();
    }
    void setTime(const QString& rel, const QString& when) {
        const QDateTime t = QDateTime::fromString(when, "yyyy-MM-dd hh:mm:ss");
        utimbuf times{t.toSecsSinceEpoch(), t.toSecsSinceEpoch()};
        ASSERT_EQ(utime(QFile::encodeName(root() + "/" + rel).constData(), &times), 0);
    }
    std::vector<ScanRow> scan(const ScanOptions& options) {
        std::vector<ScanRow> rows;
        scanFolder(root(), options, [&](ScanRow&& r) { rows.push_back(std::move(r)); });
        return rows;
    }
    static QStringList names(const std::vector<ScanRow>& rows) {
        QStringList out;
        for (const ScanRow& r : rows) out << r.zml + r.filey;
        return out;
    }
};

TEST_F(ScanTest, RecursiveScanAppendsEachSubtreeWhereItsEntryComes) {
    touch("a.doc");
    touch("Sub/m.doc");
    touch("Sub/x/n.doc");
    touch("z.doc");
    touch("B.doc");
    ScanOptions o;
    o.recursive = true;
    const auto rows = scan(o);
    EXPECT_EQ(names(rows), (QStringList{"a.doc", "B.doc", "Sub/m.doc", "Sub/x/n.doc", "z.doc"}));
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_EQ(rows[0].ypath, root() + "/");
    EXPECT_TRUE(rows[0].hasZml);
    EXPECT_EQ(rows[0].zml, "");
    EXPECT_EQ(rows[3].ypath, root() + "/Sub/x/");
    EXPECT_EQ(rows[3].zml, "Sub/x/");
}

TEST_F(ScanTest, TopFolderScanSkipsSubfoldersAndSetsNoZml) {
    touch("a.doc");
    touch("sub/m.doc");
    const auto rows = scan(ScanOptions{});
    ASSERT_EQ(names(rows), QStringList{"a.doc"});
    EXPECT_FALSE(rows[0].hasZml);
    EXPECT_EQ(rows[0].ypath, root() + "/");
    EXPECT_EQ(rows[0].ftime, getft(root() + "/a.doc"));
}

TEST_F(ScanTest, HiddenEntriesOnlyWhenAsked) {
    touch(".secret.doc");
    touch(".hid/inner.doc");
    touch("shown.doc");
    ScanOptions o;
    o.recursive = true;
    EXPECT_EQ(names(scan(o)), QStringList{"shown.doc"});
    o.includeHidden = true;
    EXPECT_EQ(names(scan(o)), (QStringList{".hid/inner.doc", ".secret.doc", "shown.doc"}));
}

TEST_F(ScanTest, TypeFilterFindsTheExtensionAnywhereInTheList) {
    for (const char* n : {"report.doc", "REPORT.DOCX", "x.c", "notes.txt", "dot.", "plain"}) {
        touch(n);
    }
    ScanOptions o;
    o.szf = "1";
    o.ftype = ftype9("1", "", "");
    EXPECT_EQ(names(scan(o)), (QStringList{"report.doc", "REPORT.DOCX", "x.c"}));
    o.ftype = ftype9("1", "#txt#aspx", "");
    EXPECT_TRUE(names(scan(o)).contains("notes.txt"));
    o.szf = "5";
    o.ftype = ftype9("5", "", "");
    EXPECT_TRUE(scan(o).empty()) << "an empty custom list matches nothing";
}

TEST_F(ScanTest, TypeListsOfEachChoice) {
    EXPECT_EQ(ftype9("2", "", ""), "xls#xlsx#xlsm#xltx#xltm#xlsb#xlam");
    EXPECT_EQ(ftype9("4", "", ""), "rar#zip#arj#tar#cab#iso#7z");
    EXPECT_TRUE(ftype9("3", "", "").startsWith("bmp#dib#dib#rle"));
    EXPECT_EQ(ftype9("5", "", "#mp3#wav"), "#mp3#wav");
    EXPECT_EQ(ftype9("7", "#a", "#b"), "ppt#pptx#pptm#pps#ppsx#pot#potx#dps#dpt#odp");
    EXPECT_TRUE(ftype9("8", "#txt", "#b").endsWith("#txt"));
    EXPECT_EQ(ftype9("6", "#a", "#b"), "");
    EXPECT_EQ(ftype9("选", "#a", "#b"), "");
}

TEST_F(ScanTest, AllOfficeDocumentsTakesEveryKindAndWpsButNoOtherFiles) {
    ScanOptions o;
    o.szf = "8";
    o.ftype = ftype9("8", "", "");
    for (const char* name :
         {"a.doc", "a.DOCX", "a.rtf", "a.odt", "a.wps", "a.wpt", "a.xls", "a.xlsx", "a.et", "a.ett",
          "a.ods", "a.ppt", "a.pptx", "a.pps", "a.dps", "a.dpt", "a.odp"}) {
        EXPECT_TRUE(passesFilter(o, name, "")) << name;
    }
    for (const char* name : {"a.pdf", "a.txt", "a.png", "a.zip", "a.mp3", "a.html"}) {
        EXPECT_FALSE(passesFilter(o, name, "")) << name;
    }
    o.szf = "7";
    o.ftype = ftype9("7", "", "");
    for (const char* name : {"a.ppt", "a.pptx", "a.pptm", "a.pps", "a.ppsx", "a.pot", "a.potx",
                             "a.dps", "a.dpt", "a.odp"}) {
        EXPECT_TRUE(passesFilter(o, name, "")) << name;
    }
    for (const char* name : {"a.doc", "a.xls", "a.odt", "a.wps", "a.pdf"}) {
        EXPECT_FALSE(passesFilter(o, name, "")) << name;
    }
}

TEST_F(ScanTest, DateChoiceTakesOnlyStrictlyLaterFiles) {
    touch("same.doc");
    touch("later.doc");
    setTime("same.doc", "2017-10-01 13:36:55");
    setTime("later.doc", "2017-10-01 13:36:56");
    ScanOptions o;
    o.szf = "6";
    o.since = "2017-10-01 13:36:55";
    const auto rows = scan(o);
    ASSERT_EQ(names(rows), QStringList{"later.doc"});
    EXPECT_EQ(rows[0].ftime, "2017-10-01 13:36:56");
}

TEST_F(ScanTest, NamesEndingInBracketAreFilesAndFolderLinksAreNotFollowed) {
    touch("x]");
    touch("real/r.doc");
    ASSERT_TRUE(QFile::link(root(), root() + "/real/loop"));
    ASSERT_TRUE(QFile::link(root() + "/real/r.doc", root() + "/link.doc"));
    ScanOptions o;
    o.recursive = true;
    EXPECT_EQ(names(scan(o)), (QStringList{"link.doc", "real/r.doc", "x]"}));
}

TEST_F(ScanTest, UnreadableFolderAddsNothingAndTheScanGoesOn) {
    touch("a/one.doc");
    touch("b/locked.doc");
    touch("c/three.doc");
    ASSERT_EQ(chmod(QFile::encodeName(root() + "/b").constData(), 0), 0);
    ASSERT_EQ(chmod(QFile::encodeName(root()).constData(), 0755), 0);
    // Root reads everything, so the scan runs in a child without privileges.
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        close(fds[0]);
        if (geteuid() == 0 && setuid(65534) != 0) _exit(3);
        ScanOptions o;
        o.recursive = true;
        QByteArray out;
        scanFolder(root(), o, [&](ScanRow&& r) { out += (r.zml + r.filey).toUtf8() + "\n"; });
        if (write(fds[1], out.constData(), out.size()) != out.size()) _exit(4);
        _exit(0);
    }
    close(fds[1]);
    QByteArray got;
    char buf[256];
    for (ssize_t n; (n = read(fds[0], buf, sizeof buf)) > 0;) got.append(buf, n);
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    chmod(QFile::encodeName(root() + "/b").constData(), 0755);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(got, "a/one.doc\nc/three.doc\n");
}

TEST_F(ScanTest, GetftIsLocalTimeToTheSecondAndEmptyForMissingFiles) {
    touch("t.doc");
    setTime("t.doc", "2020-02-29 23:59:58");
    EXPECT_EQ(getft(root() + "/t.doc"), "2020-02-29 23:59:58");
    EXPECT_EQ(getft(root() + "/missing.doc"), "");
    ScanOptions o;
    o.szf = "6";
    o.since = "";
    EXPECT_FALSE(passesFilter(o, "missing.doc", "")) << "an unknown time is never later";
}

}  // namespace
}  // namespace quorv
