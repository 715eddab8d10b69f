// Hostile input against real LibreOffice, one process for every case: documents with
// names a shell would execute or split, a name that is not UTF-8, a document whose open
// event runs a macro that writes a file, quorvcli on such a name, and an output folder
// that turns read-only during a run.
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QtTest/QTest>
#include <memory>

#include "convert/folderscan.h"
#include "core/defaults.h"
#include "engines/office/office_docs.h"
#include "engines/office/officeinstance.h"
#include "fakes/qt_print.h"
#include "fakes/real_window.h"
#include "fakes/test_files.h"
#include "fakes/window_fixture.h"
#include "gtest/gtest.h"
#include "gui/mainwin/frnscan.h"
#include "hostile_names.h"
#include "programs/quorvcli/cli_run.h"
#include "programs/quorvcli/cliconvert.h"

namespace quorv {
namespace {

using office::OfficeInstance;
using testing::kHostileFolder;
using testing::markersUnder;

const QString kText = QStringLiteral("Hostile 敌意文档");
const QString kMacroText = QStringLiteral("Macro 宏文档");
const QString kShellDocx = QStringLiteral("$(touch quorv_hostile_marker) a;b `c` #1%20?.docx");
const QString kNewlineDoc = QStringLiteral("new\nline 'q\".doc");

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QString pdfText(const QString& pdf) {
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {"-enc", "UTF-8", pdf, "-"});
    p.waitForFinished(60000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

// A text document whose open event runs a Basic macro that writes `marker`.
bool writeMacroText(const QString& path, const QString& marker) {
    const QString xml =
        QStringLiteral(
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<office:document xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
            "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\" "
            "xmlns:script=\"urn:oasis:names:tc:opendocument:xmlns:script:1.0\" "
            "xmlns:ooo=\"http://openoffice.org/2004/office\" "
            "xmlns:xlink=\"http://www.w3.org/1999/xlink\" "
            "office:version=\"1.2\" "
            "office:mimetype=\"application/vnd.oasis.opendocument.text\">"
            "<office:scripts><office:script script:language=\"ooo:Basic\">"
            "<ooo:libraries><ooo:library-embedded ooo:name=\"Standard\">"
            "<ooo:module ooo:name=\"Module1\"><ooo:source-code>"
            "Sub OnOpen&#10;Dim n As Integer&#10;n = FreeFile&#10;"
            "Open \"%1\" For Output As #n&#10;Print #n, \"ran\"&#10;Close #n&#10;End Sub&#10;"
            "</ooo:source-code></ooo:module></ooo:library-embedded></ooo:libraries>"
            "</office:script><office:event-listeners>"
            "<script:event-listener script:language=\"ooo:script\" script:event-name=\"dom:load\" "
            "xlink:type=\"simple\" xlink:href=\"vnd.sun.star.script:Standard.Module1.OnOpen?"
            "language=Basic&amp;location=document\"/>"
            "</office:event-listeners></office:scripts>"
            "<office:body><office:text><text:p>%2</text:p></office:text></office:body>"
            "</office:document>\n")
            .arg(marker.toHtmlEscaped(), kMacroText.toHtmlEscaped());
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(xml.toUtf8()) > 0;
}

// The sources, made once by one instance: in a hostile folder, two hostile names, a
// macro document as .doc and as flat XML, and a copy of a .doc under a name whose bytes
// are not UTF-8.
struct Sources {
    QTemporaryDir root;
    QString folder;
    QString macroMarker;  // what the macro would write
    QByteArray rawName;
};
Sources* sources = nullptr;

class Env : public ::testing::Environment {
  public:
    void SetUp() override {
        sources = new Sources;
        Sources& s = *sources;
        s.folder = s.root.filePath(kHostileFolder);
        s.macroMarker = s.root.filePath(testing::kMarker);
        ASSERT_TRUE(QDir().mkpath(s.folder));
        QString error;
        std::shared_ptr<OfficeInstance> office = OfficeInstance::start(&error);
        ASSERT_TRUE(office) << error.toStdString();
        const auto make = [&](const QString& source, const QString& name, const char* filter) {
            office::DocumentRef d = office->load(source);
            office->store(d, s.folder + "/" + name, QString::fromLatin1(filter));
            office->close(d);
        };
        const QString plain = s.root.filePath("plain.fodt");
        ASSERT_TRUE(testing::writeFlatText(plain, {kText}));
        make(plain, kShellDocx, "MS Word 2007 XML");
        make(plain, kNewlineDoc, "MS Word 97");
        const QString macro = s.folder + "/macro.fodt";
        ASSERT_TRUE(writeMacroText(macro, s.macroMarker));
        make(macro, "macro.doc", "MS Word 97");
        office->end();
        ASSERT_FALSE(QFileInfo::exists(s.macroMarker)) << "making the documents ran no macro";

        s.rawName = QFile::encodeName(s.folder) + "/raw\xff name.doc";
        const QByteArray doc = readAll(s.folder + "/" + kNewlineDoc);
        const int fd = ::open(s.rawName.constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::write(fd, doc.constData(), size_t(doc.size())), ssize_t(doc.size()));
        ::close(fd);
    }
    void TearDown() override {
        EXPECT_TRUE(OfficeInstance::runningPids().isEmpty());
        ::unlink(sources->rawName.constData());  // a name Qt cannot remove
        delete sources;
    }
};
const auto* const kEnv = ::testing::AddGlobalTestEnvironment(new Env);

struct RealWindow : testing::RealOfficeWindow {
    RealWindow() {
        globals().awordhz = QStringLiteral("#fodt");  // the macro's flat XML goes too
        addFolder(sources->folder);
    }
    ~RealWindow() { globals().awordhz.clear(); }
};

TEST(HostileOffice, HostileNamesAndMacroDocumentConvertAndSearchWithNothingRun) {
    RealWindow b;
    QDir::setCurrent(b.dir.path());
    const QString raw = QFile::decodeName(sources->rawName.mid(sources->folder.size() + 1));
    const QStringList rows = b.run(OutputMode::Pdf);
    EXPECT_EQ(b.texts(), QStringList{"转换结束"});
    EXPECT_TRUE(rows.contains(kShellDocx + ":成功")) << rows.join('|').toStdString();
    EXPECT_TRUE(rows.contains(kNewlineDoc + ":成功")) << rows.join('|').toStdString();
    EXPECT_TRUE(rows.contains("macro.doc:成功"));
    EXPECT_TRUE(rows.contains("macro.fodt:成功"));
    EXPECT_TRUE(rows.contains(raw + ":失败")) << rows.join('|').toStdString();
    EXPECT_TRUE(pdfText(b.out.path() + "/" + kShellDocx.chopped(4) + "pdf").contains(kText));
    EXPECT_TRUE(pdfText(b.out.path() + "/new\nline 'q\".pdf").contains(kText));
    EXPECT_TRUE(pdfText(b.out.path() + "/macro.pdf").contains(kMacroText));
    EXPECT_EQ(QDir(b.out.path()).entryList(QDir::Files).size(), 3)
        << QDir(b.out.path()).entryList(QDir::Files).join('|').toStdString();

    // The content search opens every document once more.
    b.w.sle_3->setText(QStringLiteral("宏文档"));
    b.desktop.messages.clear();
    QTest::mouseClick(b.w.cb_5, Qt::LeftButton);
    EXPECT_TRUE(OfficeInstance::runningPids().isEmpty());
    EXPECT_EQ(b.texts(), QStringList{"搜索结束,共找到2个"}) << "both macro documents, no error";

    EXPECT_FALSE(QFileInfo::exists(sources->macroMarker)) << "the open event ran no macro";
    EXPECT_EQ(markersUnder({sources->root.path(), b.dir.path(), b.out.path()}), QStringList());
    struct stat st {};
    ASSERT_EQ(::stat(sources->rawName.constData(), &st), 0);
    EXPECT_EQ(qint64(st.st_size), readAll(sources->folder + "/" + kNewlineDoc).size());
}

TEST(HostileOffice, CommandLineConvertsAHostileNameToItsOwnSwf) {
    QTemporaryDir dir;
    const QString work = dir.path() + "/work";
    const QString swf = dir.path() + "/" + kHostileFolder + " swf";
    QDir().mkpath(work + "/pdf");
    QDir().mkpath(swf);
    ASSERT_EQ(writeIniKey(work + "/tovk.ini", "other", "swfpath", swf), 1);
    ASSERT_EQ(writeIniKey(work + "/tovk.ini", "other", "swftprg", PDF2SWF_PATH), 1);
    const testing::CliRun r = testing::runCli(work, {sources->folder + "/" + kShellDocx});
    EXPECT_FALSE(r.crashed);
    EXPECT_EQ(r.status, kCliConverted) << r.err.toStdString();
    const QString name = kShellDocx.chopped(4) + "swf";
    EXPECT_EQ(QDir(swf).entryList(QDir::Files), QStringList{name});
    EXPECT_TRUE(readAll(swf + "/" + name).left(3) == "FWS" ||
                readAll(swf + "/" + name).left(3) == "CWS");
    EXPECT_TRUE(QDir(work + "/pdf").entryList(QDir::Files).isEmpty());
    EXPECT_EQ(testing::officesLeftBy(r.pid), QStringList());
    EXPECT_EQ(markersUnder({dir.path(), sources->root.path()}), QStringList());
}

TEST(HostileOffice, OutputFolderTurningReadOnlyLeavesNoPartialFile) {
    RealWindow b;
    bool locked = false;
    const QString first = b.out.path() + "/" + kShellDocx.chopped(4) + "pdf";
    // One row at a time, so that no other row is being written when the folder turns.
    writeSetting(b.profile, Key::Pool, "1");
    const QByteArray before = readAll(b.profile);
    QObject::connect(&b.w.list(), &QAbstractItemModel::dataChanged, &b.w.list(), [&] {
        if (!locked && QFileInfo::exists(first)) locked = makeUnwritable(b.out.path(), true);
    });
    const QStringList rows = b.run(OutputMode::Pdf);
    makeUnwritable(b.out.path(), false);
    if (!locked) GTEST_SKIP() << "cannot make a folder unwritable here";
    ASSERT_FALSE(rows.isEmpty());
    EXPECT_EQ(rows[0], kShellDocx + ":成功");
    for (int i = 1; i < rows.size(); ++i) EXPECT_FALSE(rows[i].endsWith(":成功")) << i;
    EXPECT_EQ(QDir(b.out.path()).entryList(QDir::Files | QDir::Hidden),
              QStringList{QFileInfo(first).fileName()});
    EXPECT_TRUE(pdfText(first).contains(kText)) << "the first output is whole";
    EXPECT_EQ(b.desktop.busyDepth, 0);
    EXPECT_EQ(readAll(b.profile), before) << "the settings file is intact";
}

}  // namespace
}  // namespace quorv
