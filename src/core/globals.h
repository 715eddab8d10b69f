#pragma once

#include <QString>

namespace quorv {

// The twelve settings every program holds for its whole run. They start empty and are
// loaded only at the moments their readers define.
struct GlobalSettings {
    QString ap_path;  // working directory at start, no trailing "/"
    QString profile;  // ap_path + "/tovk.ini", or a file the settings window picked
    QString swftprg;
    QString langd;
    QString flashv;
    QString swfpath;
    QString sftype;
    QString awordhz;
    QString sfth;
    QString sfbtm;
    QString wsavehz;
    QString wsavely;
};

GlobalSettings& globals();

// ap_path + "/tovk.ini".
QString profilePathFor(const QString& apPath);

}  // namespace quorv
