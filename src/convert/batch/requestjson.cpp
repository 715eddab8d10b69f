#include "convert/batch/requestjson.h"

#include <QDir>
#include <QJsonArray>

#include "core/defaults.h"
#include "core/passwords.h"

namespace quorv {

namespace {

// Reasons and results travel as their numbers; both sides are the same build family, and
// a number out of range is refused rather than guessed.
std::optional<FailReason> reasonNumbered(const QJsonValue& v) {
    const int n = v.toInt(-1);
    if (n < 0 || n > int(FailReason::Unknown)) return std::nullopt;
    return FailReason(n);
}

QString absolute(const QString& path, const QString& folder, bool keepSlash) {
    if (path.isEmpty()) return path;
    QString p = QDir::cleanPath(QDir(folder).absoluteFilePath(path));
    if (keepSlash && !p.endsWith(QLatin1Char('/'))) p += QLatin1Char('/');
    return p;
}

// The PDF options, the passwords in the stored form of the settings.
QJsonObject pdfOptionsToJson(const PdfOptions& o) {
    const PdfProtection& p = o.protection;
    const PdfWatermark& w = o.watermark;
    auto hidden = [](const QString& pw) {
        return pw.isEmpty() ? QString() : encodeOpenPasswords({pw});
    };
    return QJsonObject{
        {"open", hidden(p.openPassword)},
        {"permissions", hidden(p.permissionsPassword)},
        {"forbid", QJsonArray{p.noPrint, p.noCopy, p.noChange}},
        {"watermark", QJsonArray{w.text, w.size, w.opacity, w.tiled}},
        {"merge", QJsonArray{o.merge.on, o.merge.fileName, o.merge.keepParts}},
    };
}

PdfOptions pdfOptionsFromJson(const QJsonObject& j) {
    PdfOptions o;
    PdfProtection& p = o.protection;
    PdfWatermark& w = o.watermark;
    p.openPassword = decodeOpenPasswords(j.value("open").toString()).value(0);
    p.permissionsPassword = decodeOpenPasswords(j.value("permissions").toString()).value(0);
    const QJsonArray forbid = j.value("forbid").toArray();
    p.noPrint = forbid.at(0).toBool();
    p.noCopy = forbid.at(1).toBool();
    p.noChange = forbid.at(2).toBool();
    const QJsonArray mark = j.value("watermark").toArray();
    w.text = mark.at(0).toString();
    w.size = mark.at(1).toInt(w.size);
    w.opacity = mark.at(2).toInt(w.opacity);
    w.tiled = mark.at(3).toBool(w.tiled);
    const QJsonArray merge = j.value("merge").toArray();
    o.merge.on = merge.at(0).toBool();
    o.merge.fileName = merge.at(1).toString();
    o.merge.keepParts = merge.at(2).toBool(true);
    return o;
}

}  // namespace

QJsonObject requestToJson(const BatchRequest& q) {
    QJsonArray rows;
    for (const BatchRow& r : q.rows) rows.append(QJsonArray{r.filey, r.ypath, r.zml});
    return QJsonObject{
        {"rows", rows},
        {"mode", modeName(q.mode)},
        {"outputBase", q.outputBase},
        {"keepSubfolders", q.keepSubfolders},
        {"sfth", q.sfth},
        {"awordhz", q.awordhz},
        {"wordExt", q.wordExt},
        {"wordFormat", q.wordFormat},
        {"pdfa", q.pdfa},
        {"pdfp", q.pdfp},
        {"replaceIntermediate", q.replaceIntermediate},
        {"blankNamesTaken", q.blankNamesTaken},
        {"swf", QJsonArray{q.swf.program, q.swf.flashv, q.swf.langd}},
        {"findText", q.findText},
        {"poolSize", q.poolSize},
        {"goOn", q.goOn},
        // In the stored form of the settings, so that no password crosses as plain text.
        {"dkmm", encodeOpenPasswords(q.passwords)},
        {"pdf", pdfOptionsToJson(q.pdf)},
    };
}

std::optional<BatchRequest> requestFromJson(const QJsonObject& j) {
    BatchRequest q;
    const std::optional<BatchMode> mode = modeNamed(j.value("mode").toString());
    if (!mode || !j.value("rows").isArray()) return std::nullopt;
    q.mode = *mode;
    for (const QJsonValue& v : j.value("rows").toArray()) {
        const QJsonArray r = v.toArray();
        if (r.size() != 3) return std::nullopt;
        q.rows.append(BatchRow{r[0].toString(), r[1].toString(), r[2].toString()});
    }
    q.outputBase = j.value("outputBase").toString();
    q.keepSubfolders = j.value("keepSubfolders").toBool();
    q.sfth = j.value("sfth").toString();
    q.awordhz = j.value("awordhz").toString();
    q.wordExt = j.value("wordExt").toString();
    q.wordFormat = j.value("wordFormat").toInt();
    q.pdfa = j.value("pdfa").toInt();
    q.pdfp = j.value("pdfp").toString();
    q.replaceIntermediate = j.value("replaceIntermediate").toBool();
    q.blankNamesTaken = j.value("blankNamesTaken").toBool();
    const QJsonArray swf = j.value("swf").toArray();
    q.swf = SwfTool{swf.at(0).toString(), swf.at(1).toString(), swf.at(2).toString()};
    // Never a program the caller names: the tool installed beside the service.
    if (q.mode == BatchMode::Ofd) q.ofdTool = bundledPdf2ofdPath();
    q.findText = j.value("findText").toString();
    q.poolSize = j.value("poolSize").toInt(1);
    q.goOn = j.value("goOn").toBool();
    q.passwords = decodeOpenPasswords(j.value("dkmm").toString());
    q.pdf = pdfOptionsFromJson(j.value("pdf").toObject());
    return q;
}

QJsonObject runResultToJson(const BatchRunResult& r) {
    QJsonArray rows;
    for (const BatchRunResult::Row& row : r.rows) {
        rows.append(QJsonArray{int(row.result), int(row.reason)});
    }
    QJsonObject j{{"rows", rows},
                  {"intermediates", QJsonArray::fromStringList(r.intermediates)},
                  {"outputs", QJsonArray::fromStringList(r.outputs)},
                  {"messages", QJsonArray::fromStringList(r.messages)}};
    if (!r.refusal.isEmpty()) j.insert("refusal", r.refusal);
    if (r.error) {
        const ErrorRecord& e = r.error->record();
        j.insert("error", QJsonObject{{"number", e.number},
                                      {"object", e.object},
                                      {"event", e.event},
                                      {"line", e.line},
                                      {"serverDied", r.error->serverDied()},
                                      {"reason", int(r.error->reason())}});
    }
    return j;
}

std::optional<BatchRunResult> runResultFromJson(const QJsonObject& j) {
    if (!j.value("rows").isArray()) return std::nullopt;
    BatchRunResult r;
    for (const QJsonValue& v : j.value("rows").toArray()) {
        const QJsonArray row = v.toArray();
        const int result = row.at(0).toInt(-1);
        const std::optional<FailReason> reason = reasonNumbered(row.at(1));
        if (result < 0 || result > int(BatchResult::Blank) || !reason) return std::nullopt;
        r.rows.append(BatchRunResult::Row{BatchResult(result), *reason});
    }
    for (const QJsonValue& v : j.value("intermediates").toArray()) {
        r.intermediates.append(v.toString());
    }
    for (const QJsonValue& v : j.value("messages").toArray()) r.messages.append(v.toString());
    for (const QJsonValue& v : j.value("outputs").toArray()) r.outputs.append(v.toString());
    r.outputs.resize(r.rows.size());
    r.refusal = j.value("refusal").toString();
    if (j.value("error").isObject()) {
        const QJsonObject e = j.value("error").toObject();
        const std::optional<FailReason> reason = reasonNumbered(e.value("reason"));
        if (!reason) return std::nullopt;
        RuntimeError err(ErrorRecord{e.value("number").toInt(), e.value("object").toString(),
                                     e.value("event").toString(), e.value("line").toInt()});
        err.setServerDied(e.value("serverDied").toBool());
        err.setReason(*reason);
        r.error = err;
    }
    return r;
}

BatchRequest withAbsolutePaths(BatchRequest q, const QString& folder) {
    for (BatchRow& r : q.rows) r.ypath = absolute(r.ypath, folder, true);
    q.outputBase = absolute(q.outputBase, folder, true);
    q.pdfp = absolute(q.pdfp, folder, true);
    if (q.swf.program.contains(QLatin1Char('/'))) {
        q.swf.program = absolute(q.swf.program, folder, false);
    }
    q.swf.langd = absolute(q.swf.langd, folder, false);
    return q;
}

}  // namespace quorv
