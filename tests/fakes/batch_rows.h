#pragma once

// Fills the main window's list with files and reads the result words back, for the
// tests and benchmarks that drive the "开始输出" run headless.

#include <QFileInfo>
#include <QString>
#include <QStringList>

#include "convert/folderscan.h"
#include "gui/mainwin/frnscan.h"
#include "gui/mainwin/w_frn.h"

namespace quorv::testing {

// One row per file, in the given order, as a folder scan would add them.
inline void setRows(w_frn& w, const QStringList& files) {
    w.list().removeAll();
    for (const QString& f : files) {
        const QFileInfo info(f);
        ScanRow r;
        r.ypath = info.absolutePath() + QLatin1Char('/');
        r.filey = info.fileName();
        appendScanRow(w.list(), std::move(r));
    }
}

// How many rows carry `word` in the result column.
inline int rowsWith(w_frn& w, const QString& word) {
    int n = 0;
    for (int i = 1; i <= w.list().rowCount(); ++i) {
        if (w.list().cellText(i, "jg") == word) ++n;
    }
    return n;
}

// The result words of every row, "" where a row has none.
inline QStringList resultWords(w_frn& w) {
    QStringList r;
    for (int i = 1; i <= w.list().rowCount(); ++i) r << w.list().cellText(i, "jg");
    return r;
}

}  // namespace quorv::testing
