#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <vector>

#include "core/defaults.h"
#include "core/globals.h"
#include "fakes/qt_print.h"
#include "gtest/gtest.h"

namespace quorv {
namespace {

struct ReaderCase {
    Key key;
    Reader reader;
    const char* expected;  // nullptr: the bundled quorv-pdf2swf
};

// What each reader sees when there is no settings file at all.
const std::vector<ReaderCase> kMissingFileCases = {
    {Key::Swftprg, Reader::SettingsWindow, nullptr},
    {Key::Swftprg, Reader::SwfService, nullptr},
    {Key::Swftprg, Reader::CliStart, nullptr},
    {Key::Langd, Reader::SettingsWindow, ""},
    {Key::Langd, Reader::CliStart, ""},
    {Key::Flashv, Reader::SwfService, "9"},
    {Key::Flashv, Reader::SettingsWindow, "9"},
    {Key::Swfpath, Reader::SettingsWindow, ""},
    {Key::Swfpath, Reader::CliStart, ""},
    {Key::Mpath, Reader::MainWindow, ""},
    {Key::Sftype, Reader::SettingsWindow, "#mp3#wav"},
    {Key::Sftype, Reader::MainWindow, ""},
    {Key::Awordhz, Reader::SettingsWindow, "#txt#aspx"},
    {Key::Awordhz, Reader::MainWindow, ""},
    {Key::Wsavehz, Reader::SettingsWindow, "htm"},
    {Key::Wsavehz, Reader::BatchDriver, ""},
    {Key::Wsavely, Reader::SettingsWindow, "8"},
    {Key::Wsavely, Reader::BatchDriver, ""},
    {Key::Sfbtm, Reader::MainWindow, "n"},
    {Key::Sfbtm, Reader::SettingsWindow, "n"},
    {Key::Scgs, Reader::MainWindow, ""},
    {Key::Wjls, Reader::MainWindow, "0"},
    {Key::Wjjp, Reader::MainWindow, ""},
    {Key::Fdt, Reader::MainWindow, ""},
    {Key::Sfzxh, Reader::MainWindow, ""},
    {Key::Sfth, Reader::MainWindow, "y"},
    {Key::Sfth, Reader::SettingsWindow, "y"},
};

TEST(Defaults, EveryReaderUsesItsOwnDefaultWhenTheFileIsMissing) {
    QTemporaryDir dir;
    const QString profile = profilePathFor(dir.path());
    for (const ReaderCase& c : kMissingFileCases) {
        const QString expected = c.expected ? QString::fromUtf8(c.expected) : bundledPdf2swfPath();
        EXPECT_EQ(readSetting(profile, c.key, c.reader), expected)
            << keyInfo(c.key).name << " reader " << static_cast<int>(c.reader);
    }
    EXPECT_FALSE(QFile::exists(profile)) << "reading must never create the file";
}

TEST(Defaults, ToolDefaultsToTheConverterBesideTheProgram) {
    EXPECT_TRUE(bundledPdf2swfPath().endsWith("/quorv-pdf2swf"));
    EXPECT_EQ(readerDefault(Key::Langd, Reader::SwfService), "");
}

TEST(Defaults, RestoreWritesTheTwentyOneLinesInOrder) {
    QTemporaryDir dir;
    const QString profile = profilePathFor(dir.path());
    ASSERT_EQ(restoreIniDefaults(profile), IniRestoreResult::Ok);
    QFile f(profile);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QString expected = QStringLiteral(
                                 "[other]\nswftprg=%1\nlangd=\nflashv=9\nswfpath=\n"
                                 "[elog]\nlog=\n"
                                 "[gsly]\nmpath=\nsftype=#mp3#wav\nawordhz=#txt#aspx\n"
                                 "wsavehz=htm\nwsavely=8\nsfbtm=n\n"
                                 "[sdef]\nscgs=4\nwjls=0\nwjjp=\nfdt=2017-10-01 13:36:55\n"
                                 "sfzxh=y\nsfth=y\n")
                                 .arg(bundledPdf2swfPath());
    EXPECT_EQ(QString::fromUtf8(f.readAll()), expected);
}

TEST(Defaults, RestoreThenReadGivesTheFileDefaultForEveryKeyWhateverTheReader) {
    QTemporaryDir dir;
    const QString profile = profilePathFor(dir.path());
    ASSERT_EQ(writeSetting(profile, Key::Flashv, "12"), 1);
    ASSERT_EQ(writeSetting(profile, Key::Log, "junk"), 1);
    ASSERT_EQ(restoreIniDefaults(profile), IniRestoreResult::Ok);
    for (int k = 0; k <= static_cast<int>(Key::Sfth); ++k) {
        const Key key = static_cast<Key>(k);
        // The main window defaults sftype to empty; after restore it must see the file's.
        EXPECT_EQ(readSetting(profile, key, Reader::MainWindow), fileDefault(key))
            << keyInfo(key).name;
        EXPECT_EQ(readSetting(profile, key, Reader::BatchDriver), fileDefault(key))
            << keyInfo(key).name;
    }
}

TEST(Defaults, AnEmptyStoredValueIsNotReplacedByTheDefault) {
    QTemporaryDir dir;
    const QString profile = profilePathFor(dir.path());
    ASSERT_EQ(writeSetting(profile, Key::Swftprg, ""), 1);
    ASSERT_EQ(writeSetting(profile, Key::Sfth, ""), 1);
    EXPECT_EQ(readSetting(profile, Key::Swftprg, Reader::SwfService), "");
    EXPECT_EQ(readSetting(profile, Key::Sfth, Reader::MainWindow), "");
}

TEST(Defaults, ProfileSitsInTheWorkingDirectoryEvenAtTheRoot) {
    EXPECT_EQ(profilePathFor("/home/u/app"), "/home/u/app/tovk.ini");
    // ap_path of the root folder is empty, so the profile is still a single path.
    EXPECT_EQ(profilePathFor(""), "/tovk.ini");
}

}  // namespace
}  // namespace quorv
