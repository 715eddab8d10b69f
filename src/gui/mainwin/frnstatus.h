#pragma once

#include <QString>
#include <map>

#include "convert/batch/run.h"

namespace quorv {

class w_frn;

// What the status line under the list says: a run's progress while it goes, its outcome
// when it ends, how many rows a search found. Only counts and texts, so that a test reads
// them without a window; times come in as milliseconds of any steady clock.
class RunStatus {
  public:
    void startRun(int total, qint64 nowMs);
    void rowStarted(const QString& name);
    // reason: the text the list shows for the row, empty for none.
    void rowFinished(BatchResult result, const QString& reason);
    // stopped: the run ended before its last row.
    void endRun(qint64 nowMs, bool stopped);
    void searchEnded(int found, int searched);
    void clear();

    bool running() const { return state_ == State::Running; }
    int done() const { return succeeded_ + failed_; }
    // How many failed rows gave each reason.
    const std::map<QString, int>& reasons() const { return reasons_; }

    QString text(qint64 nowMs) const;

    // "45秒", "2分05秒", "1小时03分".
    static QString durationText(qint64 ms);

  private:
    enum class State { Idle, Running, Ended, Stopped, Searched };
    QString outcomeText(qint64 elapsedMs) const;
    State state_ = State::Idle;
    int total_ = 0;
    int succeeded_ = 0;
    int failed_ = 0;
    int found_ = 0;
    std::map<QString, int> reasons_;
    QString current_;
    qint64 startMs_ = 0;
    qint64 endMs_ = 0;
};

// The whole line: the run's or search's text, and how many rows a filter leaves shown.
QString statusLineText(const RunStatus& status, qint64 nowMs, int shown, int total, bool filtered);

// Starts the window's status line on a run of request, and returns the callbacks that
// follow its rows into the status line and each written output into its row of the list.
RunCallbacks trackRun(w_frn& w, const BatchRequest& request);
// Ends the status line's run.
void endTrackedRun(w_frn& w, bool stopped);

}  // namespace quorv
