// Sources protected by a password against a real LibreOffice: each kind converts with its
// password listed, and fails as protected, quickly, without it or with wrong ones only.
// The files are made by files/make_protected.py.
#include <signal.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMutex>
#include <QTemporaryDir>
#include <memory>
#include <optional>

#include "convert/automation.h"
#include "convert/contentfind.h"
#include "convert/docbytes.h"
#include "convert/wordconvert.h"
#include "engines/office/officeinstance.h"
#include "engines/office/officesession.h"
#include "fakes/backend_change.h"
#include "fakes/protected_files.h"
#include "fakes/test_files.h"
#include "gtest/gtest.h"
#include "office_docs.h"

namespace quorv {
namespace {

using office::OfficeInstance;
using office::OfficeSession;

const QString kFiles = QStringLiteral(PROTECTED_FILES_DIR);
using testing::kBookPassword;
using testing::kWordPassword;

OfficeSession* session = nullptr;

class SessionEnvironment : public ::testing::Environment {
  public:
    void SetUp() override { session = new OfficeSession; }
    void TearDown() override {
        delete session;
        session = nullptr;
        EXPECT_TRUE(OfficeInstance::runningPids().isEmpty());
    }
};
const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new SessionEnvironment);

// Every message logged while it lives, to show that no password reaches a log.
class MessageLog {
  public:
    MessageLog() {
        current = this;
        previous_ =
            qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString& m) {
                const QMutexLocker lock(&current->mutex_);
                current->lines_ << m;
            });
    }
    ~MessageLog() { qInstallMessageHandler(previous_); }
    QString text() {
        const QMutexLocker lock(&mutex_);
        return lines_.join('\n');
    }

  private:
    static inline MessageLog* current = nullptr;
    QtMessageHandler previous_ = nullptr;
    QMutex mutex_;
    QStringList lines_;
};

class ProtectedOffice : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        shortWait_.emplace(testing::outputWait(20000));
    }
    void TearDown() override { shortWait_.reset(); }
    std::optional<testing::BackendChange> shortWait_;
    // A copy under a Chinese name with a blank, as users name their files.
    QString source(const QString& fixture) {
        const QString to = dir.filePath(QStringLiteral("机密 ") + fixture);
        EXPECT_TRUE(QFile::copy(kFiles + "/" + fixture, to)) << fixture.toStdString();
        return to;
    }
    // What a conversion with these passwords raised, and how long it took.
    FailReason refusal(const QString& src, const QStringList& passwords, qint64* ms) {
        WordOptions opts;
        opts.passwords = passwords;
        QElapsedTimer t;
        t.start();
        FailReason reason = FailReason::None;
        try {
            const ConvertOutcome c = word2xps(src, "pdf", dir.path() + "/", 17, opts);
            ADD_FAILURE() << "converted: " << c.output.toStdString();
        } catch (const RuntimeError& e) {
            reason = e.reason();
            const QString report = errorReportText(e.record()) + QString::fromUtf8(e.what());
            for (const QString& p : passwords) EXPECT_FALSE(report.contains(p)) << p.toStdString();
        }
        *ms = t.elapsed();
        return reason;
    }
    QTemporaryDir dir;
};

TEST_F(ProtectedOffice, EachWordKindConvertsWithItsPasswordAndIsRefusedWithoutIt) {
    for (const char* kind :
         {"locked-rc4.doc", "locked-cryptoapi.doc", "locked-std.docx", "locked-agile.docx"}) {
        SCOPED_TRACE(kind);
        const QString src = source(QString::fromLatin1(kind));
        MessageLog log;
        qint64 ms = 0;
        EXPECT_EQ(refusal(src, {}, &ms), FailReason::Password);
        EXPECT_LT(ms, 15000) << "no password: refused, not waited on";
        EXPECT_EQ(refusal(src, {"wrong", kBookPassword, kWordPassword.left(5)}, &ms),
                  FailReason::Password);
        EXPECT_LT(ms, 15000) << "wrong passwords: each try fails at once";

        WordOptions opts;
        opts.passwords = QStringList{"wrong", kWordPassword};
        const ConvertOutcome c = word2xps(src, "pdf", dir.path() + "/", 17, opts);
        ASSERT_TRUE(c.written());
        const QString text = pdfText(c.output);
        EXPECT_TRUE(text.contains("QZX17")) << text.toStdString();
        EXPECT_TRUE(text.contains(QStringLiteral("密码保护的文档"))) << text.toStdString();
        // The output carries no password: poppler reads it without one.
        EXPECT_TRUE(
            runText("pdfinfo", {c.output}).contains(QRegularExpression("Encrypted:\\s+no")));
        QFile::remove(c.output);
        for (const QString& p : {kWordPassword, kBookPassword, QStringLiteral("wrong")}) {
            EXPECT_FALSE(log.text().contains(p)) << log.text().toStdString();
        }
    }
}

TEST_F(ProtectedOffice, SearchFindsTheTextInsideProtectedDocumentsAndWorkbooks) {
    const QString book = source("locked.xls");
    const std::optional<bool> inBook =
        excelFind(book, QStringLiteral("QZX17 表格"), {kWordPassword, kBookPassword});
    ASSERT_TRUE(inBook.has_value());
    EXPECT_TRUE(*inBook) << "found on the second sheet";
    EXPECT_EQ(errorOf([&] { excelFind(book, "QZX17", {}); }).number, kErrCallFailed);
    try {
        excelFind(book, "QZX17", {kWordPassword});
        ADD_FAILURE() << "opened with a wrong password";
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.reason(), FailReason::Password);
    }

    OleObject word;
    ASSERT_TRUE(connectSearchWord(word));
    for (const char* kind : {"locked-agile.docx", "locked-cryptoapi.doc"}) {
        SCOPED_TRACE(kind);
        const QString doc = source(QString::fromLatin1(kind));
        EXPECT_TRUE(wordFind(word, doc, QStringLiteral("lock TEXT"), {"x", kWordPassword}));
        EXPECT_FALSE(wordFind(word, doc, QStringLiteral("不在文中"), {kWordPassword}));
        EXPECT_EQ(errorOf([&] { wordFind(word, doc, "QZX17", {"x"}); }).event, "documents.open");
    }
    EXPECT_EQ(word.get({"documents", "count"}).toInt(), 0) << "each one closed again";
    word.call({"quit"});
}

// Copies in Word's own formats are written without the source's password as well.
TEST_F(ProtectedOffice, SavedCopiesCarryNoPassword) {
    WordOptions opts;
    opts.passwords = QStringList{kWordPassword};
    const QString copies = dir.path() + "/copies/";
    ASSERT_TRUE(QDir().mkpath(copies));
    for (const char* kind : {"locked-rc4.doc", "locked-std.docx"}) {
        SCOPED_TRACE(kind);
        const QString src = source(QString::fromLatin1(kind));
        for (const auto& [ext, code] : {std::pair{"docx", 16}, std::pair{"doc", 0}}) {
            const ConvertOutcome c = word2any(src, ext, copies, code, opts);
            ASSERT_TRUE(c.written());
            EXPECT_EQ(documentBytesProblem(c.output), FailReason::None) << ext;
            // And it opens and converts with no password listed.
            const ConvertOutcome pdf = word2xps(c.output, "pdf", dir.path() + "/", 17, {});
            ASSERT_TRUE(pdf.written());
            EXPECT_TRUE(pdfText(pdf.output).contains("QZX17"));
            QFile::remove(c.output);
            QFile::remove(pdf.output);
        }
    }
}

// Each password is a load of its own under the watchdog: an office that stops answering
// during one ends that try and the rest, as a timeout, not as a wrong password.
TEST_F(ProtectedOffice, TheWatchdogBoundsEveryTry) {
    const QString src = source("locked-std.docx");
    std::shared_ptr<OfficeInstance> office = session->acquire();
    ASSERT_TRUE(office);
    const qint64 pid = office->pid();
    office.reset();
    const int saved = OfficeInstance::callTimeoutMs();
    OfficeInstance::setCallTimeoutMs(1500);
    ::kill(pid_t(pid), SIGSTOP);
    qint64 ms = 0;
    const FailReason reason = refusal(src, {"wd-eins", "wd-zwei", "wd-drei", kWordPassword}, &ms);
    OfficeInstance::setCallTimeoutMs(saved);
    EXPECT_EQ(reason, FailReason::Timeout);
    EXPECT_LT(ms, 3 * 1500 + 5000) << "the tries after a timeout are not made";
    EXPECT_TRUE(testing::waitGone(pid));
    // The next conversion reaches a fresh instance and the password works again.
    WordOptions opts;
    opts.passwords = QStringList{kWordPassword};
    EXPECT_TRUE(word2xps(src, "pdf", dir.path() + "/", 17, opts).written());
}

}  // namespace
}  // namespace quorv
