#include "programs/quorvcli/cliconvert.h"

#include <QFile>
#include <QFileInfo>
#include <cstdio>

#include "convert/pdf2swf1.h"
#include "convert/wordconvert.h"
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

// Word to PDF to SWF, or PDF to SWF.
int cliConvert(const QString& source, bool word, const QString& npath) {
    if (!word) {
        // The source PDF stays where it is.
        return pdf2swf1(source, npath, SwfCaller::CommandLine).isEmpty() ? kCliNoOutput
                                                                         : kCliConverted;
    }
    const QString pdf = word2pdf(source);
    if (pdf.isEmpty()) return kCliNoOutput;
    // Without an SWF the intermediate PDF is kept: it is all the caller gets.
    if (pdf2swf1(pdf, npath, SwfCaller::CommandLine).isEmpty()) return kCliNoOutput;
    if (QFileInfo::exists(pdf)) QFile::remove(pdf);
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
        return cliConvert(source, word, npath);
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
