#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <optional>

namespace quorv {

// Exit statuses of quorvcli, for the program that starts it.
inline constexpr int kCliConverted = 0;     // the SWF file was written
inline constexpr int kCliRejected = 1;      // unusable request; elog/log says why
inline constexpr int kCliNoOutput = 2;      // the conversion produced no SWF file
inline constexpr int kCliRuntimeError = 3;  // run-time error, reported on standard error

// The texts written to elog/log after the time stamp.
inline constexpr char kCliNoArguments[] = "接收的参数无效";
inline constexpr char kCliWrongType[] = "接收的文件类型错误";

// The command-line text: the arguments joined by single blanks, leading and trailing
// blanks removed, quotation marks kept. Nothing when there is no argument at all (an
// empty argument gives an empty text).
std::optional<QString> cliCommandText(const QStringList& arguments);

// The time stamp of the log value: "yy/mm/dd hh:mm", 24-hour clock.
QString cliTimestamp(const QDateTime& at);

// One whole run of quorvcli in the current working directory, from the creation of the
// application object to its end. `arguments` are those after the program name. Returns
// the exit status. Needs a QCoreApplication, which locates the bundled SWF tool.
int runQuorvcli(const QStringList& arguments);

}  // namespace quorv
