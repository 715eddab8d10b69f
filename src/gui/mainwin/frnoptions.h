#pragma once

#include <QString>
#include <QStringList>

namespace quorv {

// Output modes of the five radio buttons, by their scgs value.
enum class OutputMode { None = 0, Pdf = 1, Xps = 2, Custom = 3, Swf = 4, Original = 5, Ofd = 6 };

// The items of the file-type list ddlb_1, from item 1.
const QStringList& fileTypeItems();

// The options the main window shows in its controls, as read from the settings file.
struct FrnOptions {
    OutputMode outputMode = OutputMode::Original;
    int fileTypeItem = 1;  // item of ddlb_1, 1 to 9
    bool em1Visible = false;
    QString fdt;            // text of em_1
    QString ls_path1;       // last scanned folder
    QString mpath;          // text of sle_2
    bool minimize = false;  // cbx_1
};

// Reads the options of the window's open from `profile` and loads the global settings the
// window is responsible for (sfbtm, sftype, awordhz, sfth).
FrnOptions readFrnOptions(const QString& profile);

// Output mode of a stored scgs value: "1".."4", anything else the unchanged copy.
OutputMode outputModeFromScgs(const QString& scgs);
// The scgs value of a mode; empty for None.
QString scgsOf(OutputMode mode);
// ddlb_1 item (1..9) of a stored wjls value.
int fileTypeItemFromWjls(const QString& wjls);
// wjls to store for the text of ddlb_1: its first character when that is a digit, else "0".
QString wjlsFromItemText(const QString& itemText);

// The writes of the window's close: scgs (skipped for None), wjls, fdt.
void writeFrnCloseOptions(const QString& profile, OutputMode mode, const QString& ddlbText,
                          const QString& em1Text);

}  // namespace quorv
