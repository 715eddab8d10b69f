#pragma once

// A request and what its run ended with, as JSON: how a request crosses to another process
// of the same user (the office service) and its outcome comes back.

#include <QJsonObject>
#include <QList>
#include <QStringList>
#include <exception>
#include <optional>

#include "convert/batch/batchengine.h"
#include "core/runtimeerror.h"

namespace quorv {

// What a run of a request ended with: each row's result as the engine reported it, the
// intermediate PDFs that successful rows left, and the error that stopped the run.
struct BatchRunResult {
    struct Row {
        BatchResult result = BatchResult::Failure;
        FailReason reason = FailReason::None;
    };
    QList<Row> rows;  // in request order
    QStringList intermediates;
    std::optional<RuntimeError> error;
    QStringList messages;  // what the rows logged, when the engine kept it

    // The result of an engine that has finished, `rows` as its rowFinished gave them.
    static BatchRunResult of(const BatchEngine& engine, QList<Row> rows);
};

// Runs a request on an engine of this thread to its end, in an event loop of its own.
BatchRunResult runToEnd(const BatchRequest& request);

QJsonObject requestToJson(const BatchRequest& request);
// Null when the object is no request (a field of the wrong kind, an unknown mode).
std::optional<BatchRequest> requestFromJson(const QJsonObject& json);

QJsonObject runResultToJson(const BatchRunResult& result);
std::optional<BatchRunResult> runResultFromJson(const QJsonObject& json);

// The request with every path made absolute against `folder`, so that it means the same
// in a process with another working folder. A tool named without a folder stays as it is.
BatchRequest withAbsolutePaths(BatchRequest request, const QString& folder);

}  // namespace quorv
