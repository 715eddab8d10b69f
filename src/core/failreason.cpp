#include "core/failreason.h"

#include <QFileInfo>
#include <QTemporaryFile>

#include "core/runtimeerror.h"

namespace quorv {

QString failReasonText(FailReason reason) {
    switch (reason) {
        case FailReason::None:
            return QString();
        case FailReason::Damaged:
            return QStringLiteral("文件已损坏或无法识别");
        case FailReason::Password:
            return QStringLiteral("文件有密码保护");
        case FailReason::Timeout:
            return QStringLiteral("转换超时");
        case FailReason::OfficeDied:
            return QStringLiteral("办公组件异常退出");
        case FailReason::OfficeUnavailable:
            return QStringLiteral("办公组件无法启动");
        case FailReason::WrongType:
            return QStringLiteral("不转换此类型文件");
        case FailReason::SourceMissing:
            return QStringLiteral("源文件不存在");
        case FailReason::OutputUnwritable:
            return QStringLiteral("输出目录无法写入");
        case FailReason::NoOutput:
            return QStringLiteral("未生成输出文件");
        case FailReason::SwfFailed:
            return QStringLiteral("PDF转SWF失败");
        case FailReason::OfdFailed:
            return QStringLiteral("PDF转OFD失败");
        case FailReason::BlankInName:
            return QStringLiteral("文件名含空格");
        case FailReason::UnknownKind:
            return QStringLiteral("无法识别的文档类型");
        case FailReason::NothingToPrint:
            return QStringLiteral("没有可打印的内容");
        case FailReason::NoSuchFormat:
            return QStringLiteral("此类文档不能存为该格式");
        case FailReason::PdfRewriteFailed:
            return QStringLiteral("加水印或加密失败");
        case FailReason::Unknown:
            return QStringLiteral("转换出错");
    }
    return QString();
}

FailReason failReasonOf(const std::exception_ptr& error) {
    if (!error) return FailReason::None;
    try {
        std::rethrow_exception(error);
    } catch (const RuntimeError& e) {
        return e.reason() == FailReason::None ? FailReason::Unknown : e.reason();
    } catch (...) {
    }
    return FailReason::Unknown;
}

bool folderTakesFiles(const QString& folder) {
    if (!QFileInfo(folder).isDir()) return false;
    QTemporaryFile probe(folder + QStringLiteral("/.quorv-probe-XXXXXX"));
    return probe.open();
}

}  // namespace quorv
