#include "gui/mainwin/frnstatus.h"

#include <QDateTime>
#include <algorithm>
#include <vector>

#include "gui/mainwin/w_frn.h"

namespace quorv {

void RunStatus::clear() { *this = RunStatus(); }

void RunStatus::startRun(int total, qint64 nowMs) {
    clear();
    state_ = State::Running;
    total_ = total;
    startMs_ = nowMs;
}

void RunStatus::rowStarted(const QString& name) { current_ = name; }

void RunStatus::rowFinished(BatchResult result, const QString& reason) {
    if (result == BatchResult::Success) {
        ++succeeded_;
        return;
    }
    ++failed_;
    ++reasons_[reason.isEmpty() ? QStringLiteral("原因不明") : reason];
}

void RunStatus::endRun(qint64 nowMs, bool stopped) {
    if (state_ != State::Running) return;
    state_ = stopped ? State::Stopped : State::Ended;
    endMs_ = nowMs;
    current_.clear();
}

void RunStatus::searchEnded(int found, int searched) {
    clear();
    state_ = State::Searched;
    found_ = found;
    total_ = searched;
}

QString RunStatus::durationText(qint64 ms) {
    const qint64 s = std::max<qint64>(0, (ms + 500) / 1000);
    if (s < 60) return QString::number(s) + QStringLiteral("秒");
    if (s < 3600) {
        return QString::number(s / 60) + QStringLiteral("分") +
               QStringLiteral("%1").arg(s % 60, 2, 10, QLatin1Char('0')) + QStringLiteral("秒");
    }
    return QString::number(s / 3600) + QStringLiteral("小时") +
           QStringLiteral("%1").arg(s / 60 % 60, 2, 10, QLatin1Char('0')) + QStringLiteral("分");
}

QString RunStatus::outcomeText(qint64 elapsedMs) const {
    QString t = QStringLiteral("成功 %1，失败 %2").arg(succeeded_).arg(failed_);
    if (state_ == State::Stopped) {
        t += QStringLiteral("，未转换 %1").arg(std::max(0, total_ - done()));
    }
    t += QStringLiteral("，用时 ") + durationText(elapsedMs);
    if (!reasons_.empty()) {
        // The commonest reason first: it is the one worth acting on.
        std::vector<std::pair<QString, int>> byCount(reasons_.begin(), reasons_.end());
        std::stable_sort(byCount.begin(), byCount.end(),
                         [](const auto& a, const auto& b) { return a.second > b.second; });
        QStringList parts;
        for (const auto& [reason, n] : byCount)
            parts.append(reason + QLatin1Char(' ') + QString::number(n));
        t += QStringLiteral("（") + parts.join(QStringLiteral("，")) + QStringLiteral("）");
    }
    return t;
}

QString RunStatus::text(qint64 nowMs) const {
    switch (state_) {
        case State::Idle:
            return QString();
        case State::Running: {
            QString t = QStringLiteral("已完成 %1/%2").arg(done()).arg(total_);
            if (!current_.isEmpty()) t += QStringLiteral("，正在转换：") + current_;
            if (done() > 0 && done() < total_) {
                const qint64 elapsed = nowMs - startMs_;
                const qint64 left = elapsed * (total_ - done()) / done();
                t += QStringLiteral("，剩余约 ") + durationText(left);
            }
            return t;
        }
        case State::Ended:
            return outcomeText(endMs_ - startMs_);
        case State::Stopped:
            return QStringLiteral("已中止：") + outcomeText(endMs_ - startMs_);
        case State::Searched:
            return QStringLiteral("搜索结束，找到 %1 个，共搜索 %2 个文件").arg(found_).arg(total_);
    }
    return QString();
}

QString statusLineText(const RunStatus& status, qint64 nowMs, int shown, int total, bool filtered) {
    QString t = status.text(nowMs);
    if (filtered) {
        if (!t.isEmpty()) t += QStringLiteral("；");
        t += QStringLiteral("显示 %1/%2").arg(shown).arg(total);
    }
    return t;
}

RunCallbacks trackRun(w_frn& w, const BatchRequest& request) {
    RunStatus& status = w.status();
    status.startRun(static_cast<int>(request.rows.size()), QDateTime::currentMSecsSinceEpoch());
    w.showStatus();
    RunCallbacks callbacks;
    const QList<BatchRow> rows = request.rows;
    callbacks.rowStarted = [&w, rows](int index) {
        w.status().rowStarted(rows.value(index).filey);
        w.showStatus();
    };
    callbacks.rowWritten = [&w](int index, const QString& output) {
        w.list().setOutput(index + 1, output);
    };
    callbacks.rowFinished = [&w](int, BatchResult result, FailReason reason) {
        w.status().rowFinished(result, failReasonText(reason));
        w.showStatus();
    };
    return callbacks;
}

void endTrackedRun(w_frn& w, bool stopped) {
    w.status().endRun(QDateTime::currentMSecsSinceEpoch(), stopped);
    w.showStatus();
}

}  // namespace quorv
