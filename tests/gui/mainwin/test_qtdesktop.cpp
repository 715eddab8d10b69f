#include <QFileDialog>
#include <QTimer>

#include "engines/desktop/qtdesktop.h"
#include "fakes/qt_print.h"
#include "fakes/window_fixture.h"
#include "gtest/gtest.h"
#include "gui/mainwin/listexport.h"

namespace quorv {
namespace {

// Answers the next modal file dialog with a name and a choice of the filter.
void answerDialog(const QString& name, int filterIndex, bool accept = true) {
    QTimer::singleShot(0, [=] {
        auto* dlg = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dlg, nullptr);
        dlg->selectNameFilter(dlg->nameFilters().value(filterIndex));
        emit dlg->filterSelected(dlg->nameFilters().value(filterIndex));
        dlg->selectFile(name);
        if (accept) {
            QMetaObject::invokeMethod(dlg, "accept");
        } else {
            dlg->reject();
        }
    });
}

TEST(QtDesktopSave, ReportsTheChosenChoiceAndAddsItsExtension) {
    testing::guiApp();
    QTemporaryDir dir;
    QtDesktop desktop;
    answerDialog(dir.filePath("liste"), 3);
    Desktop::FileSaveResult r =
        desktop.fileSaveDialog("另存为", exportFilterText(), "csv", dir.path());
    EXPECT_EQ(r.result, 1);
    EXPECT_EQ(r.filterIndex, 3);
    EXPECT_EQ(r.path, dir.filePath("liste.xlsx"));

    answerDialog(dir.filePath("x.html"), 2);
    r = desktop.fileSaveDialog("另存为", exportFilterText(), "csv", dir.path());
    EXPECT_EQ(r.filterIndex, 2);
    EXPECT_EQ(r.path, dir.filePath("x.html"));

    answerDialog(dir.filePath("y"), 0, false);
    r = desktop.fileSaveDialog("另存为", exportFilterText(), "csv", dir.path());
    EXPECT_EQ(r.result, 0);
}

}  // namespace
}  // namespace quorv
