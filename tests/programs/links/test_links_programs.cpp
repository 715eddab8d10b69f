// The programs on documents that link outside themselves: quorvbatch draws none of what they
// link unless --local-links asks for local pictures, and quorvcli, alone and served by
// quorvoffice, converts them; no request reaches the network from any of them.
#include <sys/stat.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include "core/ini.h"
#include "fakes/linked_docs.h"
#include "gtest/gtest.h"
#include "programs/quorvbatch/batch_run.h"
#include "programs/quorvbatch/batchoptions.h"
#include "programs/quorvcli/cli_run.h"
#include "programs/quorvcli/cliconvert.h"

namespace quorv {
namespace {

using testing::kConverted;

class LinkedPrograms : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        ASSERT_GT(listener.port(), 0);
        ASSERT_TRUE(testing::writeLinkedDocuments(src, listener.url()));
        writeIniKey(dir.filePath("tovk.ini"), "gsly", "awordhz", "#rtf#odt#fodt");
    }

    // quorvbatch over every kind into `out`; whether each output drew the marker.
    QList<bool> batch(const QStringList& options, const QString& out) {
        QStringList args = options + QStringList{"--out", out};
        for (const testing::Kind& k : kConverted) args << src + "/" + k.file;
        const testing::BatchRun r = testing::runBatch(dir.path(), args);
        EXPECT_EQ(r.status, kBatchAllDone) << r.out.toStdString() << r.err.toStdString();
        QList<bool> drawn;
        for (const testing::Kind& k : kConverted) {
            const QString pdf =
                dir.filePath(out + "/" + QString::fromLatin1(k.file).section('.', 0, 0) + ".pdf");
            EXPECT_TRUE(pdfText(pdf).contains("BODYTEXT")) << k.file;
            drawn << testing::drawsMarker(pdf);
        }
        return drawn;
    }

    QTemporaryDir dir;
    testing::Listener listener;
    QString src = dir.filePath("src");
};

TEST_F(LinkedPrograms, QuorvbatchDrawsLocalPicturesOnlyWithTheOption) {
    QList<bool> none, local;
    for (const testing::Kind& k : kConverted) {
        none << false;
        local << k.drawsLocalPicture;
    }
    EXPECT_EQ(batch({}, "plain"), none);
    EXPECT_EQ(batch({"--local-links"}, "local"), local);
    EXPECT_EQ(listener.connections(), 0);
}

TEST_F(LinkedPrograms, QuorvcliAloneAndServedFetchesNothing) {
    QTemporaryDir runtime;
    ::chmod(QFile::encodeName(runtime.path()).constData(), 0700);
    QProcess service;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_RUNTIME_DIR", runtime.path());
    service.setProcessEnvironment(env);
    service.setWorkingDirectory(runtime.path());
    service.start(QStringLiteral(QUORVOFFICE_PATH), {"--pool", "1"});
    ASSERT_TRUE(service.waitForStarted(10000));
    QElapsedTimer t;
    t.start();
    while (!QFileInfo::exists(runtime.filePath("quorvoffice.sock")) && t.elapsed() < 60000) {
        QThread::msleep(50);
    }
    ASSERT_TRUE(QFileInfo::exists(runtime.filePath("quorvoffice.sock")));
    // quorvcli takes Word's own names: the Word document and the web page saved as .doc.
    for (const char* name : {"docx.docx", "html.doc"}) {
        SCOPED_TRACE(name);
        for (const QString& served : {QString(), runtime.path()}) {
            QTemporaryDir work;
            const QString swf = work.filePath("swf");
            QDir().mkpath(swf);
            writeIniKey(work.filePath("tovk.ini"), "other", "swfpath", swf);
            // The window's setting does not reach quorvcli.
            writeIniKey(work.filePath("tovk.ini"), "sdef", "bdlj", "y");
            const testing::CliRun r =
                testing::runCli(work.path(), {src + "/" + name}, 180000, served);
            EXPECT_EQ(r.status, kCliConverted) << r.err.toStdString();
            EXPECT_EQ(QDir(swf).entryList(QDir::Files).size(), 1);
        }
    }
    service.terminate();
    service.waitForFinished(30000);
    EXPECT_EQ(listener.connections(), 0);
}

}  // namespace
}  // namespace quorv
