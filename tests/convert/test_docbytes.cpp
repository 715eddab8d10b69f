// What a document's bytes tell before the office reads it, on files LibreOffice wrote
// (tests/convert/files: locked.* saved with the password "abc", plain.* without one) and
// on files broken here.
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <stdexcept>

#include "convert/docbytes.h"
#include "core/failreason.h"
#include "core/runtimeerror.h"
#include "fakes/test_files.h"
#include "fidelity/minidocx.h"
#include "gtest/gtest.h"

namespace quorv {
namespace {

const QString kFiles = QStringLiteral(DOC_FILES_DIR);

struct Scratch {
    QTemporaryDir dir;
    QString put(const QString& name, const QByteArray& bytes) {
        const QString path = dir.filePath(name);
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
        return path;
    }
    QString copy(const char* fixture, const QString& name) {
        return put(name, readAll(kFiles + "/" + fixture));
    }
};

TEST(DocumentBytes, PasswordProtectionIsReadFromEachFormatsOwnMark) {
    Scratch s;
    const struct {
        const char* fixture;
        const char* as;
        FailReason expected;
    } cases[] = {
        {"locked.doc", "a.doc", FailReason::Password},
        {"plain.doc", "a.doc", FailReason::None},
        {"locked.xls", "a.xls", FailReason::Password},
        {"plain.xls", "a.xls", FailReason::None},
        {"locked.docx", "a.docx", FailReason::Password},
        {"locked.xlsx", "a.xlsx", FailReason::Password},
        {"plain.xlsx", "a.xlsx", FailReason::None},
        // The container, not the name, tells an encrypted package.
        {"locked.docx", "a.DOCM", FailReason::Password},
        {"locked.xlsx", "a.dotx", FailReason::Password},
        // A Word header's flag is not looked for in a workbook, nor the reverse.
        {"locked.doc", "a.xls", FailReason::None},
        {"locked.xls", "a.doc", FailReason::None},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(documentBytesProblem(s.copy(c.fixture, QString::fromLatin1(c.as))), c.expected)
            << c.fixture << " as " << c.as;
    }
}

TEST(DocumentBytes, AWord2007NameMustHoldAPackageWithItsMainPart) {
    Scratch s;
    const QByteArray good = readAll(kFiles + "/plain.docx");
    ASSERT_GT(good.size(), 1000);
    QByteArray noise(4096, '\0');
    QRandomGenerator gen(18);
    for (char& c : noise) c = char(gen.bounded(256));
    testing::DocxOptions renamed;
    renamed.mainPart = "word/b.xml";
    testing::DocxOptions renamedPacked = renamed;
    renamedPacked.deflate = true;
    testing::DocxOptions fromRoot = renamed;
    fromRoot.relsTarget = "/word/b.xml";
    testing::DocxOptions dangling = renamed;
    dangling.relsTarget = "word/c.xml";
    const struct {
        const char* what;
        QString path;
        FailReason expected;
    } cases[] = {
        {"a real one", s.put("good.docx", good), FailReason::None},
        {"a real one as .docm", s.put("good.docm", good), FailReason::None},
        {"cut in half", s.put("half.docx", good.left(good.size() / 2)), FailReason::Damaged},
        {"one byte short", s.put("short.docx", good.chopped(1)), FailReason::Damaged},
        {"random bytes", s.put("noise.dotx", noise), FailReason::Damaged},
        {"empty", s.put("empty.docx", QByteArray()), FailReason::Damaged},
        {"plain text", s.put("text.docx", "Hello, just text\n"), FailReason::Damaged},
        {"a workbook package", s.copy("plain.xlsx", "book.docx"), FailReason::Damaged},
        {"a workbook in an OLE file", s.copy("plain.xls", "old.docx"), FailReason::Damaged},
        // A Word 97 document under a 2007 name is a real document, read as a .doc.
        {"a Word 97 document", s.copy("plain.doc", "old97.docx"), FailReason::None},
        {"a locked Word 97 document", s.copy("locked.doc", "lock97.docx"), FailReason::Password},
        // The package's relationships name the main part, whatever its name.
        {"main part word/b.xml", s.put("b.docx", testing::docxBytes({}, renamed)),
         FailReason::None},
        {"main part word/b.xml, deflated", s.put("bz.docx", testing::docxBytes({}, renamedPacked)),
         FailReason::None},
        {"named from the root", s.put("root.docx", testing::docxBytes({}, fromRoot)),
         FailReason::None},
        {"relationships naming no member", s.put("none.docx", testing::docxBytes({}, dangling)),
         FailReason::Damaged},
        // Other names are left to the office, which reads text and web pages fine.
        {"random bytes as .txt", s.put("noise.txt", noise), FailReason::None},
        {"random bytes as .xlsx", s.put("noise.xlsx", noise), FailReason::None},
        {"random bytes as .doc", s.put("noise.doc", noise), FailReason::None},
        {"a missing file", s.dir.filePath("gone.docx"), FailReason::None},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(documentBytesProblem(c.path), c.expected) << c.what;
    }
    bool ok = false;
    const QStringList names = zipMemberNames(good, &ok);
    EXPECT_TRUE(ok);
    EXPECT_TRUE(names.contains("word/document.xml")) << names.join(' ').toStdString();
    zipMemberNames(good.left(good.size() - 30), &ok);
    EXPECT_FALSE(ok);
}

// Bytes that look like the start of a container but lead nowhere: never a crash, never a
// refusal of a format the detector does not judge.
TEST(DocumentBytes, BrokenContainersAreJudgedWithoutReadingPastTheEnd) {
    Scratch s;
    const QByteArray ole = readAll(kFiles + "/locked.doc");
    QByteArray loops = ole;
    // Every table entry names sector 0: each chain ends in a loop there.
    for (qsizetype at = 512; at + 4 <= loops.size(); at += 4) {
        loops[at] = 0;
        loops[at + 1] = loops[at + 2] = loops[at + 3] = 0;
    }
    EXPECT_EQ(documentBytesProblem(s.put("head.doc", ole.left(600))), FailReason::None);
    EXPECT_EQ(documentBytesProblem(s.put("loops.doc", loops)), FailReason::None);
    EXPECT_EQ(documentBytesProblem(s.put("head.docx", ole.left(600))), FailReason::Damaged);
    QByteArray endOnly("PK\x05\x06", 4);
    endOnly += QByteArray(18, '\xFF');
    EXPECT_EQ(documentBytesProblem(s.put("end.docx", endOnly)), FailReason::Damaged);
}

TEST(FailReasons, ACaughtErrorGivesItsOwnCauseOrTheGenericOne) {
    RuntimeError timedOut(kErrCallFailed, "Word.application", "documents.open");
    timedOut.setReason(FailReason::Timeout);
    EXPECT_EQ(failReasonOf(std::make_exception_ptr(timedOut)), FailReason::Timeout);
    EXPECT_EQ(failReasonText(FailReason::Timeout), "转换超时");
    const RuntimeError plain(kErrMemberNotFound, "Word.application", "x");
    EXPECT_EQ(failReasonOf(std::make_exception_ptr(plain)), FailReason::Unknown);
    EXPECT_EQ(failReasonOf(std::make_exception_ptr(std::runtime_error("x"))), FailReason::Unknown);
    EXPECT_EQ(failReasonOf(nullptr), FailReason::None);
    EXPECT_EQ(failReasonText(FailReason::None), QString());
}

}  // namespace
}  // namespace quorv
