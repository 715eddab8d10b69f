// quorvbatch with open passwords in its settings file: protected sources convert, and no
// password shows in its JSON lines, its journal or its messages.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "batch_run.h"
#include "core/passwords.h"
#include "fakes/protected_files.h"
#include "fakes/test_files.h"
#include "gtest/gtest.h"
#include "programs/quorvbatch/batchoptions.h"

namespace quorv {
namespace {

using testing::lineOf;
using testing::runBatch;

const QString kFiles = QStringLiteral(PROTECTED_FILES_DIR);
using testing::kWordPassword;

TEST(QuorvbatchPasswords, ProtectedSourcesConvertWithTheSettingsPasswordsAndNoneIsShown) {
    QTemporaryDir dir;
    const QString in = dir.filePath("in");
    ASSERT_TRUE(QDir().mkpath(in));
    for (const char* f : {"locked-cryptoapi.doc", "locked-std.docx", "locked-agile.docx"}) {
        ASSERT_TRUE(QFile::copy(kFiles + "/" + f, in + "/" + f));
    }
    const QStringList listed{"wrong one", kWordPassword};
    ASSERT_EQ(writeOpenPasswords(dir.filePath("tovk.ini"), listed), 1);

    const testing::BatchRun r = runBatch(dir.path(), {"--out", "out", in});
    EXPECT_FALSE(r.crashed);
    EXPECT_EQ(r.status, kBatchAllDone) << r.err.toStdString() << r.out.toStdString();
    for (const QString name : {"locked-cryptoapi.doc", "locked-std.docx", "locked-agile.docx"}) {
        const QJsonObject o = lineOf(r.lines, in + "/" + name);
        EXPECT_EQ(o.value("status").toString(), "ok") << name.toStdString();
        EXPECT_TRUE(pdfText(o.value("output").toString()).contains("QZX17"));
    }
    const QString journal =
        QString::fromUtf8(readAll(dir.filePath("out/.quorvbatch-journal.jsonl")));
    EXPECT_EQ(journal.count('\n'), 3);
    for (const QString& p : listed) {
        EXPECT_FALSE(r.out.contains(p)) << r.out.toStdString();
        EXPECT_FALSE(r.err.contains(p)) << r.err.toStdString();
        EXPECT_FALSE(journal.contains(p)) << journal.toStdString();
    }

    // Without the right one listed the same files fail as protected, and still say no
    // password.
    ASSERT_EQ(writeOpenPasswords(dir.filePath("tovk.ini"), {"wrong one"}), 1);
    const testing::BatchRun refused = runBatch(dir.path(), {"--out", "refused", in});
    EXPECT_EQ(refused.status, kBatchSomeFailed) << refused.err.toStdString();
    ASSERT_EQ(refused.lines.size(), 3);
    for (const QJsonObject& o : refused.lines) {
        EXPECT_EQ(o.value("reason").toString(), "password");
        EXPECT_EQ(o.value("reasonText").toString(), "文件有密码保护");
    }
    EXPECT_FALSE(refused.out.contains("wrong one"));
    EXPECT_FALSE(refused.err.contains("wrong one"));
}

}  // namespace
}  // namespace quorv
