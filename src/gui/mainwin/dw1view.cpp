#include "gui/mainwin/dw1view.h"

#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QMimeData>
#include <QMouseEvent>
#include <QUrl>
#include <algorithm>
#include <iterator>

#include "gui/mainwin/frn1.h"
#include "gui/mainwin/frnlayout.h"

namespace quorv {

// Wide enough for the name of a typical Chinese document; the path is cut in its middle.
const int Dw1View::kColumnWidths[7] = {40, 110, 410, 40, 60, 130, 160};

namespace {

// The local files and folders a drag carries; empty when it carries anything else.
QStringList localPaths(const QMimeData* data) {
    QStringList paths;
    if (!data || !data->hasUrls()) return paths;
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile()) paths.append(url.toLocalFile());
    }
    return paths;
}

}  // namespace

Dw1View::Dw1View(QWidget* parent) : QTableView(parent) {
    setSelectionMode(QAbstractItemView::NoSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setWordWrap(false);
    // A path that does not fit keeps its start and its last folders, which tell files apart.
    setTextElideMode(Qt::ElideMiddle);
    setCornerButtonEnabled(false);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setDropIndicatorShown(false);
    verticalHeader()->hide();
    // Fixed row heights keep scrolling through a long list cheap.
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setSectionsClickable(true);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setStretchLastSection(false);
    connect(horizontalHeader(), &QHeaderView::sectionResized, this,
            [this](int logical, int, int size) {
                if (!restoring_ && logical >= 0 && logical < int(widths_.size())) {
                    widths_[logical] = size;
                    fitPathColumn();
                }
            });
    baseFont_ = font();
    applyZoom();
}

void Dw1View::setModel(QAbstractItemModel* m) {
    disconnect(resetConnection_);
    QTableView::setModel(m);
    if (m) {
        resetConnection_ =
            connect(m, &QAbstractItemModel::modelReset, this, &Dw1View::restoreWidths);
    }
    placeReasonBesideResult();
    restoreWidths();
}

// The reason is read with the result, so it is shown right after it, where a list of the
// usual width still has it in view; the columns keep their order in the list itself.
void Dw1View::placeReasonBesideResult() {
    const int jg = viewColumn(Frn1Column::jg);
    const int yy = viewColumn(Frn1Column::yy);
    QHeaderView* h = horizontalHeader();
    if (yy >= h->count() || jg >= h->count()) return;
    const int want = h->visualIndex(jg) + 1;
    if (h->visualIndex(yy) != want) h->moveSection(h->visualIndex(yy), want);
}

int Dw1View::zoomPercent() const {
    bool ok = false;
    const int z = zoom_.toInt(&ok);
    return ok && z > 0 ? z : 100;
}

QString Dw1View::widthsText() const { return columnWidthsText(widths_, zoomPercent()); }

void Dw1View::setWidthsText(const QString& text) {
    const std::vector<int> stored = parseColumnWidths(text, zoomPercent());
    for (size_t c = 0; c < stored.size() && c < widths_.size(); ++c) {
        if (stored[c] > 0) widths_[c] = stored[c];
    }
    restoreWidths();
}

void Dw1View::restoreWidths() {
    restoring_ = true;
    for (int c = 0; c < int(widths_.size()); ++c) {
        if (c != pathColumn()) horizontalHeader()->resizeSection(c, widths_[c]);
    }
    restoring_ = false;
    fitPathColumn();
}

int Dw1View::viewColumn(Frn1Column column) {
    const auto& shown = FileListModel::shownColumns();
    return int(std::find(shown.begin(), shown.end(), column) - shown.begin());
}

int Dw1View::pathColumn() { return viewColumn(Frn1Column::ypath); }

void Dw1View::fitPathColumn() {
    const int path = pathColumn();
    if (!model() || path >= int(widths_.size()) || path >= horizontalHeader()->count()) return;
    int others = 0;
    // The sections as drawn: the header may have kept one at its minimum size.
    for (int c = 0; c < horizontalHeader()->count(); ++c) {
        if (c != path) others += horizontalHeader()->sectionSize(c);
    }
    // Never narrower than its own width or one the user gave it.
    const int least =
        std::max({horizontalHeader()->minimumSectionSize(), widths_[path], pathFloor_});
    restoring_ = true;
    horizontalHeader()->resizeSection(path, std::max(least, viewport()->width() - others));
    restoring_ = false;
}

void Dw1View::resizeEvent(QResizeEvent* event) {
    QTableView::resizeEvent(event);
    fitPathColumn();
}

void Dw1View::setBaseFont(const QFont& font) {
    baseFont_ = font;
    applyZoom();
}

void Dw1View::setZoom(const QString& zoom) {
    zoom_ = zoom;
    applyZoom();
}

void Dw1View::applyZoom() {
    const int z = zoomPercent();
    QFont f = baseFont_;
    f.setPointSizeF(std::max(1.0, baseFont_.pointSizeF() * z / 100.0));
    setFont(f);
    horizontalHeader()->setFont(f);
    const int rowHeight = QFontMetrics(f).height() + 6;
    verticalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setDefaultSectionSize(rowHeight);
    widths_.assign(std::begin(kColumnWidths), std::end(kColumnWidths));
    for (int& w : widths_) w = w * z / 100;
    // The path column's width comes from the list's; only a user's choice sets it.
    pathFloor_ = widths_[pathColumn()];
    widths_[pathColumn()] = 0;
    restoreWidths();
}

QString Dw1View::objectAt(const QModelIndex& index) const {
    if (!index.isValid()) return QString();
    return frn1ColumnName(FileListModel::columnAt(index.column()));
}

void Dw1View::mousePressEvent(QMouseEvent* event) {
    setFocus(Qt::MouseFocusReason);
    if (event->button() != Qt::LeftButton) return;
    const QModelIndex index = indexAt(event->position().toPoint());
    emit clickedAt(index.isValid() ? index.row() + 1 : 0, objectAt(index), event->modifiers());
}

// Presses are handled entirely above; the base class would start a drag selection.
void Dw1View::mouseReleaseEvent(QMouseEvent*) {}
void Dw1View::mouseMoveEvent(QMouseEvent*) {}

// Entering is moving onto the list: the same files are taken.
void Dw1View::dragEnterEvent(QDragEnterEvent* event) { dragMoveEvent(event); }

void Dw1View::dragMoveEvent(QDragMoveEvent* event) {
    if (localPaths(event->mimeData()).isEmpty()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
}

void Dw1View::dropEvent(QDropEvent* event) {
    const QStringList paths = localPaths(event->mimeData());
    if (paths.isEmpty()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    emit pathsDropped(paths);
}

void Dw1View::contextMenuEvent(QContextMenuEvent* event) {
    const QModelIndex index = indexAt(viewport()->mapFromGlobal(event->globalPos()));
    emit menuRequested(index.isValid() ? index.row() + 1 : 0, event->globalPos());
}

void Dw1View::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    const QModelIndex index = indexAt(event->position().toPoint());
    emit doubleClickedAt(index.isValid() ? index.row() + 1 : 0, objectAt(index));
}

}  // namespace quorv
