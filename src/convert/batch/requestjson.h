#pragma once

// A request and what its run ended with, as JSON: how a request crosses to another process
// of the same user (the office service) and its outcome comes back.

#include <QJsonObject>
#include <optional>

#include "convert/batch/run.h"

namespace quorv {

QJsonObject requestToJson(const BatchRequest& request);
// Null when the object is no request (a field of the wrong kind, an unknown mode).
std::optional<BatchRequest> requestFromJson(const QJsonObject& json);

QJsonObject runResultToJson(const BatchRunResult& result);
std::optional<BatchRunResult> runResultFromJson(const QJsonObject& json);

// The request with every path made absolute against `folder`, so that it means the same
// in a process with another working folder. A tool named without a folder stays as it is.
BatchRequest withAbsolutePaths(BatchRequest request, const QString& folder);

}  // namespace quorv
