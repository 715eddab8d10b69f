// Documents that link to pictures, pages and data outside themselves, converted and
// searched by the real engine: nothing they point at is fetched or drawn, unless links to
// local files are asked for, and the network stays closed either way.
#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

#include "convert/batch/requestjson.h"
#include "engines/office/officeinstance.h"
#include "engines/office/officesandbox.h"
#include "fakes/linked_docs.h"
#include "fakes/test_files.h"
#include "gtest/gtest.h"

namespace quorv {
namespace {

using testing::drawsMarker;
using testing::kConverted;
using testing::Kind;
using testing::Listener;

class OfficeLinks : public ::testing::Test {
  protected:
    // Rows report through the event loop of this thread.
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "test_office_links";
        static char* argv[] = {name, nullptr};
        if (!QCoreApplication::instance()) new QCoreApplication(argc, argv);
    }

    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        ASSERT_GT(listener_.port(), 0);
        src_ = dir_.filePath(QStringLiteral("源 文件"));
        out_ = dir_.filePath(QStringLiteral("out")) + QLatin1Char('/');
        ASSERT_TRUE(QDir().mkpath(out_));
        ASSERT_TRUE(testing::writeLinkedDocuments(src_, listener_.url()));
    }

    BatchRequest request(BatchMode mode, bool localLinks) const {
        BatchRequest q;
        q.mode = mode;
        q.outputBase = out_;
        q.sfth = QStringLiteral("y");
        q.awordhz = QStringLiteral("#rtf#odt#fodt");
        q.goOn = true;
        q.localLinks = localLinks;
        for (const Kind& k : kConverted) {
            q.rows.append(BatchRow{QString::fromLatin1(k.file), src_ + QLatin1Char('/'), {}});
        }
        return q;
    }

    QString pdfOf(const Kind& k) const {
        return out_ + QString::fromLatin1(k.file).section(QLatin1Char('.'), 0, 0) +
               QStringLiteral(".pdf");
    }

    // Every row converts; the outputs hold the documents' own text, never the linked page's,
    // and the marker picture only where `local` lets it in.
    void expectConverted(bool local) {
        const BatchRunResult r = runToEnd(request(BatchMode::Pdf, local));
        ASSERT_EQ(r.rows.size(), int(std::size(kConverted)));
        for (int i = 0; i < r.rows.size(); ++i) {
            const Kind& k = kConverted[i];
            SCOPED_TRACE(k.file);
            EXPECT_EQ(r.rows[i].result, BatchResult::Success);
            const QString text = pdfText(pdfOf(k));
            EXPECT_TRUE(text.contains(QStringLiteral("BODYTEXT")));
            EXPECT_FALSE(text.contains(QStringLiteral("MARKERTEXT")) && !local);
            EXPECT_EQ(drawsMarker(pdfOf(k)), local && k.drawsLocalPicture);
        }
        EXPECT_EQ(listener_.connections(), 0);
    }

    QTemporaryDir dir_;
    Listener listener_;
    QString src_;
    QString out_;
};

TEST_F(OfficeLinks, InstancesRunInTheSandboxWhereItStarts) {
    QString why;
    ASSERT_TRUE(office::sandboxWorks(&why)) << why.toStdString();
    std::shared_ptr<office::OfficeInstance> i = office::OfficeInstance::start();
    ASSERT_TRUE(i);
    EXPECT_TRUE(i->sandboxed());
    // Its own process, not the sandbox's, and in a network namespace of its own.
    EXPECT_EQ(QFile::symLinkTarget(QStringLiteral("/proc/%1/exe").arg(i->pid())),
              QStringLiteral("/usr/lib/libreoffice/program/soffice.bin"));
    EXPECT_NE(QFile::symLinkTarget(QStringLiteral("/proc/%1/ns/net").arg(i->pid())),
              QFile::symLinkTarget(QStringLiteral("/proc/self/ns/net")));
}

TEST_F(OfficeLinks, LinkedPicturesPagesAndFieldsAreNeitherFetchedNorDrawn) {
    expectConverted(false);
}

TEST_F(OfficeLinks, LocalPicturesAreDrawnWhenAskedForAndTheNetworkStaysClosed) {
    expectConverted(true);
}

TEST_F(OfficeLinks, WithoutTheSandboxNoDocumentIsOpened) {
    const QString saved = office::sandboxProgram();
    office::setSandboxProgram(QStringLiteral("/bin/false"));
    EXPECT_FALSE(office::sandboxWorks());
    QString error;
    EXPECT_FALSE(office::OfficeInstance::start(&error));
    EXPECT_TRUE(error.contains(QStringLiteral("sandbox"))) << error.toStdString();
    const BatchRunResult r = runToEnd(request(BatchMode::Pdf, true));
    for (const BatchRunResult::Row& row : r.rows) {
        EXPECT_EQ(row.result, BatchResult::Failure);
        EXPECT_EQ(row.reason, FailReason::OfficeUnavailable);
    }
    EXPECT_EQ(listener_.connections(), 0);
    office::setSandboxProgram(saved);
    EXPECT_TRUE(office::sandboxWorks());
}

TEST_F(OfficeLinks, ContentSearchFindsTheTextAndFetchesNothing) {
    BatchRequest q = request(BatchMode::Find, false);
    q.findText = QStringLiteral("BODYTEXT");
    q.rows.append(BatchRow{QStringLiteral("xlsx.xlsx"), src_ + QLatin1Char('/'), {}});
    const BatchRunResult r = runToEnd(q);
    ASSERT_EQ(r.rows.size(), q.rows.size());
    for (int i = 0; i < r.rows.size(); ++i) {
        SCOPED_TRACE(q.rows[i].filey.toStdString());
        EXPECT_EQ(r.rows[i].result, BatchResult::Success);
    }
    EXPECT_EQ(listener_.connections(), 0);
}

}  // namespace
}  // namespace quorv
