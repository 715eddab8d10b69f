#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>

namespace quorv::testing {

// The entries of a zip archive (stored or deflated), by name; empty when unreadable.
QMap<QString, QByteArray> readZip(const QByteArray& zip);

}  // namespace quorv::testing
