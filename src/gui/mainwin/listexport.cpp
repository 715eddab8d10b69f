#include "gui/mainwin/listexport.h"

#include <xlsxwriter.h>

#include <QFile>
#include <QSaveFile>
#include <QTemporaryDir>

namespace quorv {

namespace {

QString csvField(const QString& v) {
    if (!v.contains(QLatin1Char(',')) && !v.contains(QLatin1Char('"')) &&
        !v.contains(QLatin1Char('\n')) && !v.contains(QLatin1Char('\r'))) {
        return v;
    }
    QString q = v;
    q.replace(QLatin1String("\""), QLatin1String("\"\""));
    return QLatin1Char('"') + q + QLatin1Char('"');
}

// Text files have no quoting: a tab or line break inside a value would split it.
QString tsvField(QString v) {
    v.replace(QLatin1Char('\t'), QLatin1Char(' '));
    v.replace(QLatin1Char('\r'), QLatin1Char(' '));
    v.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return v;
}

QString textExport(const FileListModel& list, bool csv) {
    const auto& cols = FileListModel::shownColumns();
    const QString sep = csv ? QStringLiteral(",") : QStringLiteral("\t");
    auto field = [&](const QString& v) { return csv ? csvField(v) : tsvField(v); };
    QString out;
    QStringList line;
    for (Frn1Column c : cols) line.append(field(FileListModel::headerText(c)));
    out += line.join(sep) + QStringLiteral("\r\n");
    for (int r = 1; r <= list.rowCount(); ++r) {
        line.clear();
        for (Frn1Column c : cols) line.append(field(list.cellText(r, c)));
        out += line.join(sep) + QStringLiteral("\r\n");
    }
    return out;
}

QString htmlExport(const FileListModel& list) {
    const auto& cols = FileListModel::shownColumns();
    QString out = QStringLiteral(
        "<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\" />\n<title>文件列表</title>\n"
        "</head>\n<body>\n<table border=\"1\">\n<thead>\n<tr>");
    for (Frn1Column c : cols) {
        out += QStringLiteral("<th>") + FileListModel::headerText(c).toHtmlEscaped() +
               QStringLiteral("</th>");
    }
    out += QStringLiteral("</tr>\n</thead>\n<tbody>\n");
    for (int r = 1; r <= list.rowCount(); ++r) {
        out += QStringLiteral("<tr>");
        for (Frn1Column c : cols) {
            out += QStringLiteral("<td>") + list.cellText(r, c).toHtmlEscaped() +
                   QStringLiteral("</td>");
        }
        out += QStringLiteral("</tr>\n");
    }
    out += QStringLiteral("</tbody>\n</table>\n</body>\n</html>\n");
    return out;
}

bool writeXlsx(const FileListModel& list, const QString& path) {
    lxw_workbook* book = workbook_new(QFile::encodeName(path).constData());
    if (!book) return false;
    lxw_worksheet* sheet = workbook_add_worksheet(book, nullptr);
    bool ok = sheet != nullptr;
    const auto& cols = FileListModel::shownColumns();
    for (size_t c = 0; ok && c < cols.size(); ++c) {
        const QByteArray h = FileListModel::headerText(cols[c]).toUtf8();
        ok = worksheet_write_string(sheet, 0, static_cast<lxw_col_t>(c), h.constData(), nullptr) ==
             LXW_NO_ERROR;
    }
    for (int r = 1; ok && r <= list.rowCount(); ++r) {
        const frn1* row = list.rowData(r);
        for (size_t c = 0; ok && c < cols.size(); ++c) {
            const auto col = static_cast<lxw_col_t>(c);
            const auto xr = static_cast<lxw_row_t>(r);
            if (cols[c] == Frn1Column::xh) {
                if (row->xh) {
                    ok = worksheet_write_number(sheet, xr, col, static_cast<double>(*row->xh),
                                                nullptr) == LXW_NO_ERROR;
                }
                continue;
            }
            const QString v = list.cellText(r, cols[c]);
            if (v.isEmpty()) continue;
            const QByteArray u = v.toUtf8();
            ok = worksheet_write_string(sheet, xr, col, u.constData(), nullptr) == LXW_NO_ERROR;
        }
    }
    const lxw_error closed = workbook_close(book);
    return ok && closed == LXW_NO_ERROR;
}

bool replaceFile(const QString& path, const QByteArray& bytes) {
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly)) return false;
    if (f.write(bytes) != bytes.size()) {
        f.cancelWriting();
        return false;
    }
    return f.commit();
}

}  // namespace

QString exportFilterText() {
    return QStringLiteral(
        "CSV 文件 (*.csv),*.csv,文本文件 (*.txt),*.txt,HTML 网页 (*.html),*.html,"
        "Excel 工作簿 (*.xlsx),*.xlsx");
}

ExportFormat exportFormatAt(int filterIndex) {
    switch (filterIndex) {
        case 1:
            return ExportFormat::Tsv;
        case 2:
            return ExportFormat::Html;
        case 3:
            return ExportFormat::Xlsx;
        default:
            return ExportFormat::Csv;
    }
}

QString exportExtension(ExportFormat format) {
    switch (format) {
        case ExportFormat::Csv:
            return QStringLiteral("csv");
        case ExportFormat::Tsv:
            return QStringLiteral("txt");
        case ExportFormat::Html:
            return QStringLiteral("html");
        case ExportFormat::Xlsx:
            return QStringLiteral("xlsx");
    }
    return QString();
}

QByteArray exportText(const FileListModel& list, ExportFormat format) {
    // The byte order mark lets Excel recognise UTF-8; LibreOffice ignores it.
    static const QByteArray bom("\xEF\xBB\xBF");
    switch (format) {
        case ExportFormat::Csv:
            return bom + textExport(list, true).toUtf8();
        case ExportFormat::Tsv:
            return bom + textExport(list, false).toUtf8();
        case ExportFormat::Html:
            return htmlExport(list).toUtf8();
        case ExportFormat::Xlsx:
            break;
    }
    return QByteArray();
}

bool exportList(const FileListModel& list, const QString& path, ExportFormat format) {
    if (format != ExportFormat::Xlsx) return replaceFile(path, exportText(list, format));
    // The workbook library writes to a path of its own choosing; build it aside and then
    // replace the target in one step.
    QTemporaryDir dir;
    if (!dir.isValid()) return false;
    const QString tmp = dir.filePath(QStringLiteral("list.xlsx"));
    if (!writeXlsx(list, tmp)) return false;
    QFile f(tmp);
    if (!f.open(QIODevice::ReadOnly)) return false;
    return replaceFile(path, f.readAll());
}

}  // namespace quorv
