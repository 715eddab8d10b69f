#include "programs/quorvane/quorvane_start.h"

#include <QApplication>

#include "convert/backend.h"
#include "core/quorvapp.h"
#include "engines/desktop/qtdesktop.h"
#include "engines/office/officebackend.h"
#include "gui/mainwin/w_frn.h"
#include "programs/quorvane/desktopsetup.h"

namespace quorv {

int runQuorvane(int argc, char** argv) {
    QApplication qtApp(argc, argv);
    office::installOfficeBackend();
    prepareDesktopApplication(qtApp);
    QuorvApp app;
    QtDesktop desktop;
    app.setReportSink(
        [&desktop](const QString& title, const QString& text) { desktop.messageBox(title, text); });
    app.startCommon();

    w_frn window(desktop);
    desktop.setMainWindow(&window);
    app.runHandler(QStringLiteral("w_frn"), QStringLiteral("open"), [&] { window.open(); });
    window.show();
    const int status = qtApp.exec();
    // Offices readied for a run end before the program does, while UNO still works.
    warmWorkerOffices(0);
    return status;
}

}  // namespace quorv
