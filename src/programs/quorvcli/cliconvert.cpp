#include "programs/quorvcli/cliconvert.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdio>
#include <memory>

#include "convert/batch/run.h"
#include "core/defaults.h"
#include "core/filenames.h"
#include "core/globals.h"
#include "core/quorvapp.h"
#include "engines/office/officeclient.h"

namespace quorv {

namespace {

void writeLog(const QString& profile, const QString& value) {
    // A failed write cannot be reported anywhere else; the exit status still says it.
    writeSetting(profile, Key::Log, value);
}

// The line just before the error report: what went wrong and with which file, in the
// words the list shows, so that a calling program can log it.
void printFailureLine(const QString& source) {
    const QString line = failReasonText(failReasonOf(std::current_exception())) +
                         QStringLiteral("：") + source + QStringLiteral("\r\n");
    std::fputs(line.toUtf8().constData(), stderr);
    std::fflush(stderr);
}

// The run of a request: on the office service when one runs ("attach"), else on an engine
// of this program's own, with the same outcome either way.
BatchRunResult runRequest(const BatchRequest& request) {
    const ServiceAnswer answer =
        runOnOfficeService(withAbsolutePaths(request, QDir::currentPath()));
    if (answer.state == ServiceAnswer::State::Done) return answer.result;
    if (answer.state == ServiceAnswer::State::Lost) {
        // As when its own instance dies under a call: the error, not a second try.
        RuntimeError e(kErrCallFailed, QStringLiteral("quorvoffice"), QStringLiteral("convert"));
        e.setServerDied(true);
        e.setReason(FailReason::OfficeDied);
        throw e;
    }
    return runToEnd(request);
}

// The intermediate PDF goes to a folder of this call's own inside pdf/, so that calls at
// once with sources of the same name from different folders cannot meet; what the caller
// gets there afterwards is what one call alone leaves.
class IntermediateFolder {
  public:
    explicit IntermediateFolder(const QString& pdfFolder) : shared_(pdfFolder) {
        if (QDir().mkpath(shared_)) {
            own_ = std::make_unique<QTemporaryDir>(shared_ + QStringLiteral(".quorvcli-XXXXXX"));
            if (!own_->isValid()) own_.reset();
        }
    }
    // Where this call writes; pdf/ itself when no folder of its own could be made, so that
    // such a failure is the one a call alone meets.
    QString path() const { return own_ ? own_->path() + QLatin1Char('/') : shared_; }
    // Moves what is left (the PDF of a call without SWF) into pdf/, replacing one of the
    // same name; the folder of its own goes.
    ~IntermediateFolder() {
        if (!own_) return;
        const QDir dir(own_->path());
        for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden)) {
            QFile::remove(shared_ + name);
            QFile::rename(dir.filePath(name), shared_ + name);
        }
    }

  private:
    QString shared_;
    std::unique_ptr<QTemporaryDir> own_;
};

// Word to PDF to SWF, or PDF to SWF: a request of one row.
int cliConvert(const QString& source, const QString& npath, const GlobalSettings& g,
               const QString& stamp) {
    const QFileInfo file(source);
    const IntermediateFolder pdfFolder(g.ap_path + QStringLiteral("/pdf/"));
    // An SWF of the same name is kept and the new one numbered; the intermediate PDF
    // replaces an earlier one; any name is taken as it comes.
    RequestOverrides overrides;
    overrides.poolSize = 1;
    overrides.goOn = false;  // an error is the call's, as the error report
    overrides.sfth = QStringLiteral("n");
    overrides.swf = SwfTool{g.swftprg, g.flashv, g.langd};
    BatchRequest request = requestFromSettings(BatchMode::Swf, g, overrides);
    request.rows.append(BatchRow{file.fileName(), file.absolutePath() + QLatin1Char('/'), {}});
    request.outputBase = npath;
    request.replaceIntermediate = true;
    request.blankNamesTaken = true;
    request.pdfp = pdfFolder.path();

    const BatchRunResult run = runRequest(request);
    // A request the settings make unusable is logged like any other unusable request,
    // whether it was refused here or by the office service.
    if (!run.refusal.isEmpty()) {
        writeLog(g.profile, stamp + run.refusal);
        return kCliRejected;
    }
    for (const QString& m : run.messages)
        std::fputs((m + QLatin1Char('\n')).toUtf8().constData(), stderr);
    if (run.error) throw *run.error;
    if (run.rows.value(0).result != BatchResult::Success) return kCliNoOutput;
    // Without an SWF the intermediate PDF is kept: it is all the caller gets.
    for (const QString& pdf : run.intermediates) QFile::remove(pdf);
    return kCliConverted;
}

// The start of quorvcli: the whole conversion.
int cliOpen(QuorvApp& app, const QStringList& arguments) {
    const std::optional<QString> text = cliCommandText(arguments);
    const QString source = text.value_or(QString());

    app.startCommon();
    GlobalSettings& g = globals();
    g.profile = profilePathFor(g.ap_path);
    const QString stamp = cliTimestamp(QDateTime::currentDateTime());

    if (!text) {
        writeLog(g.profile, stamp + QString::fromUtf8(kCliNoArguments));
        return kCliRejected;
    }

    g.swftprg = readSetting(g.profile, Key::Swftprg, Reader::CliStart);
    g.langd = readSetting(g.profile, Key::Langd, Reader::CliStart);
    g.flashv = readSetting(g.profile, Key::Flashv, Reader::CliStart);

    const QString ext = qfilehz(source);
    const bool word = ext == QLatin1String("doc") || ext == QLatin1String("docx");
    if (!word && ext != QLatin1String("pdf")) {
        writeLog(g.profile, stamp + QString::fromUtf8(kCliWrongType) + source);
        return kCliRejected;
    }

    QString npath = readSetting(g.profile, Key::Swfpath, Reader::CliStart);
    if (!npath.endsWith(QLatin1Char('/'))) npath += QLatin1Char('/');

    try {
        return cliConvert(source, npath, g, stamp);
    } catch (const std::exception&) {
        printFailureLine(source);
        throw;
    }
}

}  // namespace

std::optional<QString> cliCommandText(const QStringList& arguments) {
    if (arguments.isEmpty()) return std::nullopt;
    return trimBlanks(arguments.join(QLatin1Char(' ')));
}

QString cliTimestamp(const QDateTime& at) { return at.toString(QStringLiteral("yy/MM/dd HH:mm")); }

int runQuorvcli(const QStringList& arguments) {
    QuorvApp app;
    return app.runProgram([&](QuorvApp& a) { return cliOpen(a, arguments); }, kCliRuntimeError);
}

}  // namespace quorv
