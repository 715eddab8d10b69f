#pragma once

#include <QString>
#include <QTableView>
#include <vector>

namespace quorv {

enum class Frn1Column;

// The view of the file list. It never selects or edits by itself: clicks and double-clicks
// go out as signals with the list row (from 1; 0 when not on a row) and the name of what
// is under the pointer, and the list's own selection is drawn by the model.
class Dw1View : public QTableView {
    Q_OBJECT
  public:
    explicit Dw1View(QWidget* parent = nullptr);

    // Zoom percentage as text ("100", "140"); scales the font, rows and columns.
    void setZoom(const QString& zoom);
    QString zoom() const { return zoom_; }
    void setBaseFont(const QFont& font);
    void setModel(QAbstractItemModel* model) override;

    // Pixel widths of the shown columns at zoom 100. The path column takes whatever width
    // of the list the others leave, but no less than its own here: a list too narrow for
    // all of them scrolls sideways.
    static const int kColumnWidths[7];

    // The widths the columns have now, as the settings keep them, and back.
    QString widthsText() const;
    void setWidthsText(const QString& text);

  signals:
    void clickedAt(int row, const QString& object, Qt::KeyboardModifiers modifiers);
    void doubleClickedAt(int row, const QString& object);
    // Local files and folders dropped on the list, in the order dropped.
    void pathsDropped(const QStringList& paths);
    // A right click: the row under the pointer (0 when none) and where to show a menu.
    void menuRequested(int row, const QPoint& globalPos);

  protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

  private:
    void applyZoom();
    // The zoom as a percentage; 100 when it is not a usable number.
    int zoomPercent() const;
    QString objectAt(const QModelIndex& index) const;
    void restoreWidths();
    void placeReasonBesideResult();
    void fitPathColumn();
    // The view column of a list column; the column count when it is not shown.
    static int viewColumn(Frn1Column column);
    static int pathColumn();
    QString zoom_ = QStringLiteral("100");
    std::vector<int> widths_;  // current column widths, kept across model resets
    int pathFloor_ = 0;        // the path column's least width at the current zoom
    bool restoring_ = false;
    QMetaObject::Connection resetConnection_;
    QFont baseFont_;
};

}  // namespace quorv
