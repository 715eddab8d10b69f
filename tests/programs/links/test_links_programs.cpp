// The programs on documents that link outside themselves: quorvbatch draws none of what they
// link unless --local-links asks for local pictures, and quorvcli, alone and served by
// quorvoffice, converts them; no request reaches the network from any of them.
#include <QTemporaryDir>

#include "core/ini.h"
#include "fakes/linked_docs.h"
#include "fakes/office_service.h"
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
    testing::OfficeService service;
    ASSERT_TRUE(service.start({"--pool", "1"}));
    // quorvcli takes Word's own names: the Word document and the web page saved as .doc.
    for (const char* name : {"docx.docx", "html.doc"}) {
        SCOPED_TRACE(name);
        for (const QString& served : {QString(), service.runtime.path()}) {
            testing::CliWork work;
            // The window's setting does not reach quorvcli.
            writeIniKey(work.settings(), "sdef", "bdlj", "y");
            const testing::CliRun r =
                testing::runCli(work.dir.path(), {src + "/" + name}, 180000, served);
            EXPECT_EQ(r.status, kCliConverted) << r.err.toStdString();
            EXPECT_EQ(work.swfFiles().size(), 1);
        }
    }
    service.process.terminate();
    service.process.waitForFinished(30000);
    EXPECT_EQ(listener.connections(), 0);
}

}  // namespace
}  // namespace quorv
