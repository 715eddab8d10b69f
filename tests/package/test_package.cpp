// The Debian package as a user gets it: built with cpack, installed with apt-get, its
// programs run from where the package put them, and removed again.
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include "core/ini.h"
#include "engines/office/office_docs.h"
#include "engines/office/officesession.h"
#include "fakes/qt_print.h"
#include "fakes/test_files.h"
#include "gtest/gtest.h"
#include "programs/quorvcli/cli_run.h"
#include "programs/quorvcli/cliconvert.h"

namespace quorv {
namespace {

struct Ran {
    int status = -1;
    QString output;
};

Ran run(const QString& program, const QStringList& args, int timeoutMs = 600000) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    Ran r;
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished(5000);
        r.output = QString::fromUtf8(p.readAll()) + "\n(timed out)";
        return r;
    }
    r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.output = QString::fromUtf8(p.readAll());
    return r;
}

bool packageInstalled() {
    const Ran r = run("dpkg-query", {"-W", "-f=${Status}", "quorvane"});
    return r.status == 0 && r.output.contains("install ok installed");
}

// apt-get waits for a lock another installation holds instead of failing at once.
QStringList aptGet(const QStringList& args) {
    return QStringList{"-y", "-q", "-o", "DPkg::Lock::Timeout=600"} + args;
}

class Package : public ::testing::Test {
  protected:
    void SetUp() override {
        if (geteuid() != 0) GTEST_SKIP() << "installing a package needs root";
        // A quorvane package the user installed is not ours to replace or remove.
        if (packageInstalled()) GTEST_SKIP() << "a quorvane package is installed already";
        ASSERT_TRUE(out.isValid());
        const Ran built =
            run(QUORV_CPACK, {"-G", "DEB", "--config", QUORV_CPACK_CONFIG, "-B", out.path()});
        ASSERT_EQ(built.status, 0) << built.output.toStdString();
        const QStringList debs = QDir(out.path()).entryList({"quorvane_*.deb"}, QDir::Files);
        ASSERT_EQ(debs.size(), 1) << built.output.toStdString();
        deb = out.filePath(debs.first());
        installing = true;
        const Ran installed = run("apt-get", aptGet({"install", "--no-install-recommends", deb}));
        ASSERT_EQ(installed.status, 0) << installed.output.toStdString();
        ASSERT_TRUE(packageInstalled());
    }
    void TearDown() override {
        if (!installing) return;
        const Ran removed = run("apt-get", aptGet({"purge", "quorvane"}));
        EXPECT_EQ(removed.status, 0) << removed.output.toStdString();
        EXPECT_FALSE(packageInstalled());
        EXPECT_FALSE(QFileInfo::exists("/usr/bin/quorvcli"));
    }

    QTemporaryDir out;
    QString deb;
    bool installing = false;
};

TEST_F(Package, InstallsRunsAndRemovesCleanly) {
    // What the package declares it needs besides the libraries it links.
    const QString depends = run("dpkg-deb", {"-f", deb, "Depends"}).output;
    for (const char* need :
         {"libreoffice-writer", "libreoffice-calc", "libreoffice-impress", "ghostscript",
          "qt6-translations-l10n", "fonts-noto-cjk", "fonts-crosextra-carlito",
          "fonts-crosextra-caladea", "fonts-lxgw-wenkai", "libqt6widgets6", "libpoppler-cpp",
          "libxlsxwriter"}) {
        EXPECT_TRUE(depends.contains(need)) << need << " missing in: " << depends.toStdString();
    }
    EXPECT_TRUE(run("dpkg-deb", {"-f", deb, "Recommends"}).output.contains("texlive-lang-chinese"));

    for (const char* path :
         {"/usr/bin/Quorvane", "/usr/bin/quorvcli", "/usr/bin/quorvbatch", "/usr/bin/quorv-pdf2swf",
          "/usr/bin/quorvane", "/usr/bin/quorvoffice"}) {
        EXPECT_TRUE(QFileInfo(path).isExecutable()) << path;
    }
    for (const char* path : {"/usr/share/icons/hicolor/scalable/apps/quorvane.svg",
                             "/usr/share/icons/hicolor/48x48/apps/quorvane.png",
                             "/usr/share/icons/hicolor/256x256/apps/quorvane.png"}) {
        EXPECT_GT(QFileInfo(path).size(), 0) << path;
    }
    // The licence and those of what the package starts and draws with.
    const QString copyright = QString::fromUtf8(readAll("/usr/share/doc/quorvane/copyright"));
    EXPECT_TRUE(copyright.contains("License: GPL-3+")) << copyright.toStdString();
    for (const char* named : {"ghostscript", "fonts-noto-cjk", "fonts-lxgw-wenkai", "MPL-2.0"}) {
        EXPECT_TRUE(copyright.contains(named)) << named;
    }
    // The office service's user unit starts the installed service.
    const QString unit = QString::fromUtf8(readAll("/usr/lib/systemd/user/quorvoffice.service"));
    EXPECT_TRUE(unit.contains("\nExecStart=/usr/bin/quorvoffice\n")) << unit.toStdString();
    EXPECT_TRUE(unit.contains("\nWantedBy=default.target\n")) << unit.toStdString();
    // The menu entry, read as a desktop would (";" ends list items here, it is no comment).
    QMap<QString, QString> entry;
    const QStringList lines =
        QString::fromUtf8(readAll("/usr/share/applications/quorvane.desktop")).split('\n');
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_EQ(lines.first(), "[Desktop Entry]");
    for (const QString& line : lines) {
        const qsizetype eq = line.indexOf('=');
        if (eq > 0) entry.insert(line.left(eq), line.mid(eq + 1));
    }
    EXPECT_EQ(entry.value("Type"), "Application");
    EXPECT_EQ(entry.value("Name"), "Quorvane");
    EXPECT_EQ(entry.value("Icon"), "quorvane");
    EXPECT_EQ(entry.value("Categories"), "Office;");
    EXPECT_EQ(entry.value("Exec"), "quorvane");
    EXPECT_TRUE(entry.value("Comment").contains("转换")) << entry.value("Comment").toStdString();

    // The installed quorvcli turns a .docx into an SWF with the installed quorv-pdf2swf.
    QTemporaryDir work;
    const QString swf = work.filePath("swf");
    ASSERT_TRUE(QDir().mkpath(swf));
    ASSERT_TRUE(QDir().mkpath(work.filePath("pdf")));
    ASSERT_EQ(writeIniKey(work.filePath("tovk.ini"), "other", "swfpath", swf), 1);
    ASSERT_EQ(writeIniKey(work.filePath("tovk.ini"), "other", "flashv", "8"), 1);
    const QString docx = work.filePath("安装 测试.docx");
    {
        office::OfficeSession session;
        const QString flat = work.filePath("src.fodt");
        ASSERT_TRUE(testing::writeFlatText(flat, {"安装后的转换", "second page"}));
        ASSERT_TRUE(testing::saveThroughWord(flat, docx, 16));
    }
    const testing::CliRun r = testing::runCli(work.path(), {docx});
    EXPECT_EQ(r.status, kCliConverted) << r.err.toStdString();
    EXPECT_FALSE(r.crashed);
    EXPECT_EQ(testing::officesLeftBy(r.pid), QStringList());
    const QByteArray data = readAll(swf + "/安装 测试.swf");
    ASSERT_GE(data.size(), 8);
    EXPECT_TRUE(data.startsWith("CWS") || data.startsWith("FWS"));
    EXPECT_EQ(int(data[3]), 8);

    // The menu entry's command starts the program in the user's settings folder, made
    // when missing.
    QTemporaryDir home;
    QProcess gui;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_CONFIG_HOME", home.filePath("config"));
    env.insert("QT_QPA_PLATFORM", "offscreen");
    gui.setProcessEnvironment(env);
    gui.setWorkingDirectory(work.path());
    gui.start("/usr/bin/quorvane", {});
    ASSERT_TRUE(gui.waitForStarted(10000));
    const QString settingsDir = home.filePath("config/quorvane");
    const QString cwdLink = QStringLiteral("/proc/%1/cwd").arg(gui.processId());
    const QString exeLink = QStringLiteral("/proc/%1/exe").arg(gui.processId());
    QString cwd, exe;
    for (int i = 0; i < 100 && exe != "/usr/bin/Quorvane"; ++i) {
        QThread::msleep(100);
        cwd = QFileInfo(cwdLink).symLinkTarget();
        exe = QFileInfo(exeLink).symLinkTarget();
    }
    gui.kill();
    gui.waitForFinished(5000);
    EXPECT_EQ(exe, "/usr/bin/Quorvane");
    EXPECT_EQ(cwd, settingsDir);
    EXPECT_TRUE(QFileInfo(settingsDir + "/pdf").isDir());
}

}  // namespace
}  // namespace quorv
