#include "convert/batch/request.h"

#include "core/defaults.h"
#include "core/passwords.h"

namespace quorv {

namespace {

// Word's fixed-format codes.
constexpr int kWordPdf = 17;
constexpr int kWordXps = 18;

// The settings' PDF options with the program's own choices over them, for the modes whose
// outputs are, or are made from, a PDF the run writes.
PdfOptions pdfOptionsFor(const BatchRequest& q, const QString& profile,
                         const RequestOverrides::Pdf& o) {
    // An XPS is drawn from a PDF that stays inside the office's conversion: nothing of
    // these reaches it.
    const std::optional<OutputKind> kind = outputKindOf(q);
    if (kind != OutputKind::Pdf && q.mode != BatchMode::Swf) return {};
    PdfOptions p = readPdfOptions(profile);
    PdfProtection& pr = p.protection;
    PdfWatermark& w = p.watermark;
    pr.openPassword = o.openPassword.value_or(pr.openPassword);
    pr.permissionsPassword = o.permissionsPassword.value_or(pr.permissionsPassword);
    pr.noPrint = o.noPrint.value_or(pr.noPrint);
    pr.noCopy = o.noCopy.value_or(pr.noCopy);
    pr.noChange = o.noChange.value_or(pr.noChange);
    w.text = o.watermark.value_or(w.text);
    w.size = o.watermarkSize.value_or(w.size);
    w.opacity = o.watermarkOpacity.value_or(w.opacity);
    w.tiled = o.watermarkTiled.value_or(w.tiled);
    if (o.mergeFile) {
        p.merge.on = true;
        p.merge.fileName = *o.mergeFile;
    }
    p.merge.keepParts = o.keepParts.value_or(p.merge.keepParts);
    // Only PDF outputs are merged.
    if (kind != OutputKind::Pdf) p.merge.on = false;
    return p;
}

}  // namespace

const QList<ModeInfo>& batchModes() {
    static const QList<ModeInfo> modes{
        {BatchMode::Pdf, "pdf", true, OutputKind::Pdf, "pdf", kWordPdf},
        {BatchMode::Xps, "xps", true, OutputKind::Xps, "xps", kWordXps},
        {BatchMode::Custom, "custom", true, std::nullopt, "", -1},
        {BatchMode::Swf, "swf", true, OutputKind::Swf, "swf", -1},
        {BatchMode::Copy, "copy", true, std::nullopt, "", -1},
        {BatchMode::Find, "find", false, std::nullopt, "", -1},
        {BatchMode::Ofd, "ofd", true, OutputKind::Ofd, "ofd", -1},
    };
    return modes;
}

const ModeInfo& modeInfo(BatchMode mode) { return batchModes().at(int(mode)); }

QString modeName(BatchMode mode) { return QLatin1String(modeInfo(mode).name); }

std::optional<BatchMode> modeNamed(const QString& name) {
    for (const ModeInfo& m : batchModes()) {
        if (name == QLatin1String(m.name)) return m.mode;
    }
    return std::nullopt;
}

std::optional<OutputKind> outputKindOf(const BatchRequest& q) {
    if (q.mode == BatchMode::Custom) return outputKindOfFormat(q.wordFormat);
    return modeInfo(q.mode).kind;
}

QString outputExtensionOf(const BatchRequest& q) {
    if (q.mode == BatchMode::Custom) return q.wordExt;
    return QLatin1String(modeInfo(q.mode).extension);
}

BatchRequest requestFromSettings(BatchMode mode, const GlobalSettings& g,
                                 const RequestOverrides& o) {
    BatchRequest q;
    q.mode = mode;
    q.sfth = o.sfth.value_or(g.sfth);
    q.awordhz = g.awordhz;
    if (mode == BatchMode::Custom) {
        q.wordExt = readSetting(g.profile, Key::Wsavehz, Reader::BatchDriver);
        q.wordFormat = readSetting(g.profile, Key::Wsavely, Reader::BatchDriver).toInt();
    }
    // A part asked for with another mode stays, for requestProblem to refuse.
    if (o.pdfa) {
        q.pdfa = *o.pdfa;
    } else if (mode == BatchMode::Pdf) {
        q.pdfa = pdfaPart(g.profile);
    }
    if (mode == BatchMode::Swf || mode == BatchMode::Ofd) {
        q.pdfp = g.ap_path + QStringLiteral("/pdf/");
    }
    if (mode == BatchMode::Ofd) q.ofdTool = bundledPdf2ofdPath();
    if (mode == BatchMode::Swf) {
        q.swf = o.swf.value_or(SwfTool{readSetting(g.profile, Key::Swftprg, Reader::SwfService),
                                       readSetting(g.profile, Key::Flashv, Reader::SwfService),
                                       readSetting(g.profile, Key::Langd, Reader::SwfService)});
    }
    q.poolSize = o.poolSize.value_or(batchPoolSize(g.profile));
    q.goOn = o.goOn.value_or(goOnPastErrors(g.profile));
    q.passwords = readOpenPasswords(g.profile);
    // Off unless the program asks: the service's callers never follow links.
    q.localLinks = o.localLinks.value_or(false);
    q.pdf = pdfOptionsFor(q, g.profile, o.pdf);
    return q;
}

QString requestProblem(const BatchRequest& q) {
    const ModeInfo& mode = modeInfo(q.mode);
    if (q.poolSize < 1 || q.poolSize > 16) return QStringLiteral("同时转换的个数应为 1 到 16");
    if (q.pdfa < 0 || q.pdfa > 3) return QStringLiteral("PDF/A 格式无效");
    if (q.pdfa > 0 && q.mode != BatchMode::Pdf) {
        return QStringLiteral("PDF/A 只用于 pdf 输出，不能用于 ") + QLatin1String(mode.name);
    }
    if (const QString why = pdfOptionsRefusal(q.pdfa, q.pdf); !why.isEmpty()) return why;
    if (q.pdf.watermark.size < PdfWatermark::kMinSize ||
        q.pdf.watermark.size > PdfWatermark::kMaxSize) {
        return QStringLiteral("水印字号应为 %1 到 %2")
            .arg(PdfWatermark::kMinSize)
            .arg(PdfWatermark::kMaxSize);
    }
    if (q.pdf.watermark.opacity < 1 || q.pdf.watermark.opacity > 100) {
        return QStringLiteral("水印不透明度应为 1 到 100");
    }
    if (mode.writes && q.outputBase.isEmpty()) return QStringLiteral("缺少输出目录");
    if ((q.mode == BatchMode::Swf || q.mode == BatchMode::Ofd) && q.pdfp.isEmpty()) {
        return QStringLiteral("缺少中间 PDF 目录");
    }
    return QString();
}

QString batchOutputFolder(const BatchRequest& request, const BatchRow& row) {
    if (request.keepSubfolders && !row.zml.isEmpty()) return request.outputBase + row.zml;
    return request.outputBase;
}

}  // namespace quorv
