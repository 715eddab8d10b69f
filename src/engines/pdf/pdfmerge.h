#pragma once

// One PDF from many: the pages of each part in order, under one top-level bookmark per
// part that holds the part's own bookmarks.

#include <QList>
#include <QString>
#include <QStringList>

#include "core/pdfoptions.h"

namespace quorv::pdf {

struct MergePart {
    QString path;
    QString title;  // the top-level bookmark: the part's file name as the list shows it
};

struct MergeOutcome {
    bool written = false;
    int pages = 0;
    QStringList leftOut;  // titles of parts that did not open and are not in the file
    QString error;        // why nothing was written
};

// Writes the parts, in order, to `target` (replaced atomically: a reader or an
// interruption never sees half a merged file). Parts open with `protection`'s open
// password as well as without one, and the merged file gets the same protection. A part
// that does not open is left out and named; with no part left nothing is written.
MergeOutcome mergePdfs(const QList<MergePart>& parts, const QString& target,
                       const PdfProtection& protection = {});

}  // namespace quorv::pdf
