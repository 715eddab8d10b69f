#include "core/runtimeerror.h"

#include <utility>

namespace quorv {

RuntimeError::RuntimeError(ErrorRecord record) : record_(std::move(record)) {
    what_ = QStringLiteral("error %1 in %2.%3")
                .arg(record_.number)
                .arg(record_.object, record_.event)
                .toStdString();
}

RuntimeError::RuntimeError(int number, const QString& object, const QString& event, int line)
    : RuntimeError(ErrorRecord{number, object, event, line}) {}

QString errorMessageText(int number) {
    switch (number) {
        case kErrMemberNotFound:
            return QStringLiteral("调用外部对象函数时，未找到函数名");
        case kErrBadArgumentType:
            return QStringLiteral("调用外部对象函数时，参数类型不合法");
        case kErrBadArgumentCount:
            return QStringLiteral("调用外部对象函数时，使用不正确的参数个数");
        case kErrCallFailed:
            return QStringLiteral("错误调用外部对象函数");
        default:
            return QStringLiteral("未知错误");
    }
}

QString errorReportText(const ErrorRecord& record) {
    if (record.number == 0) return {};
    const QString crlf = QStringLiteral("\r\n");
    return QStringLiteral("错误编号：") + QString::number(record.number) + crlf +
           QStringLiteral("出错对象：") + record.object + crlf + QStringLiteral("出错事件：") +
           record.event + crlf + QStringLiteral("出错行数：") + QString::number(record.line) +
           crlf + QStringLiteral("错误信息：") + errorMessageText(record.number) + crlf;
}

}  // namespace quorv
