#pragma once

// One row of a batch on a worker: its conversion, copy or search, and what it came to.

#include <QString>
#include <exception>
#include <memory>
#include <optional>

#include "convert/batch/placement.h"
#include "convert/batch/request.h"
#include "core/failreason.h"

namespace quorv {

class OleObject;

enum class BatchResult { Success, Failure, Blank };
// What a run tells at once while it goes on.
enum class BatchNotice {
    ExcelUnavailable,  // the workbooks of a search cannot be opened
};

// What a row came to.
struct RowOutcome {
    BatchResult result = BatchResult::Failure;
    QString intermediate;  // SWF, OFD: the PDF this row wrote
    QString output;        // the row's output file, when it succeeded
    std::optional<BatchNotice> notice;
    FailReason reason = FailReason::None;
    std::exception_ptr error;
    bool fatal = false;  // ends the run even when it goes on past errors
};

// What a worker keeps from row to row: the Word its searches go through.
struct RowWorker {
    RowWorker();
    ~RowWorker();
    std::unique_ptr<OleObject> word;
    bool failed = false;  // after an error the rest of the run does not happen
    PlaceHook placing;    // told before each output of a row takes its name
    // Quits the Word, closing what it left open; a Word that cannot answer is let go.
    void quitWord();
    // Lets the Word go before the worker's office ends; after an error the rest of the
    // run does not happen, the Word's quit included.
    void end();
};

// Converts, copies or searches one row of `request`. Raises what the conversion raises.
RowOutcome runBatchRow(const BatchRequest& request, const BatchRow& row, RowWorker& worker);

// Copies source to target, replacing an existing target only by a complete copy: the
// data goes to a temporary file in the target's folder that is then renamed into place.
// False, with target untouched, when source is not a readable file, when target is the
// source itself, or when any step fails.
bool copyIntoPlace(const QString& source, const QString& target);

}  // namespace quorv
