// The office service end to end: quorvoffice started as the user would start it, quorvcli
// calls attaching to it, through real LibreOffice and the real quorv-pdf2swf.
#include <signal.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <memory>

#include "convert/kind_docs.h"
#include "core/ini.h"
#include "engines/office/office_docs.h"
#include "engines/office/officeclient.h"
#include "fakes/made_once.h"
#include "fakes/office_service.h"
#include "fakes/test_files.h"
#include "gtest/gtest.h"
#include "pdf2swf/swfreader.h"
#include "programs/quorvcli/cli_run.h"
#include "programs/quorvcli/cliconvert.h"

namespace quorv {
namespace {

using testing::CliRun;
using testing::officesLeftBy;
using testing::runCli;

struct Sources {
    QTemporaryDir root;
    QString docx;     // two pages
    QString long_;    // many pages: a conversion that takes a while
    QString damaged;  // a .docx cut in half
    QString locked = QStringLiteral(DOC_FILES_DIR "/locked.docx");
    QString text;  // a type quorvcli refuses
    QString book;  // a workbook and a presentation, each printing two pages
    QString slides;
};
Sources* sources = nullptr;

void makeDocuments() {
    const QString flat = sources->root.filePath("src.fodt");
    ASSERT_TRUE(testing::writeFlatText(flat, {"服务 转换 Served", "second page"}));
    sources->docx = sources->root.filePath("报告.docx");
    ASSERT_TRUE(testing::saveThroughWord(flat, sources->docx, 16));
    QStringList pages;
    for (int i = 0; i < 300; ++i) pages << QStringLiteral("第 %1 页 page").arg(i + 1);
    const QString longFlat = sources->root.filePath("long.fodt");
    ASSERT_TRUE(testing::writeFlatText(longFlat, pages));
    sources->long_ = sources->root.filePath("长文.docx");
    ASSERT_TRUE(testing::saveThroughWord(longFlat, sources->long_, 16));
    const QByteArray whole = readAll(sources->docx);
    sources->damaged = sources->root.filePath("损坏.docx");
    QFile cut(sources->damaged);
    ASSERT_TRUE(cut.open(QIODevice::WriteOnly));
    cut.write(whole.left(whole.size() / 2));
    cut.close();
    const QString fods = sources->root.filePath("book.fods");
    ASSERT_TRUE(testing::writeFlatWorkbook(fods, "区域内", "区域外", "隐藏表", "一页"));
    sources->book = sources->root.filePath("报表.xlsx");
    ASSERT_TRUE(testing::saveThroughExcel(fods, sources->book, 51));
    const QString fodp = sources->root.filePath("slides.fodp");
    ASSERT_TRUE(testing::writeFlatSlides(
        fodp, {{"第一页", "微软雅黑", {}, false}, {"第二页", "宋体", "备注", false}}));
    sources->slides = sources->root.filePath("演示.pptx");
    ASSERT_TRUE(testing::saveThroughPowerPoint(fodp, sources->slides, 24));
    sources->text = sources->root.filePath("说明.txt");
    QFile txt(sources->text);
    ASSERT_TRUE(txt.open(QIODevice::WriteOnly));
    txt.write("plain\n");
}
const auto* const kEnv =
    testing::madeOnce(sources, makeDocuments, testing::AfterMaking::EndSession);

using Service = testing::OfficeService;
using Work = testing::CliWork;

// What a caller sees of a run: status, error output, log value without its time stamp,
// and the SWF files with their frames.
struct Seen {
    int status = -1;
    QString err;
    QString log;
    QStringList swfs;
    std::vector<int> frames;
};

Seen see(const CliRun& r, const Work& w) {
    Seen s;
    s.status = r.status;
    s.err = r.err;
    s.log = testing::logValue(w.dir.path());
    if (s.log.size() > 14) s.log = s.log.mid(14);  // "yy/MM/dd HH:mm"
    s.swfs = w.swfFiles();
    for (const QString& f : s.swfs) {
        const testing::SwfFile swf = testing::readSwf((w.swf + "/" + f).toStdString());
        s.frames.push_back(swf.error.empty() ? swf.frameCount : -1);
    }
    return s;
}

// A request of workbooks and presentations runs on the service as anywhere else.
TEST(OfficeService, AServedRequestConvertsWorkbooksAndPresentations) {
    Service service;
    ASSERT_TRUE(service.start());
    const QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(service.runtime.path()));
    QTemporaryDir out;
    BatchRequest q;
    q.mode = BatchMode::Pdf;
    q.outputBase = out.path() + "/";
    q.sfth = "y";
    for (const QString& source : {sources->book, sources->slides}) {
        const QFileInfo f(source);
        q.rows.append(BatchRow{f.fileName(), f.absolutePath() + "/", {}});
    }
    const ServiceAnswer answer = runOnOfficeService(q, 10000);
    qputenv("XDG_RUNTIME_DIR", saved);
    ASSERT_EQ(answer.state, ServiceAnswer::State::Done);
    ASSERT_EQ(answer.result.rows.size(), 2);
    for (const auto& row : answer.result.rows) {
        EXPECT_EQ(row.result, BatchResult::Success) << int(row.reason);
    }
    EXPECT_EQ(pdfPages(out.filePath("报表.pdf")), 2);
    EXPECT_EQ(pdfPages(out.filePath("演示.pdf")), 2);
}

// A request the service refuses comes back with the words a run here gives it, and
// nothing is written.
TEST(OfficeService, ARefusedRequestComesBackInTheWordsOfARunHere) {
    Service service;
    ASSERT_TRUE(service.start({"--pool", "1"}));
    QTemporaryDir out;
    BatchRequest q;
    q.mode = BatchMode::Pdf;
    q.outputBase = out.path() + "/";
    q.sfth = "y";
    q.pdfa = 2;
    q.pdf.protection.openPassword = "开门";
    const QFileInfo f(sources->docx);
    q.rows.append(BatchRow{f.fileName(), f.absolutePath() + "/", {}});
    BatchRun here(q, {});
    here.start();
    ASSERT_TRUE(here.isFinished());
    ASSERT_FALSE(here.result().refusal.isEmpty());

    const QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(service.runtime.path()));
    const ServiceAnswer answer = runOnOfficeService(q, 10000);
    qputenv("XDG_RUNTIME_DIR", saved);
    ASSERT_EQ(answer.state, ServiceAnswer::State::Done);
    EXPECT_EQ(answer.result.refusal, here.result().refusal);
    EXPECT_EQ(answer.result.rows.size(), 1);
    EXPECT_FALSE(answer.result.error);
    EXPECT_EQ(QDir(out.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
}

TEST(OfficeService, CallsEndTheSameWithTheServiceAndWithout) {
    Service service;
    ASSERT_TRUE(service.start());
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(service.socket()).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    for (const QString& source :
         {sources->docx, sources->locked, sources->damaged, sources->text}) {
        SCOPED_TRACE(source.toStdString());
        Work alone, served;
        const CliRun a = runCli(alone.dir.path(), {source});
        const CliRun b = runCli(served.dir.path(), {source}, 180000, service.runtime.path());
        const Seen x = see(a, alone), y = see(b, served);
        EXPECT_EQ(x.status, y.status);
        EXPECT_EQ(x.err, y.err);
        EXPECT_EQ(x.log, y.log);
        EXPECT_EQ(x.swfs, y.swfs);
        EXPECT_EQ(x.frames, y.frames);
        EXPECT_EQ(alone.pdfEntries(), served.pdfEntries());
        // The served call started no office of its own.
        EXPECT_EQ(officesLeftBy(b.pid), QStringList());
        if (source == sources->docx) {
            EXPECT_EQ(y.status, kCliConverted);
            EXPECT_EQ(y.frames, std::vector<int>{2});
        } else {
            EXPECT_NE(y.status, kCliConverted);
        }
    }
}

TEST(OfficeService, CallsAtOnceWithSameNamedSourcesEachGetTheirSwf) {
    Service service;
    ASSERT_TRUE(service.start());
    QTemporaryDir sourcesRoot;
    QStringList same;
    for (int i = 0; i < 8; ++i) {
        const QString folder = sourcesRoot.filePath(QString::number(i));
        QDir().mkpath(folder);
        same << folder + "/同名.docx";
        ASSERT_TRUE(QFile::copy(sources->docx, same.back()));
    }
    for (const bool served : {true, false}) {
        SCOPED_TRACE(served ? "served" : "alone");
        Work w;
        std::vector<std::unique_ptr<QProcess>> calls;
        for (const QString& s : same) {
            auto p = std::make_unique<QProcess>();
            p->setWorkingDirectory(w.dir.path());
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert("XDG_RUNTIME_DIR",
                       served ? service.runtime.path() : testing::noServiceRuntimeFolder());
            p->setProcessEnvironment(env);
            p->start(QStringLiteral(QUORVCLI_PATH), {s});
            calls.push_back(std::move(p));
        }
        for (auto& p : calls) {
            ASSERT_TRUE(p->waitForFinished(300000));
            EXPECT_EQ(p->exitCode(), kCliConverted) << p->readAllStandardError().toStdString();
        }
        QStringList expected{"同名.swf"};
        for (int i = 0; i < 7; ++i) expected << QString::number(i) + "同名.swf";
        expected.sort();
        EXPECT_EQ(w.swfFiles(), expected);
        for (int f : see(CliRun{}, w).frames) EXPECT_EQ(f, 2);
        EXPECT_EQ(w.pdfEntries(), QStringList());
    }
}

TEST(OfficeService, ServiceKilledUnderACallLeavesNoOfficeAndTheNextCallWorks) {
    Service service;
    ASSERT_TRUE(service.start({"--pool", "1"}));
    const qint64 servicePid = service.pid();
    Work w;
    QProcess call;
    call.setWorkingDirectory(w.dir.path());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_RUNTIME_DIR", service.runtime.path());
    call.setProcessEnvironment(env);
    call.start(QStringLiteral(QUORVCLI_PATH), {sources->long_});
    ASSERT_TRUE(call.waitForStarted());
    QThread::msleep(700);
    ASSERT_EQ(call.state(), QProcess::Running) << "the conversion ended too soon to be cut";
    ::kill(pid_t(servicePid), SIGKILL);
    ASSERT_TRUE(call.waitForFinished(60000));
    EXPECT_TRUE(call.exitCode() == kCliNoOutput || call.exitCode() == kCliRuntimeError)
        << call.exitCode();
    EXPECT_TRUE(Service::waitFor([&] { return officesLeftBy(servicePid).isEmpty(); }, 5000));

    // The socket file is left behind; the next call converts on its own.
    Work next;
    const CliRun r = runCli(next.dir.path(), {sources->docx}, 180000, service.runtime.path());
    EXPECT_EQ(r.status, kCliConverted) << r.err.toStdString();
    EXPECT_EQ(next.swfFiles(), QStringList{"报告.swf"});
}

TEST(OfficeService, InstancesEndWhenIdleAndTheServiceStillAnswers) {
    Service service;
    ASSERT_TRUE(service.start({"--pool", "1", "--idle", "2"}));
    EXPECT_EQ(service.offices().size(), 1);

    // A second service for the same user is refused while this one runs.
    QProcess second;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_RUNTIME_DIR", service.runtime.path());
    second.setProcessEnvironment(env);
    second.start(QStringLiteral(QUORVOFFICE_PATH), {});
    ASSERT_TRUE(second.waitForFinished(10000));
    EXPECT_EQ(second.exitCode(), 1);

    EXPECT_TRUE(Service::waitFor([&] { return service.offices().isEmpty(); }, 15000));
    Work w;
    const CliRun r = runCli(w.dir.path(), {sources->docx}, 180000, service.runtime.path());
    EXPECT_EQ(r.status, kCliConverted) << r.err.toStdString();
    EXPECT_EQ(see(r, w).frames, std::vector<int>{2});
    EXPECT_EQ(officesLeftBy(r.pid), QStringList());

    // Told to stop, it ends its instances and takes its socket away.
    const qint64 pid = service.pid();
    service.process.terminate();
    ASSERT_TRUE(service.process.waitForFinished(30000));
    EXPECT_EQ(service.process.exitCode(), 0);
    EXPECT_FALSE(QFileInfo::exists(service.socket()));
    EXPECT_EQ(officesLeftBy(pid), QStringList());
}

}  // namespace
}  // namespace quorv
