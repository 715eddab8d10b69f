// quorvcli with open passwords in its settings, alone and through the office service: the
// request carries the passwords over the service's socket, a protected source converts the
// same either way, and no password shows in the service's or the caller's messages or in
// the log value.
#include "core/ini.h"
#include "core/passwords.h"
#include "fakes/office_service.h"
#include "fakes/protected_files.h"
#include "gtest/gtest.h"
#include "programs/quorvcli/cli_run.h"
#include "programs/quorvcli/cliconvert.h"

namespace quorv {
namespace {

using testing::CliRun;
using testing::runCli;

const QString kFiles = QStringLiteral(PROTECTED_FILES_DIR);
const QStringList kListed{"erstes", testing::kWordPassword};

using Work = testing::CliWork;

TEST(OfficeServicePasswords, AProtectedSourceConvertsAloneAndServedAndNoPasswordShows) {
    testing::OfficeService service;
    ASSERT_TRUE(service.start({"--pool", "1"}));

    QString said;
    for (const char* kind : {"locked-agile.docx", "locked-cryptoapi.doc"}) {
        SCOPED_TRACE(kind);
        const QString source = kFiles + "/" + kind;
        Work alone(kListed), served(kListed), refused({"erstes"});
        const CliRun a = runCli(alone.dir.path(), {source});
        const CliRun b = runCli(served.dir.path(), {source}, 180000, service.runtime.path());
        const CliRun c = runCli(refused.dir.path(), {source}, 180000, service.runtime.path());
        EXPECT_EQ(a.status, kCliConverted) << a.err.toStdString();
        EXPECT_EQ(b.status, kCliConverted) << b.err.toStdString();
        EXPECT_EQ(alone.swfFiles().size(), 1);
        EXPECT_EQ(served.swfFiles(), alone.swfFiles());
        EXPECT_NE(c.status, kCliConverted);
        EXPECT_TRUE(c.err.contains("文件有密码保护")) << c.err.toStdString();
        EXPECT_TRUE(refused.swfFiles().isEmpty());
        said += a.out + a.err + b.out + b.err + c.out + c.err;
        for (const Work* w : {&alone, &served, &refused}) {
            said += readIniKey(w->dir.filePath("tovk.ini"), "elog", "log", QString());
        }
    }
    service.process.terminate();
    ASSERT_TRUE(service.process.waitForFinished(60000));
    said += QString::fromUtf8(service.process.readAllStandardOutput() +
                              service.process.readAllStandardError());
    for (const QString& p : kListed) EXPECT_FALSE(said.contains(p)) << said.toStdString();
}

}  // namespace
}  // namespace quorv
