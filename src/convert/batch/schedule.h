#pragma once

// Which row of a batch may start next: rows that could write one output name run in list
// order, one after another; the others run as workers come free.

#include <QList>
#include <QStringList>
#include <optional>
#include <vector>

#include "convert/batch/request.h"

namespace quorv {

// Names under which a row's outputs may land: two rows sharing one can write the same
// path (numbered names such as "0a.pdf" count as "a.pdf").
QStringList batchRowKeys(const BatchRequest& request, const BatchRow& row);

// Which row may start next: a row starts only when every earlier row sharing one of its
// keys is finished, and otherwise rows start in list order.
class BatchSchedule {
  public:
    explicit BatchSchedule(const QList<QStringList>& keys);
    // The schedule of a request's rows by their keys.
    explicit BatchSchedule(const BatchRequest& request);
    // The first row that may start now, or none.
    std::optional<int> peek() const;
    void start(int row);
    void finish(int row);
    bool allStarted() const { return started_ == static_cast<int>(state_.size()); }

  private:
    enum class State { Waiting, Running, Done };
    std::vector<State> state_;
    std::vector<std::vector<int>> earlier_;  // earlier rows sharing a key
    int started_ = 0;
};

}  // namespace quorv
