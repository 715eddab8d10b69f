// How a row's output reaches its name: whole, with what belongs to it, or not at all,
// even when the process is killed on the way.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>

#include "convert/batch/placement.h"
#include "gtest/gtest.h"

namespace quorv {
namespace {

bool writeFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(path.section(QLatin1Char('/'), 0, -2));
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Everything below a folder, hidden entries and folders included, relative and sorted.
QStringList entriesBelow(const QString& folder) {
    QStringList names;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) names << QDir(folder).relativeFilePath(it.next());
    names.sort();
    return names;
}

// The part folders in a target.
QStringList partsIn(const QString& folder) {
    return QDir(folder).entryList({".quorv-part-*"}, QDir::Dirs | QDir::Hidden);
}

TEST(OutputPart, AWebPageComesWithItsPicturesAndItsNameLast) {
    QTemporaryDir target;
    const QString t = target.path() + "/";
    ASSERT_TRUE(writeFile(t + "page.html", "an earlier page"));
    ASSERT_TRUE(writeFile(t + "page_files/old.png", "an earlier picture"));
    const QString source = t + "page.docx";
    ASSERT_TRUE(writeFile(source, "the source"));
    {
        OutputPart part(t);
        const QString in = part.folder();
        ASSERT_FALSE(in.isEmpty());
        ASSERT_TRUE(in.startsWith(t));
        ASSERT_TRUE(writeFile(in + "page.html", "<img src=\"page_html_1.png\">"));
        ASSERT_TRUE(writeFile(in + "page_html_1.png", "picture 1"));
        ASSERT_TRUE(writeFile(in + "page_files/new.png", "picture 2"));
        bool told = false;
        const OutputPart::Placed p =
            part.place(in + "page.html", false, source, [&](const QString& w, const QString& to) {
                told = true;
                // The page's parts are there before the page takes its name.
                EXPECT_EQ(readAll(t + "page_html_1.png"), "picture 1");
                EXPECT_FALSE(QFile::exists(to));
                EXPECT_EQ(w, in + "page.html");
                return true;
            });
        EXPECT_TRUE(told);
        EXPECT_EQ(p.reason, FailReason::None);
        // Not replacing: a numbered name, the earlier page as it was.
        EXPECT_EQ(p.path, t + "0page.html");
    }
    EXPECT_EQ(readAll(t + "0page.html"), "<img src=\"page_html_1.png\">");
    EXPECT_EQ(readAll(t + "page.html"), "an earlier page");
    EXPECT_EQ(entriesBelow(t),
              (QStringList{"0page.html", "page.docx", "page.html", "page_files",
                           "page_files/new.png", "page_files/old.png", "page_html_1.png"}))
        << "nothing of the part folder is left";
}

TEST(OutputPart, NeitherTheSourceNorARefusedNameIsWrittenOver) {
    QTemporaryDir target;
    const QString t = target.path() + "/";
    ASSERT_TRUE(writeFile(t + "a.txt", "the source"));
    ASSERT_TRUE(writeFile(t + "b.pdf", "an earlier file"));
    {
        OutputPart part(t);
        ASSERT_TRUE(writeFile(part.folder() + "a.txt", "converted"));
        const OutputPart::Placed p = part.place(part.folder() + "a.txt", true, t + "a.txt");
        EXPECT_EQ(p.reason, FailReason::NoOutput);
        EXPECT_TRUE(p.path.isEmpty());
    }
    {
        OutputPart part(t);
        ASSERT_TRUE(writeFile(part.folder() + "b.pdf", "new"));
        const OutputPart::Placed p =
            part.place(part.folder() + "b.pdf", true, t + "b.doc",
                       [](const QString&, const QString&) { return false; });
        EXPECT_EQ(p.reason, FailReason::OutputUnwritable) << "a journal that cannot note it";
    }
    {
        OutputPart part(t);
        ASSERT_TRUE(writeFile(part.folder() + "b.pdf", "new"));
        EXPECT_EQ(part.place(part.folder() + "b.pdf", true, t + "b.doc").path, t + "b.pdf");
    }
    EXPECT_EQ(readAll(t + "a.txt"), "the source");
    EXPECT_EQ(readAll(t + "b.pdf"), "new") << "replacing takes the name itself";
    EXPECT_EQ(entriesBelow(t), (QStringList{"a.txt", "b.pdf"}));
}

// Runs `step` in a child process that is killed with SIGKILL where `step` raises it.
void inAKilledChild(const std::function<void()>& step) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        step();
        ::_exit(0);  // not reached when the step is killed
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
}

TEST(OutputPart, AKilledRowLeavesNoFileUnderItsNameAndTheNextRunClearsWhatItLeft) {
    QTemporaryDir target;
    const QString t = target.path() + "/";
    const QByteArray whole(1 << 20, 'x');
    // Killed while writing, and killed just before the rename.
    inAKilledChild([&] {
        OutputPart part(t);
        QFile f(part.folder() + "a.pdf");
        if (f.open(QIODevice::WriteOnly)) {
            f.write(whole.left(1000));
            f.flush();
        }
        ::raise(SIGKILL);
    });
    inAKilledChild([&] {
        OutputPart part(t);
        writeFile(part.folder() + "b.pdf", whole);
        writeFile(part.folder() + "b_html_1.png", "picture");
        part.place(part.folder() + "b.pdf", true, t + "b.doc", [](const QString&, const QString&) {
            ::raise(SIGKILL);
            return true;
        });
    });
    // Neither name exists; the picture that went ahead of b.pdf is whole.
    EXPECT_FALSE(QFile::exists(t + "a.pdf"));
    EXPECT_FALSE(QFile::exists(t + "b.pdf"));
    EXPECT_EQ(readAll(t + "b_html_1.png"), "picture");
    const QStringList left = partsIn(t);
    ASSERT_EQ(left.size(), 2);
    // What was killed before its rename is whole in its part folder, for a journal to
    // finish the rename from.
    bool found = false;
    for (const QString& p : left) found = found || readAll(t + p + "/b.pdf") == whole;
    EXPECT_TRUE(found);

    // A part of a process still running is kept; the dead ones go.
    OutputPart live(t);
    ASSERT_FALSE(live.folder().isEmpty());
    clearLeftoverParts(t);
    EXPECT_EQ(partsIn(t), QStringList{QDir(live.folder()).dirName()});
}

}  // namespace
}  // namespace quorv
