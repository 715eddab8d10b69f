#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>
#include <vector>

namespace quorv {

// Columns of a list row, in definition order.
enum class Frn1Column { xh, ypath, filey, filen, npath, jg, zml, ftime, yy };

// One row of the file list. Text columns distinguish "no value" (a null QString) from the
// empty text, as zml does for files not added by a subfolder scan.
struct frn1 {
    std::optional<int64_t> xh;
    QString ypath;
    QString filey;
    QString filen;
    QString npath;
    QString jg;
    QString zml;
    QString ftime;
    QString yy;      // why the row did not succeed, empty otherwise
    QString output;  // the file the last run wrote for the row, empty for none
    bool selected = false;
};

// The column of a name ("filey", any letter case), or nullopt.
std::optional<Frn1Column> frn1ColumnByName(const QString& name);
QString frn1ColumnName(Frn1Column column);

// The file list dw_1. Rows are numbered from 1 among the rows currently shown; rows that
// the filter hides stay in the list and come back when the filter changes. Selection,
// filter and sort are the list's own state, so every caller sees the same rules.
class FileListModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    // The shown columns, left to right, and their header texts.
    static const std::vector<Frn1Column>& shownColumns();
    static QString headerText(Frn1Column column);

    explicit FileListModel(QObject* parent = nullptr);

    // Number of shown rows (the parent argument only serves the view).
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    // Number of rows including those hidden by the filter.
    int totalRowCount() const { return static_cast<int>(rows_.size()); }

    // Appends an empty row after the last shown row; returns its number.
    int appendRow();

    // Sets a cell of shown row `row`; false for an unknown row or column. xh takes a
    // number (a text that is not a number clears it), the others take text.
    bool setCell(int row, const QString& column, const QVariant& value);
    bool setCell(int row, Frn1Column column, const QVariant& value);
    // The text of a cell; empty for an unknown row or column or a cell without value.
    QString cellText(int row, const QString& column) const;
    QString cellText(int row, Frn1Column column) const;
    const frn1* rowData(int row) const;
    // Records the file the run wrote for shown row `row`.
    void setOutput(int row, const QString& path);

    // Selects or deselects shown row `row`; row 0 means every shown row.
    void selectRow(int row, bool on);
    bool isSelected(int row) const;
    // Inverts the selection of every shown row.
    void invertSelection();
    // Empties the result and its reason and drops the selection of every row, hidden ones
    // included.
    void clearResults();
    int selectedCount() const;

    // The filter expression: empty for none, or `column like 'pattern'` where % in the
    // pattern stands for any run of characters; letter case is ignored. False, and the
    // old expression kept, when the text is not such an expression.
    bool setFilter(const QString& expression);
    QString filterExpression() const { return filterText_; }
    // Hides the rows that do not match the expression and shows those that do.
    void applyFilter();
    // Shows only rows that failed ("失败" or "空格"), on top of the expression; takes
    // effect with applyFilter, and setting the empty expression clears it as well.
    void setFailedOnly(bool on);
    bool failedOnly() const { return failedOnly_; }
    static bool isFailed(const frn1& row);
    // Whether a text matches a like pattern (% is any run of characters, case ignored).
    static bool likeMatches(const QString& text, const QString& pattern);

    // The sort expression: `column A` or `column D`; empty for none. False, and the old
    // expression kept, for anything else.
    bool setSort(const QString& expression);
    QString sortExpression() const { return sortText_; }
    // Orders the rows by the sort expression: xh as a number, the other columns as text
    // (ftime is written so that text order is time order). Equal keys keep their order.
    void applySort();

    // Removes every row, hidden ones included.
    void removeAll();
    // Removes shown row `row`; false when there is no such row.
    bool removeShownRow(int row);
    // Removes every selected shown row; returns how many went.
    int removeSelected();

    // Redraw off while many rows change: views follow redrawChanged, and cell changes are
    // announced once when redraw comes back on.
    void setRedraw(bool on);
    bool redraw() const { return redraw_; }

    // For the view.
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // The column shown at a view column.
    static Frn1Column columnAt(int viewColumn);

  signals:
    void redrawChanged(bool on);
    // After applyFilter, with whether only failed rows are now shown.
    void filterApplied(bool failedOnly);

  private:
    frn1* shownRow(int row);
    const frn1* shownRow(int row) const;
    void rebuildShown();
    void emitRowChanged(int row);
    void emitAllChanged();

    std::vector<frn1> rows_;  // every row, hidden ones included, in list order
    std::vector<int> shown_;  // indexes into rows_ of the shown rows, in display order
    QString filterText_;
    Frn1Column filterColumn_ = Frn1Column::filey;
    QString filterPattern_;
    bool failedOnly_ = false;
    QString sortText_;
    Frn1Column sortColumn_ = Frn1Column::xh;
    bool sortAscending_ = true;
    bool redraw_ = true;
    bool changedWhileOff_ = false;
};

}  // namespace quorv
