#include "gui/mainwin/frnpool.h"

#include <QEventLoop>
#include <QTimer>

#include "gui/mainwin/w_frn.h"

namespace quorv {

namespace {
// How often a held Escape is looked for while rows are worked on.
constexpr int kEscapePollMs = 100;
}  // namespace

QString batchNoticeText(BatchNotice notice) {
    switch (notice) {
        case BatchNotice::ExcelUnavailable:
            return QStringLiteral("启用Excel失败。");
    }
    return QString();
}

void runOnPool(
    w_frn& w, BatchEngine& engine,
    const std::function<void(int index, BatchResult result, const QString& reason)>& onRow) {
    Desktop& desktop = w.desktop();
    engine.setStartGate([&desktop] { return !desktop.escapeHeld(); });
    QEventLoop loop;
    QObject::connect(&engine, &BatchEngine::rowFinished, &loop,
                     [&onRow](int index, BatchResult result, FailReason reason) {
                         onRow(index, result, failReasonText(reason));
                     });
    QObject::connect(&engine, &BatchEngine::notice, &loop, [&desktop](BatchNotice notice) {
        desktop.messageBox(QString(), batchNoticeText(notice));
    });
    QObject::connect(&engine, &BatchEngine::finished, &loop, &QEventLoop::quit);
    QTimer escapePoll;
    QObject::connect(&escapePoll, &QTimer::timeout, &engine, [&] {
        if (desktop.escapeHeld()) engine.stop();
    });
    w.setRunningBatch(&engine);
    engine.start();
    if (!engine.isFinished()) {
        escapePoll.start(kEscapePollMs);
        loop.exec();
    }
    escapePoll.stop();
    w.setRunningBatch(nullptr);
    // The error report does not name the file: the row that raised, marked, is in view.
    if (engine.error()) w.dw_1->scrollTo(w.list().index(engine.errorRow(), 0));
}

}  // namespace quorv
