// The Word and Excel servers against a real LibreOffice. The cases share one office
// session (one instance) where they can; the cases about instance lifetime start their own.

#include <signal.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <memory>

#include "convert/automation.h"
#include "engines/office/officeinstance.h"
#include "engines/office/officesession.h"
#include "fakes/test_files.h"
#include "gtest/gtest.h"
#include "office_docs.h"

namespace quorv {
namespace {

using office::OfficeInstance;
using office::OfficeSession;

const QString kPage1 = QStringLiteral("第一页 Hello Quorvane 你好世界");
const QString kPage2 = QStringLiteral("第二页 Second page");

// The shared session and the documents made for all cases.
struct Shared {
    std::unique_ptr<OfficeSession> session;
    QTemporaryDir root;
    QString dir;   // a folder with a Chinese name and a blank
    QString docx;  // two pages, Chinese and Latin text
    QString doc;
    QString xls;  // two sheets
};
Shared* shared = nullptr;

// The conversion sequence of the Word conversions, attached to the shared instance.
void wordWrite(const QString& source, const QString& out, int code, bool saveAs) {
    OleObject word;
    ASSERT_EQ(word.connectToObject(QStringLiteral("Word.application")), 0);
    word.set({"displayalerts"}, false);
    word.set({"application", "displayalerts"}, false);
    word.call({"documents", "open"}, {source});
    word.set({"application", "visible"}, false);
    if (saveAs) {
        word.call({"activedocument", "saveas"}, {out, code});
    } else {
        word.call({"activedocument", "exportasfixedformat"}, {out, code, false});
    }
    word.set({"normaltemplate", "saved"}, true);
    word.call({"quit"});
}

class OfficeEnvironment : public ::testing::Environment {
  public:
    void SetUp() override {
        shared = new Shared;
        shared->session = std::make_unique<OfficeSession>();
        ASSERT_TRUE(shared->root.isValid());
        shared->dir = shared->root.filePath(QStringLiteral("测试 文件夹"));
        ASSERT_TRUE(QDir().mkpath(shared->dir));
        const QString text = shared->root.filePath(QStringLiteral("source.fodt"));
        ASSERT_TRUE(testing::writeFlatText(text, {kPage1, kPage2}));
        shared->docx = shared->dir + QStringLiteral("/中文 名.docx");
        shared->doc = shared->dir + QStringLiteral("/中文 名.doc");
        wordWrite(text, shared->docx, 16, true);
        wordWrite(text, shared->doc, 0, true);
        ASSERT_TRUE(readAll(shared->docx).startsWith("PK"));
        ASSERT_TRUE(readAll(shared->doc).startsWith("\xD0\xCF\x11\xE0"));  // OLE2 container

        const QString sheets = shared->root.filePath(QStringLiteral("sheets.fods"));
        ASSERT_TRUE(testing::writeFlatSheets(
            sheets,
            {{QStringLiteral("一"), {QStringLiteral("apple"), QStringLiteral("pear")}},
             {QStringLiteral("二"), {QStringLiteral("plum"), QStringLiteral("香蕉 Banana")}}}));
        shared->xls = shared->dir + QStringLiteral("/表格 1.xls");
        std::shared_ptr<OfficeInstance> office = shared->session->acquire();
        ASSERT_TRUE(office);
        office::DocumentRef book = office->load(sheets);
        office->store(book, shared->xls, QStringLiteral("MS Excel 97"));
        office->close(book);
        ASSERT_TRUE(QFileInfo(shared->xls).size() > 0);
    }
    void TearDown() override {
        shared->session.reset();
        EXPECT_TRUE(OfficeInstance::runningPids().isEmpty());
        delete shared;
        shared = nullptr;
    }
};

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new OfficeEnvironment);

class Office : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(out.isValid()); }
    QString outPath(const QString& name) const { return out.filePath(name); }
    QTemporaryDir out;
};

TEST_F(Office, DocAndDocxExportToPdfAndXps) {
    for (const QString& source : {shared->docx, shared->doc}) {
        SCOPED_TRACE(source.toStdString());
        const QString pdf = shared->dir + QStringLiteral("/输出 文件.pdf");
        wordWrite(source, pdf, 17, false);
        ASSERT_TRUE(readAll(pdf).startsWith("%PDF-"));
        EXPECT_EQ(pdfPages(pdf), 2);
        const QString text = pdfText(pdf);
        EXPECT_TRUE(text.contains(QStringLiteral("你好世界"))) << text.toStdString();
        EXPECT_TRUE(text.contains(QStringLiteral("Second page")));

        const QString xps = outPath(QStringLiteral("结果 1.xps"));
        wordWrite(source, xps, 18, false);
        const QByteArray package = readAll(xps);
        ASSERT_TRUE(package.startsWith("PK"));  // a zip package
        EXPECT_TRUE(package.contains("[Content_Types].xml"));
        EXPECT_TRUE(package.contains("FixedDocumentSequence") || package.contains(".fdseq"));
        EXPECT_TRUE(package.contains("Pages/2.fpage")) << "two pages";
        QFile::remove(pdf);
    }
}

TEST_F(Office, FileWhoseNameTellsAWrongTypeStillExports) {
    const QString misnamed = outPath(QStringLiteral("workbook.doc"));
    ASSERT_TRUE(QFile::copy(shared->xls, misnamed));
    const QString pdf = outPath(QStringLiteral("workbook.pdf"));
    wordWrite(misnamed, pdf, 17, false);
    EXPECT_TRUE(pdfText(pdf).contains(QStringLiteral("香蕉")));

    // Rich text saved under .doc, as many programs write it, and a .docx that is a .doc.
    const QString rtf = outPath(QStringLiteral("rich.doc"));
    QFile f(rtf);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("{\\rtf1\\ansi Hello rich text\\par}");
    f.close();
    wordWrite(rtf, outPath(QStringLiteral("rich.pdf")), 17, false);
    EXPECT_TRUE(pdfText(outPath(QStringLiteral("rich.pdf"))).contains(QStringLiteral("rich text")));
    const QString renamed = outPath(QStringLiteral("renamed.docx"));
    ASSERT_TRUE(QFile::copy(shared->doc, renamed));
    wordWrite(renamed, outPath(QStringLiteral("renamed.pdf")), 17, false);
    EXPECT_EQ(pdfPages(outPath(QStringLiteral("renamed.pdf"))), 2);
}

TEST_F(Office, SaveFormatsKeepTheText) {
    for (int code : {8, 10, 2}) {
        SCOPED_TRACE(code);
        const QString target = outPath(QStringLiteral("页 %1.out").arg(code));
        wordWrite(shared->docx, target, code, true);
        // Web pages wrap their lines; compare the text with blanks folded.
        const QString content = QString::fromUtf8(readAll(target)).simplified();
        EXPECT_TRUE(content.contains(QStringLiteral("你好世界"))) << content.toStdString();
        EXPECT_TRUE(content.contains(QStringLiteral("Second page")));
        if (code == 2) {
            EXPECT_FALSE(content.contains(QLatin1Char('<')));
        } else {
            EXPECT_TRUE(content.contains(QStringLiteral("<html"), Qt::CaseInsensitive));
        }
    }
}

TEST_F(Office, UnknownSaveFormatAndUnknownMemberFail) {
    OleObject word;
    ASSERT_EQ(word.connectToObject(QStringLiteral("Word.application")), 0);
    word.call({"documents", "open"}, {shared->docx});
    ErrorRecord r = errorOf([&] {
        word.call({"activedocument", "saveas"}, {outPath(QStringLiteral("x.bin")), 99});
    });
    EXPECT_EQ(r.number, kErrCallFailed);
    EXPECT_EQ(r.event, "activedocument.saveas");
    EXPECT_FALSE(QFile::exists(outPath(QStringLiteral("x.bin"))));
    EXPECT_EQ(errorOf([&] {
                  word.call({"activedocument", "printout"});
              }).number,
              kErrMemberNotFound);
    EXPECT_EQ(errorOf([&] {
                  word.call({"activedocument", "exportasfixedformat"}, {"a.pdf", "pdf", false});
              }).number,
              kErrBadArgumentType);
    EXPECT_EQ(errorOf([&] { word.call({"documents", "open"}, {}); }).number, kErrBadArgumentCount);
}

TEST_F(Office, WordFindInDocAndDocx) {
    for (const QString& source : {shared->docx, shared->doc}) {
        SCOPED_TRACE(source.toStdString());
        OleObject word;
        ASSERT_EQ(word.connectToObject(QStringLiteral("Word.Application")), 0);
        word.set({"displayalerts"}, false);
        word.call({"documents", "open"}, {source});
        word.set({"application", "visible"}, false);
        word.call({"application", "selection", "find", "clearformatting"});
        auto find = [&](const QString& text) {
            return word.call({"application", "selection", "find", "execute"}, {text}).toBool();
        };
        EXPECT_TRUE(find(QStringLiteral("你好")));
        EXPECT_TRUE(find(QStringLiteral("hello quorvane")));  // not case-sensitive
        EXPECT_TRUE(find(QStringLiteral("uorva")));           // part of a word
        EXPECT_TRUE(find(QStringLiteral("SECOND")));          // on the second page
        EXPECT_FALSE(find(QStringLiteral("不存在的文字")));
        EXPECT_FALSE(find(QStringLiteral("H*o")));  // no wildcards
        word.call({"quit"});
    }
}

TEST_F(Office, ExcelFindsInTheSecondSheetOfAnXls) {
    OleObject excel;
    ASSERT_EQ(excel.connectToObject(QStringLiteral("Excel.Application")), 0);
    excel.set({"application", "displayalerts"}, false);
    excel.call({"workbooks", "open"}, {shared->xls});
    excel.set({"application", "visible"}, false);
    ASSERT_EQ(excel.get({"worksheets", "count"}).toInt(), 2);
    auto find = [&](int sheet, const QString& text) {
        return excel.call({"activeworkbook", {"worksheets", {sheet}}, "cells", "find"}, {text});
    };
    EXPECT_TRUE(find(1, QStringLiteral("banana")).isEmpty());
    Variant hit = find(2, QStringLiteral("banana"));  // not case-sensitive, part of a cell
    ASSERT_TRUE(hit.isObject());
    EXPECT_EQ(hit.toObject()->invoke(Access::Get, QStringLiteral("row"), {}).toInt(), 2);
    EXPECT_TRUE(find(2, QStringLiteral("香蕉")).isObject());
    EXPECT_TRUE(find(1, QStringLiteral("APP")).isObject());
    EXPECT_TRUE(find(2, QStringLiteral("apple")).isEmpty());
    ErrorRecord r = errorOf([&] { find(3, QStringLiteral("x")); });
    EXPECT_EQ(r.number, kErrCallFailed);
    EXPECT_EQ(r.object, "Excel.Application");
    EXPECT_EQ(r.event, "activeworkbook.worksheets(3).cells.find");
    excel.call({"workbooks", "close"});
    EXPECT_EQ(errorOf([&] { excel.get({"worksheets", "count"}); }).number, kErrCallFailed);
    excel.call({"quit"});
}

TEST_F(Office, QuitAfterAttachLeavesTheSessionInstanceRunning) {
    std::shared_ptr<OfficeInstance> before = shared->session->acquire();
    ASSERT_TRUE(before);
    const qint64 pid = before->pid();
    before.reset();
    wordWrite(shared->docx, outPath(QStringLiteral("a.pdf")), 17, false);
    ASSERT_TRUE(shared->session->instance());
    EXPECT_EQ(shared->session->instance()->pid(), pid);
    EXPECT_TRUE(testing::sofficeRuns(pid));
    EXPECT_TRUE(shared->session->instance()->isAlive());
}

TEST_F(Office, QuitOfOneAttachedClientKeepsAnotherClientsDocument) {
    OleObject first;
    ASSERT_EQ(first.connectToObject(QStringLiteral("Word.application")), 0);
    first.call({"documents", "open"}, {shared->docx});
    wordWrite(shared->doc, outPath(QStringLiteral("other.pdf")), 17, false);  // opens, quits
    const QString pdf = outPath(QStringLiteral("first.pdf"));
    first.call({"activedocument", "exportasfixedformat"}, {pdf, 17, false});
    EXPECT_EQ(pdfPages(pdf), 2);
    first.call({"quit"});
}

// A review comment makes a document do work of its own whenever LibreOffice is idle;
// held loaded for a while, as on a slow or busy machine, it must still convert and be
// searched, and the instance must live on.
TEST_F(Office, DocumentsWithAReviewCommentSurviveBeingHeldOpen) {
    const QString flat = outPath(QStringLiteral("commented.fodt"));
    ASSERT_TRUE(testing::writeFlatTextWithComment(flat, QStringLiteral("Reviewed 审阅正文"),
                                                  QStringLiteral("请核对数字")));
    const QString docx = outPath(QStringLiteral("批注 一.docx"));
    const QString doc = outPath(QStringLiteral("批注 二.doc"));
    wordWrite(flat, docx, 16, true);
    wordWrite(flat, doc, 0, true);
    ASSERT_TRUE(QFile::exists(docx) && QFile::exists(doc));
    const qint64 pid = shared->session->instance()->pid();
    for (const QString& source : {docx, doc}) {
        SCOPED_TRACE(source.toStdString());
        const QString pdf = outPath(QFileInfo(source).baseName() + QStringLiteral(".pdf"));
        OleObject word;
        ASSERT_EQ(word.connectToObject(QStringLiteral("Word.application")), 0);
        word.call({"documents", "open"}, {source});
        QThread::msleep(2000);
        EXPECT_TRUE(
            word.call({"selection", "find", "execute"}, {QStringLiteral("审阅正文")}).toBool());
        QThread::msleep(500);
        word.call({"activedocument", "exportasfixedformat"}, {pdf, 17, false});
        word.call({"quit"});
        EXPECT_TRUE(pdfText(pdf).contains(QStringLiteral("Reviewed")))
            << pdfText(pdf).toStdString();
    }
    EXPECT_EQ(shared->session->instance()->pid(), pid) << "the instance never died";
    EXPECT_TRUE(shared->session->instance()->isAlive());
}

TEST_F(Office, KilledInstanceFailsWith35AndTheNextConnectWorks) {
    OleObject word;
    ASSERT_EQ(word.connectToObject(QStringLiteral("Word.application")), 0);
    word.call({"documents", "open"}, {shared->docx});
    const qint64 pid = shared->session->instance()->pid();
    ::kill(pid_t(pid), SIGKILL);
    ASSERT_TRUE(testing::waitGone(pid));
    ErrorRecord r = errorOf([&] {
        word.call({"activedocument", "exportasfixedformat"}, {outPath("k.pdf"), 17, false});
    });
    EXPECT_EQ(r.number, kErrCallFailed);
    EXPECT_EQ(r.event, "activedocument.exportasfixedformat");
    word.disconnectObject();

    const QString pdf = outPath(QStringLiteral("after.pdf"));
    wordWrite(shared->docx, pdf, 17, false);
    EXPECT_EQ(pdfPages(pdf), 2);
    EXPECT_NE(shared->session->instance()->pid(), pid);
}

TEST_F(Office, HangingCallIsEndedByTheWatchdog) {
    OleObject word;
    ASSERT_EQ(word.connectToObject(QStringLiteral("Word.application")), 0);
    const qint64 pid = shared->session->instance()->pid();
    const int saved = OfficeInstance::callTimeoutMs();
    OfficeInstance::setCallTimeoutMs(1500);
    ::kill(pid_t(pid), SIGSTOP);  // LibreOffice stops answering
    QElapsedTimer t;
    t.start();
    ErrorRecord r = errorOf([&] { word.call({"documents", "open"}, {shared->docx}); });
    OfficeInstance::setCallTimeoutMs(saved);
    EXPECT_EQ(r.number, kErrCallFailed);
    EXPECT_EQ(r.event, "documents.open");
    EXPECT_LT(t.elapsed(), 30000);
    EXPECT_TRUE(testing::waitGone(pid));
    word.disconnectObject();
    wordWrite(shared->docx, outPath(QStringLiteral("w.pdf")), 17, false);
    EXPECT_TRUE(QFile::exists(outPath(QStringLiteral("w.pdf"))));
}

TEST_F(Office, SessionReplacesAnInstanceAfterItsDocumentLimit) {
    std::shared_ptr<OfficeInstance> first = shared->session->acquire();
    const qint64 pid = first->pid();
    const int started = shared->session->instancesStarted();
    shared->session->setDocumentLimit(first->documentsLoaded() + 1);
    first.reset();
    wordWrite(shared->docx, outPath(QStringLiteral("1.pdf")), 17, false);  // reaches the limit
    EXPECT_EQ(shared->session->instance()->pid(), pid);
    wordWrite(shared->docx, outPath(QStringLiteral("2.pdf")), 17, false);  // on a new instance
    shared->session->setDocumentLimit(200);
    EXPECT_EQ(shared->session->instancesStarted(), started + 1);
    EXPECT_NE(shared->session->instance()->pid(), pid);
    EXPECT_TRUE(testing::waitGone(pid));
    EXPECT_EQ(pdfPages(outPath(QStringLiteral("2.pdf"))), 2);
}

// Cases with an instance of their own (create, as the content search connects).
TEST_F(Office, CorruptDocumentIs35AndLeavesNoInstance) {
    const QString bad = shared->dir + QStringLiteral("/坏 文件.docx");
    {
        QFile f(bad);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        QByteArray zip = readAll(shared->docx);
        f.write(zip.left(zip.size() / 3));  // a truncated package
    }
    const QList<qint64> before = OfficeInstance::runningPids();
    qint64 created = 0;
    ErrorRecord r;
    {
        OleObject word;
        ASSERT_EQ(word.connectToNewObject(QStringLiteral("Word.Application")), 0);
        for (qint64 p : OfficeInstance::runningPids()) {
            if (!before.contains(p)) created = p;
        }
        ASSERT_NE(created, 0);
        r = errorOf([&] {
            word.call({"documents", "open"}, {bad});
            word.call({"quit"});
        });
    }
    EXPECT_EQ(r.number, kErrCallFailed);
    EXPECT_EQ(r.object, "Word.Application");
    EXPECT_EQ(r.event, "documents.open");
    EXPECT_TRUE(testing::waitGone(created));
    EXPECT_EQ(OfficeInstance::runningPids(), before);
}

TEST_F(Office, QuitEndsAnInstanceTheCallerCreated) {
    const QList<qint64> before = OfficeInstance::runningPids();
    OleObject excel;
    ASSERT_EQ(excel.connectToNewObject(QStringLiteral("Excel.Application")), 0);
    qint64 created = 0;
    for (qint64 p : OfficeInstance::runningPids()) {
        if (!before.contains(p)) created = p;
    }
    ASSERT_NE(created, 0);
    excel.call({"workbooks", "open"}, {shared->xls});
    EXPECT_EQ(excel.get({"worksheets", "count"}).toInt(), 2);
    excel.call({"workbooks", "close"});
    excel.call({"quit"});
    EXPECT_TRUE(testing::waitGone(created));
    EXPECT_TRUE(shared->session->instance()->isAlive());  // the session's is not touched
    excel.disconnectObject();
}

TEST_F(Office, ASessionThatServesNewConnectionsStartsOneInstanceForWordAndExcel) {
    const QList<qint64> before = OfficeInstance::runningPids();
    qint64 pid = 0;
    {
        OfficeSession serving(OfficeSession::NewConnections::Served);
        OleObject word;
        ASSERT_EQ(word.connectToNewObject(QStringLiteral("Word.Application")), 0);
        ASSERT_TRUE(serving.instance());
        pid = serving.instance()->pid();
        EXPECT_FALSE(before.contains(pid)) << "not the outer session's instance";
        word.set({"displayalerts"}, false);
        word.call({"documents", "open"}, {shared->docx});
        {
            OleObject excel;
            ASSERT_EQ(excel.connectToNewObject(QStringLiteral("Excel.Application")), 0);
            excel.call({"workbooks", "open"}, {shared->xls});
            EXPECT_EQ(excel.get({"worksheets", "count"}).toInt(), 2);
            EXPECT_EQ(serving.instance()->documentsOpen(), 2);
            excel.call({"quit"});  // closes its workbook, leaves the instance running
        }
        EXPECT_EQ(serving.instance()->documentsOpen(), 1);
        EXPECT_TRUE(serving.instance()->isAlive());
        word.call({"quit"});
        word.disconnectObject();
        // A later client starts from a fresh application's state.
        ASSERT_EQ(word.connectToNewObject(QStringLiteral("Word.Application")), 0);
        EXPECT_TRUE(word.get({"displayalerts"}).toBool());
        EXPECT_EQ(word.get({"documents", "count"}).toInt(), 0);
        EXPECT_EQ(serving.instancesStarted(), 1);
        EXPECT_EQ(serving.instance()->documentsOpen(), 0);
    }
    EXPECT_TRUE(testing::waitGone(pid)) << "the instance ends with its session";
    EXPECT_EQ(OfficeInstance::runningPids(), before);
}

TEST_F(Office, TwoInstancesShareNeitherPipeNorProfile) {
    std::shared_ptr<OfficeInstance> first = shared->session->acquire();
    QString error;
    std::shared_ptr<OfficeInstance> second = OfficeInstance::start(&error);
    ASSERT_TRUE(second) << error.toStdString();
    EXPECT_NE(first->pipeName(), second->pipeName());
    EXPECT_NE(first->profileDir(), second->profileDir());
    EXPECT_TRUE(first->isAlive());
    EXPECT_TRUE(second->isAlive());
    const qint64 pid = second->pid();
    second.reset();  // releasing it ends it
    EXPECT_TRUE(testing::waitGone(pid));
}

TEST_F(Office, StartIsBoundedAndAFailedStartLeavesNothing) {
    const QList<qint64> before = OfficeInstance::runningPids();
    const int saved = OfficeInstance::startTimeoutMs();
    OfficeInstance::setStartTimeoutMs(100);  // far less than LibreOffice needs to start
    OleObject word;
    QElapsedTimer t;
    t.start();
    const int result = word.connectToNewObject(QStringLiteral("Word.application"));
    OfficeInstance::setStartTimeoutMs(saved);
    EXPECT_NE(result, 0);
    EXPECT_FALSE(word.isConnected());
    EXPECT_LT(t.elapsed(), 15000);
    EXPECT_EQ(OfficeInstance::runningPids(), before);
    // The next start, with time enough, works.
    ASSERT_EQ(word.connectToNewObject(QStringLiteral("Word.application")), 0);
    word.call({"quit"});
}

// However the program that started an instance ends, the instance ends with it.
TEST_F(Office, NoInstanceOutlivesItsProgram) {
    for (const char* mode : {"exit", "abort", "sigterm", "killed"}) {
        SCOPED_TRACE(mode);
        QProcess child;
        child.start(QStringLiteral(OFFICE_CHILD_PATH), {QString::fromLatin1(mode)});
        ASSERT_TRUE(child.waitForStarted());
        QByteArray line;
        while (!line.contains('\n') && child.waitForReadyRead(60000)) line += child.readAll();
        const qint64 pid = line.trimmed().toLongLong();
        ASSERT_GT(pid, 0) << line.toStdString();
        EXPECT_TRUE(testing::sofficeRuns(pid));
        if (QByteArray(mode) == "killed") child.kill();
        child.write("\n");  // lets the child go on to its end
        child.closeWriteChannel();
        ASSERT_TRUE(child.waitForFinished(60000));
        EXPECT_TRUE(testing::waitGone(pid)) << "soffice " << pid << " outlived its program";
    }
}

}  // namespace
}  // namespace quorv
