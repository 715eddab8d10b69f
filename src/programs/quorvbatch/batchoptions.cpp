#include "programs/quorvbatch/batchoptions.h"

#include <QDateTime>
#include <QFile>

namespace quorv {

namespace {

// The modes that write files; a search is the window's alone.
std::optional<BatchMode> modeOf(const QString& name) {
    const std::optional<BatchMode> mode = modeNamed(name);
    if (!mode || !modeInfo(*mode).writes) return std::nullopt;
    return mode;
}

// The window's type choices 1 to 5, 7 and 8.
QString typeChoice(const QString& name) {
    if (name == QLatin1String("word")) return QStringLiteral("1");
    if (name == QLatin1String("excel")) return QStringLiteral("2");
    if (name == QLatin1String("image")) return QStringLiteral("3");
    if (name == QLatin1String("archive")) return QStringLiteral("4");
    if (name == QLatin1String("custom")) return QStringLiteral("5");
    if (name == QLatin1String("presentation")) return QStringLiteral("7");
    if (name == QLatin1String("office")) return QStringLiteral("8");
    return QString();
}

// --pdfa's values: none, or a part of level b.
std::optional<int> pdfaChoice(const QString& name) {
    if (name == QLatin1String("none")) return 0;
    if (name == QLatin1String("1b")) return 1;
    if (name == QLatin1String("2b")) return 2;
    if (name == QLatin1String("3b")) return 3;
    return std::nullopt;
}

// The first line of a password file, without its line end; empty when it cannot be read.
std::optional<QString> passwordFromFile(const QString& path) {
    QFile f(path);
    if (path.isEmpty() || !f.open(QIODevice::ReadOnly)) return std::nullopt;
    QString line = QString::fromUtf8(f.readLine());
    while (line.endsWith(QLatin1Char('\n')) || line.endsWith(QLatin1Char('\r'))) line.chop(1);
    return line;
}

// A number in [low, high], else none.
std::optional<int> numberIn(const QString& text, int low, int high) {
    bool ok = false;
    const int n = text.toInt(&ok);
    if (!ok || n < low || n > high) return std::nullopt;
    return n;
}

bool validSince(const QString& text) {
    return QDateTime::fromString(text, QStringLiteral("yyyy-MM-dd hh:mm:ss")).isValid();
}

}  // namespace

QString batchUsage() {
    return QStringLiteral(
        "用法：quorvbatch [选项] 文件夹或文件...\n"
        "  --files-from 文件|-     从文件（- 为标准输入）读取路径，每行一个\n"
        "  --recursive             包括子文件夹\n"
        "  --type word|excel|presentation|office|image|archive|custom\n"
        "                          只取此类文件\n"
        "  --since \"yyyy-mm-dd hh:mm:ss\"  只取此时间之后修改的文件\n"
        "  --hidden                包括隐藏文件\n"
        "  --keep-subfolders       输出保留子文件夹\n"
        "  --mode pdf|xps|custom|swf|ofd|copy  输出格式（默认 pdf）\n"
        "  --out 文件夹            输出目录（必填）\n"
        "  --replace               替换同名文件（默认编号另存）\n"
        "  --pdfa none|1b|2b|3b    PDF 输出的 PDF/A 归档格式（默认取设置）\n"
        "  --jobs N                同时转换的办公组件个数（1-16）\n"
        "  --go-on | --no-go-on    出错后继续（默认继续）\n"
        "  --local-links           显示文档链接的本机图片（从不联网）\n"
        "  --resume                跳过日志中已完成的文件\n"
        "  --shard K/N             只转换 N 份中的第 K 份\n"
        "  --open-password 密码    PDF 的打开密码（他人可从进程列表看到，宜用下两种）\n"
        "  --open-password-file 文件  从文件第一行读打开密码\n"
        "  --permissions-password 密码 | --permissions-password-file 文件  PDF 的权限密码\n"
        "                          （也可用环境变量 QUORVBATCH_OPEN_PASSWORD、\n"
        "                          QUORVBATCH_PERMISSIONS_PASSWORD）\n"
        "  --forbid print,copy,change  PDF 禁止打印、复制、修改\n"
        "  --watermark 文字        每页加文字水印\n"
        "  --watermark-size N      水印字号（6-200）\n"
        "  --watermark-opacity N   水印不透明度（1-100）\n"
        "  --watermark-single      水印只在页面中间加一次（默认平铺）\n"
        "  --merge 文件名          把成功的 PDF 按列表顺序合并为一个PDF，放在输出目录\n"
        "  --merge-drop-parts      合并后删除各个 PDF\n");
}

ParsedOptions parseBatchOptions(const QStringList& arguments) {
    BatchOptions o;
    QString type;
    auto fail = [](const QString& text) { return ParsedOptions{std::nullopt, text}; };
    for (int i = 0; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        // The value of an option that takes one; empty when it is missing.
        auto value = [&](QString& into) {
            if (i + 1 >= arguments.size()) return false;
            into = arguments[++i];
            return true;
        };
        QString v;
        if (a == QLatin1String("--recursive")) {
            o.recursive = true;
        } else if (a == QLatin1String("--hidden")) {
            o.includeHidden = true;
        } else if (a == QLatin1String("--keep-subfolders")) {
            o.keepSubfolders = true;
        } else if (a == QLatin1String("--replace")) {
            o.replace = true;
        } else if (a == QLatin1String("--go-on")) {
            o.goOn = true;
        } else if (a == QLatin1String("--no-go-on")) {
            o.goOn = false;
        } else if (a == QLatin1String("--local-links")) {
            o.localLinks = true;
        } else if (a == QLatin1String("--resume")) {
            o.resume = true;
        } else if (a == QLatin1String("--files-from")) {
            if (!value(o.filesFrom) || o.filesFrom.isEmpty())
                return fail("--files-from 缺少文件名");
        } else if (a == QLatin1String("--type")) {
            if (!value(type) || typeChoice(type).isEmpty()) return fail("--type 无效：" + type);
        } else if (a == QLatin1String("--since")) {
            if (!value(o.since) || !validSince(o.since))
                return fail("修改日期时间错误：" + o.since);
        } else if (a == QLatin1String("--mode")) {
            if (!value(o.modeName) || !modeOf(o.modeName))
                return fail("--mode 无效：" + o.modeName);
            o.mode = *modeOf(o.modeName);
        } else if (a == QLatin1String("--out")) {
            if (!value(o.out) || o.out.isEmpty()) return fail("--out 缺少输出目录");
        } else if (a == QLatin1String("--pdfa")) {
            if (!value(v) || !pdfaChoice(v)) return fail("--pdfa 无效：" + v);
            o.pdfa = pdfaChoice(v);
        } else if (a == QLatin1String("--jobs")) {
            bool ok = false;
            const int n = value(v) ? v.toInt(&ok) : 0;
            if (!ok || n < 1 || n > 16) return fail("--jobs 应为 1 到 16：" + v);
            o.jobs = n;
        } else if (a == QLatin1String("--shard")) {
            bool okK = false;
            bool okN = false;
            const QStringList parts = value(v) ? v.split(QLatin1Char('/')) : QStringList();
            const int k = parts.value(0).toInt(&okK);
            const int n = parts.value(1).toInt(&okN);
            if (parts.size() != 2 || !okK || !okN || n < 1 || k < 1 || k > n) {
                return fail("--shard 应为 K/N，1 ≤ K ≤ N：" + v);
            }
            o.shard = k;
            o.shards = n;
        } else if (a == QLatin1String("--open-password") ||
                   a == QLatin1String("--permissions-password")) {
            if (!value(v)) return fail(a + " 缺少密码");
            (a == QLatin1String("--open-password") ? o.pdf.openPassword
                                                   : o.pdf.permissionsPassword) = v;
        } else if (a == QLatin1String("--open-password-file") ||
                   a == QLatin1String("--permissions-password-file")) {
            value(v);
            const std::optional<QString> password = passwordFromFile(v);
            if (!password) return fail("无法读取密码文件：" + v);
            (a == QLatin1String("--open-password-file") ? o.pdf.openPassword
                                                        : o.pdf.permissionsPassword) = password;
        } else if (a == QLatin1String("--forbid")) {
            if (!value(v) || v.isEmpty()) return fail("--forbid 应为 print、copy、change：" + v);
            for (const QString& what : v.split(QLatin1Char(','))) {
                if (what == QLatin1String("print")) {
                    o.pdf.noPrint = true;
                } else if (what == QLatin1String("copy")) {
                    o.pdf.noCopy = true;
                } else if (what == QLatin1String("change")) {
                    o.pdf.noChange = true;
                } else {
                    return fail("--forbid 应为 print、copy、change：" + v);
                }
            }
        } else if (a == QLatin1String("--watermark")) {
            if (!value(v)) return fail("--watermark 缺少文字");
            o.pdf.watermark = v;
        } else if (a == QLatin1String("--watermark-size")) {
            value(v);
            o.pdf.watermarkSize = numberIn(v, PdfWatermark::kMinSize, PdfWatermark::kMaxSize);
            if (!o.pdf.watermarkSize) {
                return fail(QStringLiteral("--watermark-size 应为 %1 到 %2：")
                                .arg(PdfWatermark::kMinSize)
                                .arg(PdfWatermark::kMaxSize) +
                            v);
            }
        } else if (a == QLatin1String("--watermark-opacity")) {
            value(v);
            o.pdf.watermarkOpacity = numberIn(v, 1, 100);
            if (!o.pdf.watermarkOpacity) return fail("--watermark-opacity 应为 1 到 100：" + v);
        } else if (a == QLatin1String("--watermark-single")) {
            o.pdf.watermarkTiled = false;
        } else if (a == QLatin1String("--merge")) {
            if (!value(v) || mergedFileName(v).isEmpty() || v.trimmed().isEmpty()) {
                return fail("--merge 文件名无效：" + v);
            }
            o.pdf.mergeFile = v;
        } else if (a == QLatin1String("--merge-drop-parts")) {
            o.pdf.keepParts = false;
        } else if (a == QLatin1String("--")) {
            o.inputs << arguments.mid(i + 1);
            break;
        } else if (a.startsWith(QLatin1String("--"))) {
            return fail("未知选项：" + a);
        } else {
            o.inputs << a;
        }
    }
    if (!type.isEmpty() && !o.since.isEmpty()) return fail("--type 与 --since 只能选一个");
    if (!type.isEmpty()) o.szf = typeChoice(type);
    if (!o.since.isEmpty()) o.szf = QStringLiteral("6");
    if (o.out.isEmpty()) return fail("缺少 --out 输出目录");
    if (!o.pdf.openPassword && qEnvironmentVariableIsSet(kOpenPasswordEnv)) {
        o.pdf.openPassword = qEnvironmentVariable(kOpenPasswordEnv);
    }
    if (!o.pdf.permissionsPassword && qEnvironmentVariableIsSet(kPermissionsPasswordEnv)) {
        o.pdf.permissionsPassword = qEnvironmentVariable(kPermissionsPasswordEnv);
    }
    if (o.pdf.keepParts && !*o.pdf.keepParts && !o.pdf.mergeFile) {
        return fail("--merge-drop-parts 需要 --merge");
    }
    if (o.inputs.isEmpty() && o.filesFrom.isEmpty()) return fail("没有源文件");
    return ParsedOptions{o, QString()};
}

QString shardKey(const QString& zml, const QString& filey) {
    // The engine's own key of an output name, below a root of "/".
    BatchRequest request;
    request.outputBase = QStringLiteral("/");
    request.keepSubfolders = true;
    return batchRowKeys(request, BatchRow{filey, QString(), zml}).value(0).mid(1);
}

int shardOf(const QString& key, int n) {
    quint64 h = 14695981039346656037ULL;
    for (const char c : key.toUtf8()) {
        h ^= static_cast<unsigned char>(c);
        h *= 1099511628211ULL;
    }
    return static_cast<int>(h % static_cast<quint64>(n)) + 1;
}

}  // namespace quorv
