#include "programs/quorvcli/cliconvert.h"

#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <cstdio>

#include "convert/batch/batchengine.h"
#include "core/defaults.h"
#include "core/filenames.h"
#include "core/globals.h"
#include "core/quorvapp.h"

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

// Word to PDF to SWF, or PDF to SWF: a request of one row, run on the batch engine.
int cliConvert(const QString& source, const QString& npath, const GlobalSettings& g) {
    const QFileInfo file(source);
    BatchRequest request;
    request.mode = BatchMode::Swf;
    request.rows.append(BatchRow{file.fileName(), file.absolutePath() + QLatin1Char('/'), {}});
    request.outputBase = npath;
    // An SWF of the same name is kept and the new one numbered; the intermediate PDF
    // replaces an earlier one; any name is taken as it comes.
    request.sfth = QStringLiteral("n");
    request.replaceIntermediate = true;
    request.blankNamesTaken = true;
    request.pdfp = g.ap_path + QStringLiteral("/pdf/");
    request.swf = SwfTool{g.swftprg, g.flashv, g.langd};
    request.poolSize = 1;

    BatchEngine engine(request);
    QEventLoop loop;
    BatchResult result = BatchResult::Failure;
    QObject::connect(&engine, &BatchEngine::rowFinished, &loop,
                     [&result](int, BatchResult r, FailReason) { result = r; });
    QObject::connect(&engine, &BatchEngine::finished, &loop, &QEventLoop::quit);
    engine.start();
    if (!engine.isFinished()) loop.exec();
    if (engine.error()) std::rethrow_exception(engine.error());
    if (result != BatchResult::Success) return kCliNoOutput;
    // Without an SWF the intermediate PDF is kept: it is all the caller gets.
    for (const QString& pdf : engine.intermediates()) QFile::remove(pdf);
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
        return cliConvert(source, npath, g);
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
    int status = kCliRuntimeError;
    // A run-time error abandons the start; its report has gone to standard error.
    const bool finished = app.runHandler(QStringLiteral("quorvapp"), QStringLiteral("open"),
                                         [&] { status = cliOpen(app, arguments); });
    return finished ? status : kCliRuntimeError;
}

}  // namespace quorv
