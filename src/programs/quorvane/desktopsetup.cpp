#include "programs/quorvane/desktopsetup.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include "engines/desktop/appstyle.h"

namespace quorv {

bool prepareDesktopApplication(QApplication& app) {
    // The program speaks Chinese whatever the user's locale, so Qt's own texts must too.
    auto* qtTexts = new QTranslator(&app);
    const bool loaded = qtTexts->load(QStringLiteral("qtbase_zh_CN"),
                                      QLibraryInfo::path(QLibraryInfo::TranslationsPath));
    if (loaded) {
        QApplication::installTranslator(qtTexts);
    } else {
        delete qtTexts;
    }
    QApplication::setFont(uiFont(9));
    QApplication::setWindowIcon(appIcon());
    return loaded;
}

}  // namespace quorv
