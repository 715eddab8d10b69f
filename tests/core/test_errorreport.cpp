#include <unistd.h>

#include <QDir>
#include <QTemporaryDir>
#include <stdexcept>

#include "core/globals.h"
#include "core/quorvapp.h"
#include "fakes/qt_print.h"
#include "fakes/scripted_desktop.h"
#include "gtest/gtest.h"

namespace quorv {
namespace {

TEST(ErrorReport, FiveLinesEachEndedByCrLf) {
    const QString text = errorReportText({33, "w_frn", "cb_3.clicked", 12});
    EXPECT_EQ(text,
              "错误编号：33\r\n出错对象：w_frn\r\n出错事件：cb_3.clicked\r\n出错行数：12\r\n"
              "错误信息：调用外部对象函数时，参数类型不合法\r\n");
}

TEST(ErrorReport, MessageTextByNumber) {
    auto fifth = [](int n) {
        const QStringList lines = errorReportText({n, "o", "e", 1}).split("\r\n");
        return lines.size() == 6 ? lines[4] : QString();
    };
    EXPECT_EQ(fifth(32), "错误信息：调用外部对象函数时，未找到函数名");
    EXPECT_EQ(fifth(33), "错误信息：调用外部对象函数时，参数类型不合法");
    EXPECT_EQ(fifth(34), "错误信息：调用外部对象函数时，使用不正确的参数个数");
    EXPECT_EQ(fifth(35), "错误信息：错误调用外部对象函数");
    EXPECT_EQ(fifth(36), "错误信息：未知错误");
    EXPECT_EQ(fifth(1), "错误信息：未知错误");
    EXPECT_EQ(fifth(-7), "错误信息：未知错误");
}

TEST(ErrorReport, NumberZeroShowsNothing) {
    testing::ScriptedDesktop desktop;
    QuorvApp app;
    app.setReportSink([&](const QString& t, const QString& s) { desktop.messageBox(t, s); });
    app.systemError({0, "w_frn", "open", 3});
    EXPECT_TRUE(desktop.messages.empty());
    EXPECT_EQ(errorReportText({0, "w_frn", "open", 3}), "");
}

TEST(QuorvAppTest, CreateNamesTheAppAndEmptiesEveryGlobal) {
    globals().swftprg = "left over";
    QuorvApp app;
    EXPECT_EQ(app.appName(), "quorvapp");
    EXPECT_EQ(globals().swftprg, "");
    EXPECT_EQ(QuorvApp::current(), &app);
}

TEST(QuorvAppTest, RuntimeErrorAbandonsOnlyThatHandlerAndIsReported) {
    testing::ScriptedDesktop desktop;
    QuorvApp app;
    app.setReportSink([&](const QString& t, const QString& s) { desktop.messageBox(t, s); });
    bool afterThrow = false;
    const bool ok = runHandler("w_frn", "cb_3.clicked", [&] {
        throw RuntimeError(35, "activedocument.saveas", "invoke", 4);
        afterThrow = true;
    });
    EXPECT_FALSE(ok);
    EXPECT_FALSE(afterThrow);
    ASSERT_EQ(desktop.messages.size(), 1u);
    EXPECT_EQ(desktop.messages[0].title, "");
    EXPECT_TRUE(
        desktop.messages[0].text.startsWith("错误编号：35\r\n出错对象：activedocument.saveas"));

    // The next handler runs normally.
    bool ran = false;
    EXPECT_TRUE(runHandler("w_frn", "cb_1.clicked", [&] { ran = true; }));
    EXPECT_TRUE(ran);
    EXPECT_EQ(desktop.messages.size(), 1u);
}

TEST(QuorvAppTest, OtherFailuresAreReportedAsUnknownWithTheHandlerName) {
    testing::ScriptedDesktop desktop;
    QuorvApp app;
    app.setReportSink([&](const QString& t, const QString& s) { desktop.messageBox(t, s); });
    runHandler("w_frn", "cb_5.clicked", [] { throw std::runtime_error("boom"); });
    ASSERT_EQ(desktop.messages.size(), 1u);
    EXPECT_EQ(desktop.messages[0].text,
              "错误编号：1\r\n出错对象：w_frn\r\n出错事件：cb_5.clicked\r\n出错行数：0\r\n"
              "错误信息：未知错误\r\n");
}

TEST(QuorvAppTest, ApPathIsTheWorkingDirectoryWithoutTrailingSlash) {
    QTemporaryDir dir;
    const QString old = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    QuorvApp app;
    app.startCommon();
    const QString apPath = globals().ap_path;
    ASSERT_TRUE(QDir::setCurrent("/"));
    app.startCommon();
    const QString rootPath = globals().ap_path;
    QDir::setCurrent(old);
    EXPECT_EQ(apPath, QDir(dir.path()).canonicalPath());
    EXPECT_FALSE(apPath.endsWith('/'));
    EXPECT_EQ(rootPath, "");
}

}  // namespace
}  // namespace quorv
