#include "gui/mainwin/frn1.h"

#include <QBrush>
#include <QGuiApplication>
#include <QPalette>
#include <QRegularExpression>
#include <algorithm>
#include <array>
#include <numeric>

namespace quorv {

namespace {

struct ColumnInfo {
    Frn1Column column;
    const char* name;
};

constexpr std::array<ColumnInfo, 9> kColumns{{
    {Frn1Column::xh, "xh"},
    {Frn1Column::ypath, "ypath"},
    {Frn1Column::filey, "filey"},
    {Frn1Column::filen, "filen"},
    {Frn1Column::npath, "npath"},
    {Frn1Column::jg, "jg"},
    {Frn1Column::zml, "zml"},
    {Frn1Column::ftime, "ftime"},
    {Frn1Column::yy, "yy"},
}};

QString* textField(frn1& r, Frn1Column c) {
    switch (c) {
        case Frn1Column::xh:
            return nullptr;
        case Frn1Column::ypath:
            return &r.ypath;
        case Frn1Column::filey:
            return &r.filey;
        case Frn1Column::filen:
            return &r.filen;
        case Frn1Column::npath:
            return &r.npath;
        case Frn1Column::jg:
            return &r.jg;
        case Frn1Column::zml:
            return &r.zml;
        case Frn1Column::ftime:
            return &r.ftime;
        case Frn1Column::yy:
            return &r.yy;
    }
    return nullptr;
}

const QString* textField(const frn1& r, Frn1Column c) { return textField(const_cast<frn1&>(r), c); }

QString cellOf(const frn1& r, Frn1Column c) {
    if (c == Frn1Column::xh) return r.xh ? QString::number(*r.xh) : QString();
    return *textField(r, c);
}

}  // namespace

std::optional<Frn1Column> frn1ColumnByName(const QString& name) {
    const QString n = name.trimmed();
    for (const ColumnInfo& c : kColumns) {
        if (n.compare(QLatin1String(c.name), Qt::CaseInsensitive) == 0) return c.column;
    }
    return std::nullopt;
}

QString frn1ColumnName(Frn1Column column) {
    return QLatin1String(kColumns[static_cast<size_t>(column)].name);
}

const std::vector<Frn1Column>& FileListModel::shownColumns() {
    static const std::vector<Frn1Column> shown{Frn1Column::xh, Frn1Column::ypath, Frn1Column::filey,
                                               Frn1Column::jg, Frn1Column::zml,   Frn1Column::ftime,
                                               Frn1Column::yy};
    return shown;
}

QString FileListModel::headerText(Frn1Column column) {
    switch (column) {
        case Frn1Column::xh:
            return QStringLiteral("序号");
        case Frn1Column::ypath:
            return QStringLiteral("源文件路径");
        case Frn1Column::filey:
            return QStringLiteral("源文件名");
        case Frn1Column::jg:
            return QStringLiteral("结果");
        case Frn1Column::zml:
            return QStringLiteral("源文件夹子目录");
        case Frn1Column::ftime:
            return QStringLiteral("修改日期");
        case Frn1Column::yy:
            return QStringLiteral("原因");
        case Frn1Column::filen:
        case Frn1Column::npath:
            break;
    }
    return QString();
}

Frn1Column FileListModel::columnAt(int viewColumn) { return shownColumns().at(viewColumn); }

FileListModel::FileListModel(QObject* parent) : QAbstractTableModel(parent) {}

int FileListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(shown_.size());
}

int FileListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(shownColumns().size());
}

frn1* FileListModel::shownRow(int row) {
    if (row < 1 || row > static_cast<int>(shown_.size())) return nullptr;
    return &rows_[shown_[row - 1]];
}

const frn1* FileListModel::shownRow(int row) const {
    return const_cast<FileListModel*>(this)->shownRow(row);
}

const frn1* FileListModel::rowData(int row) const { return shownRow(row); }

void FileListModel::emitRowChanged(int row) {
    if (!redraw_) {
        changedWhileOff_ = true;
        return;
    }
    emit dataChanged(index(row - 1, 0), index(row - 1, columnCount() - 1));
}

void FileListModel::emitAllChanged() {
    if (!redraw_) {
        changedWhileOff_ = true;
        return;
    }
    if (!shown_.empty()) emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
}

int FileListModel::appendRow() {
    const int n = rowCount() + 1;
    beginInsertRows(QModelIndex(), n - 1, n - 1);
    rows_.emplace_back();
    shown_.push_back(static_cast<int>(rows_.size()) - 1);
    endInsertRows();
    return n;
}

bool FileListModel::setCell(int row, const QString& column, const QVariant& value) {
    const auto c = frn1ColumnByName(column);
    return c && setCell(row, *c, value);
}

bool FileListModel::setCell(int row, Frn1Column column, const QVariant& value) {
    frn1* r = shownRow(row);
    if (!r) return false;
    if (column == Frn1Column::xh) {
        bool ok = false;
        const qlonglong v = value.toLongLong(&ok);
        r->xh = ok ? std::optional<int64_t>(v) : std::nullopt;
    } else {
        *textField(*r, column) = value.toString();
    }
    emitRowChanged(row);
    return true;
}

QString FileListModel::cellText(int row, const QString& column) const {
    const auto c = frn1ColumnByName(column);
    return c ? cellText(row, *c) : QString();
}

QString FileListModel::cellText(int row, Frn1Column column) const {
    const frn1* r = shownRow(row);
    return r ? cellOf(*r, column) : QString();
}

void FileListModel::selectRow(int row, bool on) {
    if (row == 0) {
        for (int i : shown_) rows_[i].selected = on;
        emitAllChanged();
        return;
    }
    frn1* r = shownRow(row);
    if (!r || r->selected == on) return;
    r->selected = on;
    emitRowChanged(row);
}

bool FileListModel::isSelected(int row) const {
    const frn1* r = shownRow(row);
    return r && r->selected;
}

void FileListModel::invertSelection() {
    for (int i : shown_) rows_[i].selected = !rows_[i].selected;
    emitAllChanged();
}

void FileListModel::setOutput(int row, const QString& path) {
    if (frn1* r = shownRow(row)) r->output = path;
}

void FileListModel::clearResults() {
    for (frn1& r : rows_) {
        r.jg = QString();
        r.yy = QString();
        r.output = QString();
        r.selected = false;
    }
    emitAllChanged();
}

int FileListModel::selectedCount() const {
    return static_cast<int>(
        std::count_if(shown_.begin(), shown_.end(), [&](int i) { return rows_[i].selected; }));
}

bool FileListModel::likeMatches(const QString& text, const QString& pattern) {
    const QStringList parts = pattern.split(QLatin1Char('%'));
    if (parts.size() == 1) return text.compare(pattern, Qt::CaseInsensitive) == 0;
    const QString& first = parts.first();
    const QString& last = parts.last();
    if (!text.startsWith(first, Qt::CaseInsensitive)) return false;
    qsizetype pos = first.size();
    for (qsizetype i = 1; i + 1 < parts.size(); ++i) {
        if (parts[i].isEmpty()) continue;
        const qsizetype at = text.indexOf(parts[i], pos, Qt::CaseInsensitive);
        if (at < 0) return false;
        pos = at + parts[i].size();
    }
    return text.size() - pos >= last.size() && text.endsWith(last, Qt::CaseInsensitive);
}

bool FileListModel::setFilter(const QString& expression) {
    if (expression.trimmed().isEmpty()) {
        filterText_.clear();
        filterPattern_.clear();
        failedOnly_ = false;
        return true;
    }
    // The pattern runs to the last quote, so a quote typed inside it stays part of it.
    static const QRegularExpression re(
        QStringLiteral("^\\s*(\\w+)\\s+like\\s+'(.*)'\\s*$"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch m = re.match(expression);
    if (!m.hasMatch()) return false;
    const auto column = frn1ColumnByName(m.captured(1));
    if (!column) return false;
    filterText_ = expression;
    filterColumn_ = *column;
    filterPattern_ = m.captured(2);
    return true;
}

void FileListModel::rebuildShown() {
    shown_.clear();
    shown_.reserve(rows_.size());
    for (size_t i = 0; i < rows_.size(); ++i) {
        if (failedOnly_ && !isFailed(rows_[i])) continue;
        if (filterText_.isEmpty() || likeMatches(cellOf(rows_[i], filterColumn_), filterPattern_)) {
            shown_.push_back(static_cast<int>(i));
        }
    }
}

void FileListModel::applyFilter() {
    beginResetModel();
    rebuildShown();
    endResetModel();
    emit filterApplied(failedOnly_);
}

void FileListModel::setFailedOnly(bool on) { failedOnly_ = on; }

bool FileListModel::isFailed(const frn1& row) {
    return row.jg == QStringLiteral("失败") || row.jg == QStringLiteral("空格");
}

bool FileListModel::setSort(const QString& expression) {
    const QString e = expression.simplified();
    if (e.isEmpty()) {
        sortText_.clear();
        return true;
    }
    const QStringList parts = e.split(QLatin1Char(' '));
    if (parts.size() != 2) return false;
    const auto column = frn1ColumnByName(parts[0]);
    const QString dir = parts[1].toUpper();
    if (!column || (dir != QLatin1String("A") && dir != QLatin1String("D"))) return false;
    sortText_ = expression;
    sortColumn_ = *column;
    sortAscending_ = dir == QLatin1String("A");
    return true;
}

void FileListModel::applySort() {
    if (sortText_.isEmpty() || rows_.size() < 2) return;
    emit layoutAboutToBeChanged();
    std::vector<int> order(rows_.size());
    std::iota(order.begin(), order.end(), 0);
    const Frn1Column c = sortColumn_;
    const bool asc = sortAscending_;
    if (c == Frn1Column::xh) {
        // A row without a number sorts before every number.
        auto key = [&](int i) { return rows_[i].xh.value_or(INT64_MIN); };
        std::stable_sort(order.begin(), order.end(),
                         [&](int a, int b) { return asc ? key(a) < key(b) : key(b) < key(a); });
    } else {
        // Keys side by side, so the comparisons do not walk the whole rows.
        std::vector<QStringView> keys;
        keys.reserve(rows_.size());
        for (const frn1& r : rows_) keys.emplace_back(*textField(r, c));
        std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
            const int cmp = keys[a].compare(keys[b]);
            return asc ? cmp < 0 : cmp > 0;
        });
    }
    std::vector<frn1> sorted;
    sorted.reserve(rows_.size());
    for (int i : order) sorted.push_back(std::move(rows_[i]));
    // The hidden rows are ordered with the others, so showing them again keeps the order.
    std::vector<bool> wasShown(rows_.size(), false);
    for (int i : shown_) wasShown[i] = true;
    rows_ = std::move(sorted);
    shown_.clear();
    for (size_t k = 0; k < order.size(); ++k) {
        if (wasShown[order[k]]) shown_.push_back(static_cast<int>(k));
    }
    emit layoutChanged();
}

void FileListModel::removeAll() {
    beginResetModel();
    rows_.clear();
    shown_.clear();
    endResetModel();
}

bool FileListModel::removeShownRow(int row) {
    if (row < 1 || row > rowCount()) return false;
    beginRemoveRows(QModelIndex(), row - 1, row - 1);
    const int at = shown_[row - 1];
    rows_.erase(rows_.begin() + at);
    shown_.erase(shown_.begin() + (row - 1));
    for (int& i : shown_) {
        if (i > at) --i;
    }
    endRemoveRows();
    return true;
}

int FileListModel::removeSelected() {
    std::vector<bool> drop(rows_.size(), false);
    int count = 0;
    for (int i : shown_) {
        if (rows_[i].selected) {
            drop[i] = true;
            ++count;
        }
    }
    if (count == 0) return 0;
    beginResetModel();
    std::vector<frn1> kept;
    kept.reserve(rows_.size() - count);
    std::vector<int> newIndex(rows_.size(), -1);
    for (size_t i = 0; i < rows_.size(); ++i) {
        if (drop[i]) continue;
        newIndex[i] = static_cast<int>(kept.size());
        kept.push_back(std::move(rows_[i]));
    }
    std::vector<int> shown;
    shown.reserve(shown_.size() - count);
    for (int i : shown_) {
        if (newIndex[i] >= 0) shown.push_back(newIndex[i]);
    }
    rows_ = std::move(kept);
    shown_ = std::move(shown);
    endResetModel();
    return count;
}

void FileListModel::setRedraw(bool on) {
    if (redraw_ == on) return;
    redraw_ = on;
    // Cell changes made while redraw was off are announced once, for every row.
    if (on && changedWhileOff_) {
        changedWhileOff_ = false;
        emitAllChanged();
    }
    emit redrawChanged(on);
}

QVariant FileListModel::data(const QModelIndex& index, int role) const {
    const frn1* r = index.isValid() ? shownRow(index.row() + 1) : nullptr;
    if (!r || index.column() >= columnCount()) return QVariant();
    const Frn1Column c = columnAt(index.column());
    switch (role) {
        case Qt::DisplayRole:
            return cellOf(*r, c);
        case Qt::ToolTipRole:
            // A path cut by its column is read whole in the tooltip.
            if (c == Frn1Column::ypath || c == Frn1Column::filey) return r->ypath + r->filey;
            // A result says why beside it, however narrow the reason's column.
            if (c == Frn1Column::jg && !r->yy.isEmpty()) return r->yy;
            return QVariant();
        case Qt::TextAlignmentRole:
            if (c == Frn1Column::xh) return int(Qt::AlignRight | Qt::AlignVCenter);
            return int(Qt::AlignLeft | Qt::AlignVCenter);
        case Qt::BackgroundRole:
            if (r->selected) return QBrush(QGuiApplication::palette().color(QPalette::Highlight));
            return QVariant();
        case Qt::ForegroundRole:
            if (r->selected) {
                return QBrush(QGuiApplication::palette().color(QPalette::HighlightedText));
            }
            return QVariant();
        default:
            return QVariant();
    }
}

QVariant FileListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return QVariant();
    if (section < 0 || section >= columnCount()) return QVariant();
    return headerText(columnAt(section));
}

Qt::ItemFlags FileListModel::flags(const QModelIndex& index) const {
    return index.isValid() ? Qt::ItemIsEnabled : Qt::NoItemFlags;
}

}  // namespace quorv
