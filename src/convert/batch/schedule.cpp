#include "convert/batch/schedule.h"

#include <QDir>
#include <QHash>
#include <algorithm>

namespace quorv {

namespace {

// The part of a name every output of it shares: up to its last dot, without the digits a
// numbered copy puts in front, in lower case so that nothing differing only in case can
// slip past (running such rows one after another costs only time).
QString nameStem(const QString& name) {
    QString stem = name.mid(name.lastIndexOf(QLatin1Char('/')) + 1);
    const qsizetype dot = stem.lastIndexOf(QLatin1Char('.'));
    if (dot >= 0) stem.truncate(dot);
    qsizetype digits = 0;
    while (digits < stem.size() && stem.at(digits).isDigit()) ++digits;
    return stem.mid(digits).toLower();
}

QString cleanFolder(const QString& folder) {
    QString f = QDir::cleanPath(folder);
    if (!f.endsWith(QLatin1Char('/'))) f += QLatin1Char('/');
    return f;
}

QList<QStringList> keysOf(const BatchRequest& request) {
    QList<QStringList> keys;
    for (const BatchRow& r : request.rows) keys << batchRowKeys(request, r);
    return keys;
}

}  // namespace

QStringList batchRowKeys(const BatchRequest& request, const BatchRow& row) {
    if (!modeInfo(request.mode).writes) return {};
    const QString stem = nameStem(row.filey);
    QStringList keys{cleanFolder(batchOutputFolder(request, row)) + stem};
    // The intermediate PDFs of all rows share one folder.
    if (request.mode == BatchMode::Swf || request.mode == BatchMode::Ofd)
        keys << cleanFolder(request.pdfp) + stem;
    return keys;
}

BatchSchedule::BatchSchedule(const BatchRequest& request) : BatchSchedule(keysOf(request)) {}

BatchSchedule::BatchSchedule(const QList<QStringList>& keys)
    : state_(keys.size(), State::Waiting), earlier_(keys.size()) {
    QHash<QString, int> last;  // the latest row seen of each key
    for (int i = 0; i < keys.size(); ++i) {
        for (const QString& k : keys[i]) {
            const auto it = last.constFind(k);
            if (it != last.constEnd() &&
                std::find(earlier_[i].begin(), earlier_[i].end(), *it) == earlier_[i].end()) {
                earlier_[i].push_back(*it);
            }
            last.insert(k, i);
        }
    }
}

std::optional<int> BatchSchedule::peek() const {
    for (int i = 0; i < static_cast<int>(state_.size()); ++i) {
        if (state_[i] != State::Waiting) continue;
        // The latest earlier row of a key is done only after all before it were.
        const bool free = std::all_of(earlier_[i].begin(), earlier_[i].end(),
                                      [this](int e) { return state_[e] == State::Done; });
        if (free) return i;
    }
    return std::nullopt;
}

void BatchSchedule::start(int row) {
    state_[row] = State::Running;
    ++started_;
}

void BatchSchedule::finish(int row) { state_[row] = State::Done; }

}  // namespace quorv
