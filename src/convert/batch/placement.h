#pragma once

// How a row's output comes to its name: whole or not at all. The row writes and checks it
// in a folder of its own beside the target, then renames it into place; a run that dies
// in between leaves only that folder, which the next run in the target clears.

#include <QString>
#include <functional>
#include <memory>

#include "core/failreason.h"

class QTemporaryDir;

namespace quorv {

// Told, on the row's thread, just before a written file takes its final name; false
// leaves it unplaced. quorvbatch's journal notes the rename here.
using PlaceHook = std::function<bool(const QString& written, const QString& target)>;

// The output of one row on its way into a target folder.
class OutputPart {
  public:
    explicit OutputPart(QString target);  // the target folder, ending in "/"
    ~OutputPart();                        // what was not placed goes with its folder
    OutputPart(const OutputPart&) = delete;
    OutputPart& operator=(const OutputPart&) = delete;

    // The private folder to write into, made on the first call; empty when it cannot be.
    QString folder();

    struct Placed {
        QString path;  // the final name; empty when not placed
        FailReason reason = FailReason::None;
    };
    // Gives `written` (a file in folder()) its name in the target: the same name when
    // `replace`, else the first free numbered one. Whatever else the writer left beside it
    // (a web page's pictures) goes into the target first, under its own names, so that the
    // main file never names a page whose parts are missing. A name that is the row's own
    // source is never written over.
    Placed place(const QString& written, bool replace, const QString& source,
                 const PlaceHook& hook = {});

  private:
    QString target_;
    std::unique_ptr<QTemporaryDir> dir_;
};

// Removes from a folder what earlier runs that died left half-placed; a folder of a
// process still running is kept (shards of one run share their target).
void clearLeftoverParts(const QString& folder);

}  // namespace quorv
