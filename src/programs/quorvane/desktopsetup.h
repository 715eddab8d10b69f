#pragma once

class QApplication;

namespace quorv {

// What the interactive program sets on the application before its first window: Qt's
// own Chinese texts for the standard dialogs and buttons, the interface font and the
// icon. Returns false when Qt's Chinese translation is not installed; the program then
// runs with Qt's English texts.
bool prepareDesktopApplication(QApplication& app);

}  // namespace quorv
