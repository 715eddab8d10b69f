// Hostile input through the main window, over the fake office: names that a shell would
// execute or split, a name that is not UTF-8, a settings file of garbage, and an output
// folder that stops taking files during a run.
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QtTest/QTest>
#include <algorithm>

#include "core/defaults.h"
#include "fakes/fake_office.h"
#include "fakes/qt_print.h"
#include "fakes/test_files.h"
#include "fakes/window_fixture.h"
#include "gtest/gtest.h"
#include "gui/mainwin/frnoptions.h"
#include "hostile_names.h"

namespace quorv {
namespace {

using testing::hostileBases;
using testing::kHostileFolder;
using testing::markersUnder;

// A stand-in for the SWF tool that copies its input to the file after -o, quoting
// everything as a careful script does.
const char* kToolScript = R"(#!/bin/sh
out=""
prev=""
for a in "$@"; do [ "$prev" = "-o" ] && out="$a"; prev="$a"; done
cat "$1" > "$out"
)";

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& content) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
    f.write(content);
}

// Every file below `root`, as paths relative to it, sorted.
QStringList treeFiles(const QString& root) {
    QStringList files;
    QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) files << QDir(root).relativeFilePath(it.next());
    files.sort();
    return files;
}

struct HostileWindow : testing::WindowFixture {
    testing::FakeOfficeServer office;
    w_frn w{desktop};
    QTemporaryDir src;
    QTemporaryDir out;

    HostileWindow() {
        // The fake office takes one caller at a time.
        writeSetting(profile, Key::Pool, "1");
        w.open(QSize(1280, 768));
        w.show();
        w.sle_2->setText(out.path());
        const QString tool = dir.path() + "/tool/swf";
        writeFile(tool, kToolScript);
        QFile(tool).setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        writeSetting(profile, Key::Swftprg, tool);
        writeSetting(profile, Key::Wsavehz, "htm");
        writeSetting(profile, Key::Wsavely, "8");
        QDir().mkpath(dir.path() + "/pdf");
    }
    void scan(const QString& folder) {
        w.cbx_2->setChecked(true);
        desktop.folderAnswers = {folder};
        QTest::mouseClick(w.cb_1, Qt::LeftButton);
    }
    QStringList runIn(OutputMode mode) {
        w.setOutputMode(mode);
        desktop.messages.clear();
        QTest::mouseClick(w.cb_3, Qt::LeftButton);
        QStringList r;
        for (int i = 1; i <= w.list().rowCount(); ++i) {
            r << w.list().cellText(i, "zml") + w.list().cellText(i, "filey") + ":" +
                     w.list().cellText(i, "jg");
        }
        return r;
    }
    void clearOut() {
        QDir(out.path()).removeRecursively();
        QDir().mkpath(out.path());
    }
};

// The tree the hostile names are scanned from: a hostile folder holding a .doc for every
// hostile name and a hostile subfolder with one more.
QStringList makeHostileTree(const QString& root) {
    QStringList rel;
    for (const QString& base : hostileBases()) rel << base + ".doc";
    rel << "sub;`touch quorv_hostile_marker`/$(touch quorv_hostile_marker) 2.docx";
    for (const QString& r : rel) writeFile(root + "/" + r, "source " + r.toUtf8());
    return rel;
}

TEST(HostileNames, ScannedAndConvertedInEveryModeWithNothingExecuted) {
    HostileWindow b;
    const QString root = b.src.path() + "/" + kHostileFolder;
    QStringList rel = makeHostileTree(root);
    QDir::setCurrent(b.dir.path());  // where a shell started by us would have worked
    b.scan(root);

    QStringList listed;
    for (int i = 1; i <= b.w.list().rowCount(); ++i) {
        EXPECT_EQ(b.w.list().cellText(i, "ypath"), root + "/" + b.w.list().cellText(i, "zml"));
        listed << b.w.list().cellText(i, "zml") + b.w.list().cellText(i, "filey");
    }
    listed.sort();
    rel.sort();
    EXPECT_EQ(listed, rel);

    b.w.cbx_3->setChecked(true);  // keep the hostile subfolder below the output folder
    const auto expectOutputs = [&](OutputMode mode, const QString& ext, const QString& tag) {
        b.clearOut();
        const QStringList rows = b.runIn(mode);
        QStringList expected;
        for (const QString& r : rel) {
            const bool blank = QFileInfo(r).fileName().contains(' ');
            const bool refused = mode == OutputMode::Swf && blank;
            EXPECT_TRUE(rows.contains(r + (refused ? ":空格" : ":成功")))
                << tag.toStdString() << " " << r.toStdString();
            if (refused) continue;
            const QString target =
                ext.isEmpty() ? r : r.left(r.lastIndexOf('.')) + QStringLiteral(".") + ext;
            expected << target;
            const QByteArray data = readAll(b.out.path() + "/" + target);
            if (mode == OutputMode::Original) {
                EXPECT_EQ(data, "source " + r.toUtf8()) << r.toStdString();
            } else {
                // The office was asked for exactly this source.
                EXPECT_TRUE(data.contains("fake output of " + (root + "/" + r).toUtf8()))
                    << tag.toStdString() << " " << r.toStdString();
            }
        }
        expected.sort();
        EXPECT_EQ(treeFiles(b.out.path()), expected) << tag.toStdString();
        EXPECT_EQ(b.texts(), QStringList{"转换结束"});
    };
    expectOutputs(OutputMode::Pdf, "pdf", "pdf");
    expectOutputs(OutputMode::Xps, "xps", "xps");
    expectOutputs(OutputMode::Custom, "htm", "custom");
    expectOutputs(OutputMode::Swf, "swf", "swf");
    expectOutputs(OutputMode::Original, QString(), "copy");
    EXPECT_EQ(treeFiles(root), rel) << "the sources are untouched";
    EXPECT_TRUE(QDir(b.dir.path() + "/pdf").entryList(QDir::Files).isEmpty());
    EXPECT_EQ(markersUnder({b.dir.path(), b.src.path(), b.out.path()}), QStringList());
}

TEST(HostileNames, NameThatIsNotUtf8IsListedAndFailsAloneInEveryMode) {
    HostileWindow b;
    const QString root = b.src.path() + "/raw";
    writeFile(root + "/good.doc", "good");
    const QByteArray rawName = QFile::encodeName(root) + "/bad\xff\xfe name.doc";
    const int fd = ::open(rawName.constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, "raw", 3), 3);
    ::close(fd);
    b.scan(root);
    ASSERT_EQ(b.w.list().rowCount(), 2);
    EXPECT_TRUE(b.w.list().cellText(1, "filey").startsWith("bad"));
    EXPECT_EQ(b.w.list().cellText(2, "filey"), "good.doc");

    for (const auto& [mode, out] :
         {std::pair{OutputMode::Pdf, "good.pdf"}, std::pair{OutputMode::Xps, "good.xps"},
          std::pair{OutputMode::Custom, "good.htm"}, std::pair{OutputMode::Original, "good.doc"}}) {
        b.clearOut();
        const QStringList rows = b.runIn(mode);
        ASSERT_EQ(rows.size(), 2);
        EXPECT_TRUE(rows[0].endsWith(":失败")) << rows[0].toStdString();
        EXPECT_EQ(rows[1], "good.doc:成功");
        EXPECT_EQ(treeFiles(b.out.path()), QStringList{QString::fromUtf8(out)});
        EXPECT_EQ(b.texts(), QStringList{"转换结束"}) << "no run-time error";
    }
    struct stat st {};
    ASSERT_EQ(::stat(rawName.constData(), &st), 0);
    EXPECT_EQ(st.st_size, 3) << "the file itself is untouched";
    EXPECT_EQ(readAll(root + "/good.doc"), "good");
    EXPECT_EQ(QDir(root).entryList(QDir::Files), QStringList{"good.doc"})
        << "nothing new beside the sources";
    // Qt cannot name the file, so it cannot remove it with the folder.
    ::unlink(rawName.constData());
}

TEST(HostileSettings, GarbageSettingsFileOpensTheWindowWithDefaults) {
    testing::WindowFixture plain;
    w_frn reference{plain.desktop};
    reference.open(QSize(1280, 768));
    const QString awordhz = globals().awordhz;
    const QString sfth = globals().sfth;

    const QByteArray junk = testing::garbageSettings();
    testing::WindowFixture fx(junk);
    w_frn w{fx.desktop};
    QElapsedTimer clock;
    clock.start();
    w.open(QSize(1280, 768));
    w.show();
    EXPECT_LT(clock.elapsed(), 30000) << "no quadratic reading of a large file";
    EXPECT_EQ(w.outputMode(), reference.outputMode());
    EXPECT_EQ(w.ddlb_1->currentIndex(), reference.ddlb_1->currentIndex());
    EXPECT_EQ(w.sle_2->text(), reference.sle_2->text());
    EXPECT_EQ(w.cbx_1->isChecked(), reference.cbx_1->isChecked());
    EXPECT_EQ(globals().awordhz, awordhz);
    EXPECT_EQ(globals().sfth, sfth);
    // A run over the garbage file still works and reports its end.
    QTemporaryDir src, out;
    writeFile(src.path() + "/a.doc", "a");
    fx.desktop.folderAnswers = {src.path()};
    QTest::mouseClick(w.cb_1, Qt::LeftButton);
    w.sle_2->setText(out.path());
    w.setOutputMode(OutputMode::Original);
    QTest::mouseClick(w.cb_3, Qt::LeftButton);
    EXPECT_EQ(w.list().cellText(1, "jg"), "成功");
    EXPECT_EQ(readAll(out.path() + "/a.doc"), "a");
}

TEST(HostileOutput, FolderThatTurnsReadOnlyLeavesNoPartialFileAndTheSettingsIntact) {
    HostileWindow b;
    for (const char* name : {"a.doc", "b.doc", "c.doc"}) writeFile(b.src.path() + "/" + name, name);
    b.scan(b.src.path());
    ASSERT_EQ(b.w.list().rowCount(), 3);
    const QByteArray settings = readAll(b.profile);

    // Copies into a folder that takes no file: every row fails, no temporary file stays.
    if (!makeUnwritable(b.out.path(), true)) GTEST_SKIP() << "cannot make a folder unwritable";
    const QStringList copied = b.runIn(OutputMode::Original);
    makeUnwritable(b.out.path(), false);
    EXPECT_EQ(copied, (QStringList{"a.doc:失败", "b.doc:失败", "c.doc:失败"}));
    EXPECT_EQ(treeFiles(b.out.path()), QStringList());
    EXPECT_EQ(b.texts(), QStringList{"转换结束"});

    // A conversion run whose folder turns read-only after its first output: that output
    // stays whole, no later row succeeds, nothing half-written remains.
    bool locked = false;
    // As each result reaches the list; on a pool of one the next row starts after that.
    const QMetaObject::Connection hook =
        QObject::connect(&b.w.list(), &QAbstractItemModel::dataChanged, &b.w.list(), [&] {
            if (!locked && QFileInfo::exists(b.out.path() + "/a.pdf")) {
                locked = makeUnwritable(b.out.path(), true);
            }
        });
    const QStringList converted = b.runIn(OutputMode::Pdf);
    QObject::disconnect(hook);
    makeUnwritable(b.out.path(), false);
    ASSERT_TRUE(locked);
    ASSERT_EQ(converted.size(), 3);
    EXPECT_EQ(converted[0], "a.doc:成功");
    EXPECT_FALSE(converted[1].endsWith(":成功"));
    EXPECT_FALSE(converted[2].endsWith(":成功"));
    EXPECT_EQ(treeFiles(b.out.path()), QStringList{"a.pdf"});
    EXPECT_TRUE(readAll(b.out.path() + "/a.pdf").startsWith("fake output of"));
    EXPECT_EQ(b.desktop.busyDepth, 0);
    EXPECT_EQ(b.office.liveApplications(), 0);
    EXPECT_EQ(readAll(b.profile), settings) << "the settings file is intact";
}

}  // namespace
}  // namespace quorv
