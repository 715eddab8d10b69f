#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>

#include "convert/batch/run.h"
#include "convert/contentfind.h"
#include "convert/passwordopen.h"
#include "convert/wordconvert.h"
#include "core/runtimeerror.h"
#include "fakes/backend_change.h"
#include "fakes/fake_office.h"
#include "fakes/qt_print.h"
#include "gtest/gtest.h"

namespace quorv {
namespace {

class PasswordOpen : public ::testing::Test {
  protected:
    void SetUp() override {
        QDir().mkpath(out);
        shortWait_.emplace(testing::outputWait(300));
    }
    void TearDown() override { shortWait_.reset(); }
    std::optional<testing::BackendChange> shortWait_;
    QString touch(const QString& name) {
        QFile f(work.filePath(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        return f.fileName();
    }
    // The opens the office received, as it read them.
    QStringList opens() const {
        QStringList o;
        for (const auto& c : office.calls()) {
            if (c.path.endsWith(".open")) o << c.text;
        }
        return o;
    }

    testing::FakeOfficeServer office;
    QTemporaryDir work;
    QString out = work.filePath("out/");
};

TEST_F(PasswordOpen, ProtectedSourceOpensWithTheFirstListedPasswordThatFits) {
    const QString doc = touch("locked.docx");
    office.setPasswordFor("locked.docx", "二号");
    WordOptions opts;
    opts.passwords = QStringList{"one", "二号", "three"};
    const ConvertOutcome c = word2xps(doc, "pdf", out, 17, opts);
    EXPECT_EQ(c.output, out + "locked.pdf");
    // The plain open, then Word's fifth argument, PasswordDocument, one password at a time;
    // nothing after the one that opened it.
    EXPECT_EQ(opens(), (QStringList{
                           "call documents.open(\"" + doc + "\")",
                           "call documents.open(\"" + doc + "\", false, true, false, \"one\")",
                           "call documents.open(\"" + doc + "\", false, true, false, \"二号\")",
                       }));
    EXPECT_EQ(office.liveApplications(), 0);
    EXPECT_TRUE(office.openDocuments().isEmpty());
}

TEST_F(PasswordOpen, UnprotectedSourceIsOpenedOnceAsWithoutPasswords) {
    const QString doc = touch("plain.doc");
    WordOptions opts;
    opts.passwords = QStringList{"one", "two"};
    EXPECT_EQ(word2xps(doc, "pdf", out, 17, opts).output, out + "plain.pdf");
    EXPECT_EQ(opens(), QStringList{"call documents.open(\"" + doc + "\")"});
}

TEST_F(PasswordOpen, NoFittingPasswordFailsAsProtectedWithoutNamingAny) {
    const QString doc = touch("locked.doc");
    office.setPasswordFor("locked.doc", "right");
    for (const QStringList& list : {QStringList{}, QStringList{"wrong", "also wrong"}}) {
        office.clearCalls();
        WordOptions opts;
        opts.passwords = list;
        try {
            word2xps(doc, "pdf", out, 17, opts);
            ADD_FAILURE() << "converted without its password";
        } catch (const RuntimeError& e) {
            EXPECT_EQ(e.reason(), FailReason::Password);
            EXPECT_EQ(e.record().number, kErrCallFailed);
            const QString report = errorReportText(e.record()) + QString::fromUtf8(e.what());
            EXPECT_FALSE(report.contains("wrong")) << report.toStdString();
        }
        EXPECT_EQ(opens().size(), 1 + list.size());
        EXPECT_FALSE(QFile::exists(out + "locked.pdf"));
        EXPECT_EQ(office.liveApplications(), 0);
    }
}

TEST_F(PasswordOpen, OtherFailuresEndTheTriesAtOnce) {
    const QString doc = touch("broken.doc");
    office.failMember("documents.open", kErrCallFailed);
    WordOptions opts;
    opts.passwords = QStringList{"one", "two"};
    EXPECT_THROW(word2xps(doc, "pdf", out, 17, opts), RuntimeError);
    EXPECT_EQ(opens().size(), 1) << "a refusal that is no password one is not tried again";
}

TEST_F(PasswordOpen, WorkbookSearchPassesThePasswordAsExcelsFifthArgument) {
    const QString book = touch("locked.xls");
    office.setPasswordFor("locked.xls", "pw");
    office.setFindSheet(2);
    const std::optional<bool> found = excelFind(book, "x", {"nope", "pw"});
    ASSERT_TRUE(found.has_value());
    EXPECT_TRUE(*found);
    EXPECT_EQ(opens().last(), "call workbooks.open(\"" + book + "\", 0, true, 1, \"pw\")");
    EXPECT_THROW(excelFind(book, "x", {"nope"}), RuntimeError);
    EXPECT_EQ(office.liveApplications(), 0);
}

TEST_F(PasswordOpen, BatchRowsAndSearchesTakeTheRequestsPasswords) {
    static int argc = 1;
    static char name[] = "test_passwordopen";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance()) new QCoreApplication(argc, argv);
    touch("a.docx");
    touch("b.docx");
    office.setPasswordFor("a.docx", "A");
    office.setFindResult(true);
    for (BatchMode mode : {BatchMode::Pdf, BatchMode::Find}) {
        BatchRequest q;
        q.mode = mode;
        q.outputBase = out;
        q.sfth = "y";
        q.findText = "x";
        q.goOn = true;
        q.passwords = QStringList{"A"};
        q.rows = {{"a.docx", work.path() + "/", {}}, {"b.docx", work.path() + "/", {}}};
        QList<BatchResult> results;
        for (const BatchRunResult::Row& row : runToEnd(q).rows) results << row.result;
        EXPECT_EQ(results, (QList<BatchResult>{BatchResult::Success, BatchResult::Success}))
            << int(mode);
    }
}

}  // namespace
}  // namespace quorv
