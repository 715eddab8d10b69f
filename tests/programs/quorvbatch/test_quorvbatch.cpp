// quorvbatch's parts that need no real office: its command line, how files are dealt to
// shares, its journal, the requests it refuses before anything is written, and what it
// writes for each file, run inside the test on the fake office.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <map>

#include "batch_run.h"
#include "core/failreason.h"
#include "engines/checks/outputchecks.h"
#include "fakes/fake_office.h"
#include "fakes/test_files.h"
#include "gtest/gtest.h"
#include "programs/quorvbatch/batchoptions.h"
#include "programs/quorvbatch/batchrun.h"
#include "programs/quorvbatch/journal.h"

namespace quorv {
namespace {

using testing::runBatchHere;

BatchOptions parsed(const QStringList& args) {
    const ParsedOptions p = parseBatchOptions(args);
    EXPECT_TRUE(p.options) << p.error.toStdString();
    return p.options.value_or(BatchOptions{});
}

TEST(QuorvbatchOptions, DefaultsAreTheWindowsWithGoingOnPastErrors) {
    const BatchOptions o = parsed({"in", "--out", "out"});
    EXPECT_EQ(o.inputs, QStringList{"in"});
    EXPECT_EQ(o.out, "out");
    EXPECT_EQ(o.mode, BatchMode::Pdf);
    EXPECT_FALSE(o.replace);
    EXPECT_FALSE(o.recursive);
    EXPECT_FALSE(o.keepSubfolders);
    EXPECT_TRUE(o.goOn);
    EXPECT_FALSE(o.jobs.has_value());
    EXPECT_EQ(o.shards, 1);
    EXPECT_EQ(o.szf, QString());
}

TEST(QuorvbatchOptions, EveryOptionLandsInItsField) {
    const BatchOptions o = parsed({"--recursive", "--hidden", "--keep-subfolders", "--mode", "swf",
                                   "--out", "o", "--replace", "--jobs", "3", "--no-go-on",
                                   "--resume", "--shard", "2/5", "--files-from", "-", "a", "b"});
    EXPECT_TRUE(o.recursive);
    EXPECT_TRUE(o.includeHidden);
    EXPECT_TRUE(o.keepSubfolders);
    EXPECT_EQ(o.mode, BatchMode::Swf);
    EXPECT_TRUE(o.replace);
    EXPECT_EQ(o.jobs, 3);
    EXPECT_FALSE(o.goOn);
    EXPECT_TRUE(o.resume);
    EXPECT_EQ(o.shard, 2);
    EXPECT_EQ(o.shards, 5);
    EXPECT_EQ(o.filesFrom, "-");
    EXPECT_EQ(o.inputs, (QStringList{"a", "b"}));
}

TEST(QuorvbatchOptions, TypesAndDatesAreTheWindowsFileTypeChoices) {
    const std::map<QString, QString> choices{
        {"word", "1"},   {"excel", "2"},        {"image", "3"}, {"archive", "4"},
        {"custom", "5"}, {"presentation", "7"}, {"office", "8"}};
    for (const auto& [type, szf] : choices) {
        EXPECT_EQ(parsed({"--type", type, "--out", "o", "i"}).szf, szf) << type.toStdString();
    }
    const BatchOptions since = parsed({"--since", "2024-01-31 08:00:00", "--out", "o", "i"});
    EXPECT_EQ(since.szf, "6");
    EXPECT_EQ(since.since, "2024-01-31 08:00:00");
}

TEST(QuorvbatchOptions, PdfaTakesAPartOfLevelBOrNoneAndElseTheSettingsDecide) {
    EXPECT_FALSE(parsed({"--out", "o", "i"}).pdfa.has_value());
    const std::map<QString, int> parts{{"none", 0}, {"1b", 1}, {"2b", 2}, {"3b", 3}};
    for (const auto& [name, part] : parts) {
        EXPECT_EQ(parsed({"--pdfa", name, "--out", "o", "i"}).pdfa, part) << name.toStdString();
    }
}

TEST(QuorvbatchOptions, NamesAfterADoubleDashAreInputs) {
    EXPECT_EQ(parsed({"--out", "o", "--", "--replace"}).inputs, QStringList{"--replace"});
}

TEST(QuorvbatchOptions, UnusableRequestsSayWhy) {
    const QList<QStringList> bad{
        {"in"},                                                 // no output folder
        {"--out", "o"},                                         // no source
        {"--out"},                                              // its value missing
        {"--mode", "doc", "--out", "o", "i"},                   // no such mode
        {"--jobs", "0", "--out", "o", "i"},                     // pool out of range
        {"--jobs", "17", "--out", "o", "i"},                    //
        {"--jobs", "x", "--out", "o", "i"},                     //
        {"--shard", "3/2", "--out", "o", "i"},                  // share beyond the count
        {"--shard", "0/2", "--out", "o", "i"},                  // shares count from 1
        {"--shard", "1/0", "--out", "o", "i"},                  //
        {"--shard", "2", "--out", "o", "i"},                    //
        {"--type", "movie", "--out", "o", "i"},                 // no such type
        {"--since", "2024-13-01 00:00:00", "--out", "o", "i"},  // no such date
        {"--since", "2024-01-01", "--out", "o", "i"},           // time missing
        {"--type", "word", "--since", "2024-01-01 00:00:00", "--out", "o", "i"},  // one choice
        {"--frobnicate", "--out", "o", "i"},                                      // unknown option
        {"--pdfa", "1a", "--out", "o", "i"},  // level a is not offered
        {"--pdfa", "4b", "--out", "o", "i"},  //
        {"--pdfa"},                           //
    };
    for (const QStringList& args : bad) {
        const ParsedOptions p = parseBatchOptions(args);
        EXPECT_FALSE(p.options) << args.join(' ').toStdString();
        EXPECT_FALSE(p.error.isEmpty()) << args.join(' ').toStdString();
    }
}

TEST(QuorvbatchPdfOptions, EachOptionSetsItsOwnAndLeavesTheRestToTheSettings) {
    const BatchOptions none = parsed({"--out", "o", "i"});
    EXPECT_FALSE(none.pdf.openPassword || none.pdf.watermark || none.pdf.mergeFile ||
                 none.pdf.noPrint || none.pdf.keepParts);
    const BatchOptions o = parsed(
        {"--open-password", "开门", "--permissions-password", "p w", "--forbid", "print,change",
         "--watermark", "内部资料", "--watermark-size", "60", "--watermark-opacity", "100",
         "--watermark-single", "--merge", "全部", "--merge-drop-parts", "--out", "o", "i"});
    EXPECT_EQ(o.pdf.openPassword, "开门");
    EXPECT_EQ(o.pdf.permissionsPassword, "p w");
    EXPECT_EQ(o.pdf.noPrint, true);
    EXPECT_FALSE(o.pdf.noCopy.has_value());
    EXPECT_EQ(o.pdf.noChange, true);
    EXPECT_EQ(o.pdf.watermark, "内部资料");
    EXPECT_EQ(o.pdf.watermarkSize, 60);
    EXPECT_EQ(o.pdf.watermarkOpacity, 100);
    EXPECT_EQ(o.pdf.watermarkTiled, false);
    EXPECT_EQ(o.pdf.mergeFile, "全部");
    EXPECT_EQ(o.pdf.keepParts, false);
    EXPECT_EQ(o.inputs, QStringList{"i"});
}

TEST(QuorvbatchPdfOptions, PasswordsComeFromAFileOrTheEnvironmentOutOfSightOfPs) {
    QTemporaryDir dir;
    QFile f(dir.filePath("pw"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("秘密 1\r\nsecond line\n");
    f.close();
    const BatchOptions fromFile = parsed({"--open-password-file", f.fileName(), "--out", "o", "i"});
    EXPECT_EQ(fromFile.pdf.openPassword, "秘密 1");

    qputenv(kOpenPasswordEnv, "env-open");
    qputenv(kPermissionsPasswordEnv, "env-perm");
    const BatchOptions fromEnv = parsed({"--out", "o", "i"});
    // An option given wins over the environment.
    const BatchOptions given = parsed({"--open-password", "given", "--out", "o", "i"});
    qunsetenv(kOpenPasswordEnv);
    qunsetenv(kPermissionsPasswordEnv);
    EXPECT_EQ(fromEnv.pdf.openPassword, "env-open");
    EXPECT_EQ(fromEnv.pdf.permissionsPassword, "env-perm");
    EXPECT_EQ(given.pdf.openPassword, "given");
    EXPECT_FALSE(parsed({"--out", "o", "i"}).pdf.openPassword.has_value());
}

TEST(QuorvbatchPdfOptions, UnusableValuesAreRefused) {
    const QList<QStringList> bad{
        {"--forbid", "print,fly", "--out", "o", "i"},                    // no such permission
        {"--forbid", "", "--out", "o", "i"},                             //
        {"--watermark-size", "5", "--out", "o", "i"},                    // below the smallest size
        {"--watermark-size", "201", "--out", "o", "i"},                  //
        {"--watermark-opacity", "0", "--out", "o", "i"},                 // invisible
        {"--watermark-opacity", "x", "--out", "o", "i"},                 //
        {"--merge", "../up", "--out", "o", "i"},                         // would leave the folder
        {"--merge", "", "--out", "o", "i"},                              //
        {"--merge-drop-parts", "--out", "o", "i"},                       // nothing merged to keep
        {"--open-password-file", "/nonexistent/pw", "--out", "o", "i"},  // unreadable
        {"--open-password"},                                             // value missing
    };
    for (const QStringList& args : bad) {
        const ParsedOptions p = parseBatchOptions(args);
        EXPECT_FALSE(p.options) << args.join(' ').toStdString();
        EXPECT_FALSE(p.error.isEmpty()) << args.join(' ').toStdString();
    }
}

TEST(QuorvbatchShards, EveryNameThatCouldClaimOneOutputFallsInOneShare) {
    // "0a.doc" can be given the name "0a.pdf" that a.doc's numbered copy would take.
    const QString key = shardKey(QString(), "a.doc");
    for (const char* name : {"a.docx", "A.DOC", "0a.doc", "12a.pdf", "a"}) {
        EXPECT_EQ(shardKey(QString(), name), key) << name;
    }
    EXPECT_NE(shardKey("sub/", "a.doc"), key);
    EXPECT_EQ(shardKey("sub/", "a.doc"), shardKey("sub/", "a.DOCX"));
    EXPECT_NE(shardKey(QString(), "b.doc"), key);
}

TEST(QuorvbatchShards, TheShareIsFnv1aOfTheKeySoEveryMachineDealsAlike) {
    // FNV-1a 64 of "a" is 0xaf63dc4c8601ec8c; modulo 10 that is 6, share 7.
    EXPECT_EQ(shardOf("a", 10), 7);
    EXPECT_EQ(shardOf("sub/report", 7), 3);
    EXPECT_EQ(shardOf("anything", 1), 1);
}

TEST(QuorvbatchShards, SharesAreAboutEven) {
    std::map<int, int> count;
    for (int i = 0; i < 3000; ++i) ++count[shardOf(QStringLiteral("folder/doc%1").arg(i), 3)];
    ASSERT_EQ(count.size(), 3u);
    for (const auto& [share, n] : count) {
        EXPECT_GE(share, 1);
        EXPECT_LE(share, 3);
        EXPECT_GT(n, 850) << share;
        EXPECT_LT(n, 1150) << share;
    }
}

TEST(QuorvbatchFailures, OnlyTheOfficesOwnFailuresAreRetryable) {
    const std::map<FailReason, std::pair<const char*, bool>> table{
        {FailReason::Damaged, {"damaged", false}},
        {FailReason::Password, {"password", false}},
        {FailReason::Timeout, {"timeout", true}},
        {FailReason::OfficeDied, {"office-died", true}},
        {FailReason::OfficeUnavailable, {"office-unavailable", true}},
        {FailReason::WrongType, {"wrong-type", false}},
        {FailReason::SourceMissing, {"source-missing", false}},
        {FailReason::OutputUnwritable, {"output-unwritable", false}},
        {FailReason::NoOutput, {"no-output", false}},
        {FailReason::SwfFailed, {"swf-failed", false}},
        {FailReason::BlankInName, {"blank-in-name", false}},
        {FailReason::UnknownKind, {"unknown-kind", false}},
        {FailReason::NothingToPrint, {"nothing-to-print", false}},
        {FailReason::NoSuchFormat, {"no-such-format", false}},
        {FailReason::Unknown, {"unknown", false}},
    };
    for (const auto& [reason, expected] : table) {
        EXPECT_EQ(failReasonName(reason), expected.first);
        EXPECT_EQ(failureRetryable(reason), expected.second) << expected.first;
    }
    EXPECT_EQ(failReasonName(FailReason::None), QString());
    EXPECT_FALSE(failureRetryable(FailReason::None));
}

TEST(QuorvbatchPages, WhatIsNoPdfHasNoPage) {
    QTemporaryDir dir;
    const QString fake = dir.filePath("a.pdf");
    QFile f(fake);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("%PDF-1.4\nnot really\n");
    f.close();
    EXPECT_EQ(checks::pdfPageCount(fake), 0);
    EXPECT_EQ(checks::pdfPageCount(dir.filePath("missing.pdf")), 0);
}

// A journal as a killed run leaves it, written line by line.
class QuorvbatchJournal : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        out = dir.path() + "/";
        path = Journal::pathFor(out, 1, 1);
    }
    void put(const QString& name, const QByteArray& bytes = "data") {
        QDir().mkpath(QFileInfo(out + name).absolutePath());
        QFile f(out + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    static JournalEntry entry(const QString& source, const QString& output) {
        return JournalEntry{source, 10, 20, "pdf|n|flat", output, "ok", QString()};
    }
    QTemporaryDir dir;
    QString out;
    QString path;
};

TEST_F(QuorvbatchJournal, EachShareKeepsAJournalOfItsOwn) {
    EXPECT_EQ(Journal::pathFor("/o/", 1, 1), "/o/.quorvbatch-journal.jsonl");
    EXPECT_EQ(Journal::pathFor("/o/", 2, 3), "/o/.quorvbatch-journal-2-of-3.jsonl");
}

TEST_F(QuorvbatchJournal, AKilledRenameIsCompletedOrForgotten) {
    {
        Journal j(path);
        ASSERT_TRUE(j.append(entry("/s/done.doc", "done.pdf")));
        // Killed before the rename: the output is still under its temporary name.
        put("w/1/moved.pdf");
        ASSERT_TRUE(j.appendPending(entry("/s/moved.doc", "moved.pdf"), out + "w/1/moved.pdf"));
        // Killed after the rename, before the entry.
        put("placed.pdf");
        ASSERT_TRUE(j.appendPending(entry("/s/placed.doc", "placed.pdf"), out + "w/2/placed.pdf"));
        // Killed with the output neither here nor there (its folder was cleared).
        ASSERT_TRUE(j.appendPending(entry("/s/lost.doc", "lost.pdf"), out + "w/3/lost.pdf"));
    }
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::Append));
        f.write("{\"source\":\"/s/torn.doc\",\"size\":1");  // killed mid-line
    }
    Journal j(path);
    j.load();
    j.recover(out);
    EXPECT_EQ(j.entries().keys(), (QStringList{"/s/done.doc", "/s/moved.doc", "/s/placed.doc"}));
    EXPECT_TRUE(QFileInfo(out + "moved.pdf").isFile());
    EXPECT_FALSE(QFileInfo::exists(out + "w/1/moved.pdf"));
    EXPECT_FALSE(QFileInfo::exists(out + "lost.pdf"));

    // Compacted: one line per source, sorted, and read back the same.
    ASSERT_TRUE(j.compact());
    EXPECT_EQ(readAll(path).count('\n'), 3);
    Journal again(path);
    again.load();
    EXPECT_EQ(again.entries().keys(), j.entries().keys());
    EXPECT_EQ(again.entries().value("/s/moved.doc").output, "moved.pdf");
    EXPECT_EQ(again.entries().value("/s/moved.doc").size, 10);
    EXPECT_EQ(again.entries().value("/s/moved.doc").mtime, 20);
}

TEST_F(QuorvbatchJournal, TheLastEntryOfASourceCounts) {
    Journal j(path);
    JournalEntry failed = entry("/s/a.doc", QString());
    failed.status = "failed";
    failed.reason = "timeout";
    ASSERT_TRUE(j.append(failed));
    ASSERT_TRUE(j.append(entry("/s/a.doc", "a.pdf")));
    Journal back(path);
    back.load();
    ASSERT_EQ(back.entries().size(), 1);
    EXPECT_EQ(back.entries().first().status, "ok");
    back.clear();
    EXPECT_FALSE(QFileInfo::exists(path));
}

// The program refuses before it writes anything, so no output folder is made.
class QuorvbatchRefused : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        work = dir.path();
        ASSERT_TRUE(QDir().mkpath(work + "/in/sub"));
        QFile f(work + "/in/sub/a.doc");
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    void expectRefused(const QStringList& args, const QString& message) {
        const testing::BatchRun r = runBatchHere(work, args);
        EXPECT_FALSE(r.crashed);
        EXPECT_EQ(r.status, kBatchRejected);
        EXPECT_TRUE(r.err.contains(message)) << r.err.toStdString();
        EXPECT_EQ(r.out, QString());
        EXPECT_FALSE(QFileInfo::exists(work + "/out"));
    }
    QTemporaryDir dir;
    QString work;
};

TEST_F(QuorvbatchRefused, SharesOfARecursiveScanIntoOneFolderCouldCollide) {
    expectRefused({"--recursive", "--shard", "1/2", "--out", "out", "in"}, "--keep-subfolders");
}

TEST_F(QuorvbatchRefused, AFolderListedForSharesIsScannedAndRefusedAlike) {
    QFile list(work + "/list.txt");
    ASSERT_TRUE(list.open(QIODevice::WriteOnly));
    list.write((work + "/in\n").toUtf8());
    list.close();
    expectRefused({"--recursive", "--shard", "2/2", "--out", "out", "--files-from", "list.txt"},
                  "--keep-subfolders");
}

TEST_F(QuorvbatchRefused, ANamedSourceThatIsNotThere) {
    expectRefused({"--out", "out", "in/none.doc"}, "源文件不存在：in/none.doc");
}

TEST_F(QuorvbatchRefused, AnUnknownOptionShowsTheUsage) {
    expectRefused({"--out", "out", "--quick", "in"}, "用法：quorvbatch");
}

TEST_F(QuorvbatchRefused, AListThatCannotBeRead) {
    expectRefused({"--out", "out", "--files-from", "none.txt"}, "无法读取文件列表：none.txt");
}

TEST_F(QuorvbatchRefused, AnArchiveCannotBeEncrypted) {
    expectRefused({"--pdfa", "2b", "--open-password", "x", "--out", "out", "in"},
                  "PDF/A归档格式不能加密");
    expectRefused({"--pdfa", "1b", "--watermark", "内部", "--out", "out", "in"}, "PDF/A-1b");
}

TEST_F(QuorvbatchRefused, AnOutputFolderThatIsAFile) {
    QFile f(work + "/file");
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    const testing::BatchRun r = runBatchHere(work, {"--out", "file", "in"});
    EXPECT_EQ(r.status, kBatchRejected);
    EXPECT_TRUE(r.err.contains("输出目录无法写入")) << r.err.toStdString();
}

TEST(QuorvbatchHelp, TheUsageGoesToStandardOutput) {
    QTemporaryDir dir;
    const testing::BatchRun r = runBatchHere(dir.path(), {"--help"});
    EXPECT_EQ(r.status, kBatchAllDone);
    EXPECT_TRUE(r.out.contains("--shard K/N"));
    EXPECT_EQ(r.out, batchUsage());
    EXPECT_EQ(r.err, QString());
}

// Each refusal as a script reads it: status 1, nothing on standard output, and on standard
// error exactly one line that says why (with the usage after a command line it cannot use).
TEST_F(QuorvbatchRefused, EachRefusalSaysExactlyWhyAndWritesNothing) {
    const QString usage = batchUsage();
    const QList<std::pair<QStringList, QString>> cases{
        {{"in"}, "quorvbatch：缺少 --out 输出目录\n" + usage},
        {{"--jobs", "17", "--out", "out", "in"}, "quorvbatch：--jobs 应为 1 到 16：17\n" + usage},
        {{"--merge-drop-parts", "--out", "out", "in"},
         "quorvbatch：--merge-drop-parts 需要 --merge\n" + usage},
        {{"--out", "out", "in/none.doc"}, "源文件不存在：in/none.doc\n"},
        {{"--files-from", "none.txt", "--out", "out"}, "无法读取文件列表：none.txt\n"},
        {{"--mode", "xps", "--pdfa", "2b", "--out", "out", "in"},
         "quorvbatch：PDF/A 只用于 pdf 输出，不能用于 xps\n"},
        {{"--pdfa", "1b", "--open-password", "x", "--out", "out", "in"},
         "quorvbatch：PDF/A归档格式不能加密，请去掉密码和权限限制\n"},
        {{"--pdfa", "1b", "--watermark", "内部", "--watermark-opacity", "50", "--out", "out", "in"},
         "quorvbatch：PDF/A-1b不能加半透明水印，请选PDF/A-2b或3b\n"},
    };
    for (const auto& [args, message] : cases) {
        SCOPED_TRACE(args.join(' ').toStdString());
        const testing::BatchRun r = runBatchHere(work, args);
        EXPECT_EQ(r.status, kBatchRejected);
        EXPECT_EQ(r.err, message);
        EXPECT_EQ(r.out, QString());
        EXPECT_FALSE(QFileInfo::exists(work + "/out"));
    }
}

// Runs on the fake office, in a working folder with no settings file: the defaults.
class QuorvbatchRun : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        work = dir.path();
        ASSERT_TRUE(QDir().mkpath(work + "/in"));
        office.setOutputFor("a.doc", testing::FakeOfficeServer::Output::Whole);
        put("in/a.doc");
        put("in/b.pdf", "%PDF-1.4\n");
    }
    void put(const QString& name, const QByteArray& bytes = "doc") {
        QFile f(work + "/" + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    QString in(const QString& name) const { return work + "/in/" + name; }
    testing::FakeOfficeServer office;
    QTemporaryDir dir;
    QString work;
};

// The line of each file: every field a script reads, one compact JSON object a line.
TEST_F(QuorvbatchRun, EachFileGetsOneCompactLineWithItsOutcome) {
    const testing::BatchRun r =
        runBatchHere(work, {"--jobs", "1", "--out", "out", in("a.doc"), in("b.pdf")});
    EXPECT_EQ(r.status, kBatchSomeFailed) << r.err.toStdString();
    EXPECT_EQ(r.err, QString());
    ASSERT_EQ(r.lines.size(), 2) << r.out.toStdString();
    EXPECT_TRUE(r.out.endsWith('\n'));
    for (const QJsonObject& line : r.lines) {
        EXPECT_TRUE(r.out.contains(
            QString::fromUtf8(QJsonDocument(line).toJson(QJsonDocument::Compact)) + '\n'));
    }

    QJsonObject ok = testing::lineOf(r.lines, in("a.doc"));
    EXPECT_GE(ok.take("ms").toInt(-1), 0);
    EXPECT_EQ(ok, (QJsonObject{{"source", in("a.doc")},
                               {"output", work + "/out/a.pdf"},
                               {"status", "ok"},
                               {"reason", QJsonValue()},
                               {"reasonText", QJsonValue()},
                               {"retryable", false},
                               {"pages", 1}}));
    EXPECT_EQ(checks::pdfPageCount(work + "/out/a.pdf"), 1);

    QJsonObject failed = testing::lineOf(r.lines, in("b.pdf"));
    failed.remove("ms");
    EXPECT_EQ(failed, (QJsonObject{{"source", in("b.pdf")},
                                   {"output", QJsonValue()},
                                   {"status", "failed"},
                                   {"reason", "wrong-type"},
                                   {"reasonText", failReasonText(FailReason::WrongType)},
                                   {"retryable", false},
                                   {"pages", QJsonValue()}}));
    // Nothing of the run's own is left but its journal.
    EXPECT_EQ(testing::filesBelow(work + "/out"),
              (QStringList{".quorvbatch-journal.jsonl", "a.pdf"}));
}

TEST_F(QuorvbatchRun, AnOfficeThatCannotStartIsWorthRetrying) {
    office.setCreateFails(true);
    const testing::BatchRun r = runBatchHere(work, {"--out", "out", in("a.doc")});
    EXPECT_EQ(r.status, kBatchSomeRetryable);
    ASSERT_EQ(r.lines.size(), 1);
    EXPECT_EQ(r.lines[0].value("reason"), "office-unavailable");
    EXPECT_EQ(r.lines[0].value("retryable"), true);
    EXPECT_EQ(r.lines[0].value("output"), QJsonValue());
}

// The list comes from standard input; blank lines and line ends do not count, a listed
// file that is gone is reported with the others, and the paths are the working folder's.
TEST_F(QuorvbatchRun, TheListOfFilesFromReadsStandardInput) {
    const testing::BatchRun r = runBatchHere(work, {"--files-from", "-", "--out", "out"},
                                             "in/a.doc\r\n\nin/gone.doc\nin/a.doc\n");
    EXPECT_EQ(r.status, kBatchSomeFailed) << r.err.toStdString();
    ASSERT_EQ(r.lines.size(), 2) << r.out.toStdString();
    EXPECT_EQ(testing::lineOf(r.lines, in("a.doc")).value("status"), "ok");
    EXPECT_EQ(testing::lineOf(r.lines, in("gone.doc")).value("status").toString(), "failed");
    EXPECT_TRUE(QFileInfo(work + "/out/a.pdf").isFile());
}

TEST_F(QuorvbatchRun, ProgressIsShownOnlyOnATerminal) {
    const testing::BatchRun quiet = runBatchHere(work, {"--out", "quiet", in("a.doc")});
    EXPECT_EQ(quiet.err, QString());
    const testing::BatchRun shown = runBatchHere(work, {"--out", "shown", in("a.doc")}, {}, true);
    EXPECT_EQ(shown.status, kBatchAllDone);
    EXPECT_TRUE(shown.err.startsWith("\r已完成 1/1，每分钟 ")) << shown.err.toStdString();
    EXPECT_TRUE(shown.err.endsWith("\n"));
    // The lines themselves are the same either way.
    EXPECT_EQ(shown.lines.size(), 1);
    EXPECT_EQ(shown.out.count('\n'), 1);
}

// A run that stops at an error (no going on) says so the way the error report says it,
// on its own error stream, and keeps what it has.
TEST_F(QuorvbatchRun, ARunTimeErrorIsReportedOnTheErrorStream) {
    office.failMember("activedocument.exportasfixedformat", kErrCallFailed);
    const testing::BatchRun r = runBatchHere(work, {"--no-go-on", "--out", "out", in("a.doc")});
    EXPECT_EQ(r.status, kBatchRuntimeError);
    EXPECT_TRUE(r.err.contains(QString("错误编号：%1\r\n").arg(kErrCallFailed)))
        << r.err.toStdString();
    // The row it stopped at was reported before the error ended the run.
    ASSERT_EQ(r.lines.size(), 1) << r.out.toStdString();
    EXPECT_EQ(r.lines[0].value("status").toString(), "failed");
}

}  // namespace
}  // namespace quorv
