// Times the file list with 100,000 rows: appending, sorting by every shown column, a name
// filter and its removal, selection changes, and the same list drawn by its view.
#include <QApplication>
#include <QElapsedTimer>
#include <QScrollBar>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

#include "gui/mainwin/dw1view.h"
#include "gui/mainwin/frn1.h"
#include "gui/mainwin/listclicks.h"

using namespace quorv;

namespace {

double worst = 0;

double timed(const char* what, const std::function<void()>& op) {
    QElapsedTimer t;
    t.start();
    op();
    const double ms = t.nsecsElapsed() / 1e6;
    worst = std::max(worst, ms);
    std::printf("%-40s %9.1f ms\n", what, ms);
    return ms;
}

struct Values {
    QString ypath, filey, jg, zml, ftime;
};

// Scrambled so that every column needs real work to sort; made before the timing starts.
std::vector<Values> makeValues(int rows) {
    std::vector<Values> v;
    v.reserve(rows);
    for (int i = 0; i < rows; ++i) {
        const int k = static_cast<int>((i * 7919LL) % rows);
        v.push_back({QStringLiteral("/home/user/文档/项目%1/").arg(k % 977),
                     QStringLiteral("报告_%1_final.docx").arg(k),
                     k % 3 == 0 ? QStringLiteral("成功") : QString(),
                     QStringLiteral("子目录%1/").arg(k % 31),
                     QStringLiteral("20%1-%2-%3 12:%4:%5")
                         .arg(10 + k % 15)
                         .arg(1 + k % 12, 2, 10, QLatin1Char('0'))
                         .arg(1 + k % 28, 2, 10, QLatin1Char('0'))
                         .arg(k % 60, 2, 10, QLatin1Char('0'))
                         .arg(k % 59, 2, 10, QLatin1Char('0'))});
    }
    return v;
}

const std::vector<Values>* g_values = nullptr;

void fill(FileListModel& m, int rows) {
    for (int i = 0; i < rows; ++i) {
        const Values& v = (*g_values)[i];
        const int r = m.appendRow();
        m.setCell(r, Frn1Column::xh, r);
        m.setCell(r, Frn1Column::ypath, v.ypath);
        m.setCell(r, Frn1Column::filey, v.filey);
        m.setCell(r, Frn1Column::jg, v.jg);
        m.setCell(r, Frn1Column::zml, v.zml);
        m.setCell(r, Frn1Column::ftime, v.ftime);
    }
}

void listOps(FileListModel& m, const char* prefix) {
    char label[128];
    for (Frn1Column c : FileListModel::shownColumns()) {
        for (const char* dir : {" D", " A"}) {
            m.setSort(frn1ColumnName(c) + QLatin1String(dir));
            std::snprintf(label, sizeof label, "%ssort %s%s", prefix,
                          frn1ColumnName(c).toUtf8().constData(), dir);
            timed(label, [&] { m.applySort(); });
        }
    }
    std::snprintf(label, sizeof label, "%sapply name filter", prefix);
    timed(label, [&] {
        m.setFilter(QStringLiteral("filey like '%7_%'"));
        m.applyFilter();
    });
    std::printf("%-40s %9d rows\n", "  shown under the filter", m.rowCount());
    std::snprintf(label, sizeof label, "%sclear name filter", prefix);
    timed(label, [&] {
        m.setFilter(QString());
        m.applyFilter();
    });
    std::snprintf(label, sizeof label, "%sinvert selection", prefix);
    timed(label, [&] { m.invertSelection(); });
    Dw1Clicks clicks(m);
    clicks.clicked(1, QStringLiteral("filey"), false, false);
    std::snprintf(label, sizeof label, "%sshift-click range of every row", prefix);
    timed(label, [&] { clicks.clicked(m.rowCount(), QStringLiteral("filey"), true, false); });
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    constexpr int kRows = 100000;
    const std::vector<Values> values = makeValues(kRows);
    g_values = &values;

    {
        FileListModel m;
        timed("append 100000 rows", [&] { fill(m, kRows); });
        listOps(m, "");
        timed("remove selected (every row)", [&] { m.removeSelected(); });
    }

    // The same with the list shown, as in the window.
    FileListModel m;
    Dw1View view;
    view.setModel(&m);
    view.resize(620, 440);
    view.show();
    QApplication::processEvents();
    timed("view: append 100000 rows", [&] { fill(m, kRows); });
    timed("view: first paint", [&] { view.viewport()->repaint(); });
    timed("view: remove all rows", [&] { m.removeAll(); });
    // As the folder scan appends: with redraw off.
    timed("view: append 100000 rows, redraw off", [&] {
        m.setRedraw(false);
        fill(m, kRows);
        m.setRedraw(true);
    });
    listOps(m, "view: ");
    timed("view: paint after the operations", [&] { view.viewport()->repaint(); });
    timed("view: scroll to the end and paint", [&] {
        view.verticalScrollBar()->setValue(view.verticalScrollBar()->maximum());
        view.viewport()->repaint();
    });
    double scroll = 0;
    for (int i = 0; i < 50; ++i) {
        QElapsedTimer t;
        t.start();
        view.verticalScrollBar()->setValue(view.verticalScrollBar()->maximum() * i / 50);
        view.viewport()->repaint();
        scroll = std::max(scroll, t.nsecsElapsed() / 1e6);
    }
    worst = std::max(worst, scroll);
    std::printf("%-40s %9.1f ms\n", "view: slowest of 50 scroll jumps", scroll);
    timed("view: remove all rows", [&] { m.removeAll(); });
    std::printf("worst_ms %.1f\n", worst);
    return 0;
}
