#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include "csvread.h"
#include "engines/desktop/qtdesktop.h"
#include "fakes/qt_print.h"
#include "fakes/test_files.h"
#include "gtest/gtest.h"
#include "gui/mainwin/listexport.h"
#include "zipread.h"

namespace quorv {
namespace {

using testing::parseCsv;
using testing::Table;

const QStringList kHeader{"序号",           "源文件路径", "源文件名", "结果",
                          "源文件夹子目录", "修改日期",   "原因"};

// Three rows, one hidden by the filter, sorted so display order differs from xh.
void fill(FileListModel& m) {
    struct R {
        const char* path;
        const char* name;
        const char* jg;
        const char* yy;
    };
    const R rows[] = {{"/文档/", "报告, \"终稿\".doc", "成功", ""},
                      {"/tmp/", "hidden.tmp", "", ""},
                      {"/a/", "<b>&x.doc", "失败", "文件有密码保护"}};
    for (const R& r : rows) {
        const int n = m.appendRow();
        m.setCell(n, "xh", n);
        m.setCell(n, "ypath", QString::fromUtf8(r.path));
        m.setCell(n, "filey", QString::fromUtf8(r.name));
        m.setCell(n, "jg", QString::fromUtf8(r.jg));
        m.setCell(n, "yy", QString::fromUtf8(r.yy));
        m.setCell(n, "ftime", "2024-05-06 07:08:09");
    }
    m.setCell(1, "zml", "子/");
    m.setFilter("filey like '%.doc%'");
    m.applyFilter();
    m.setSort("xh D");
    m.applySort();
}

Table expected() {
    return {kHeader,
            {"3", "/a/", "<b>&x.doc", "失败", "", "2024-05-06 07:08:09", "文件有密码保护"},
            {"1", "/文档/", "报告, \"终稿\".doc", "成功", "子/", "2024-05-06 07:08:09", ""}};
}

Table parseHtml(const QByteArray& html) {
    Table t;
    QXmlStreamReader x(html.mid(html.indexOf("<html")));
    QString cell;
    while (!x.atEnd()) {
        x.readNext();
        if (x.isStartElement() && x.name() == QLatin1String("tr")) t.append(QStringList());
        if (x.isStartElement() &&
            (x.name() == QLatin1String("td") || x.name() == QLatin1String("th"))) {
            t.last().append(x.readElementText());
        }
    }
    EXPECT_FALSE(x.hasError()) << x.errorString().toStdString();
    return t;
}

Table parseXlsx(const QByteArray& bytes) {
    const auto entries = testing::readZip(bytes);
    QStringList shared;
    QXmlStreamReader ss(entries.value("xl/sharedStrings.xml"));
    while (!ss.atEnd()) {
        ss.readNext();
        if (ss.isStartElement() && ss.name() == QLatin1String("t"))
            shared.append(ss.readElementText());
    }
    Table t;
    QXmlStreamReader s(entries.value("xl/worksheets/sheet1.xml"));
    QString type;
    int col = 0;
    while (!s.atEnd()) {
        s.readNext();
        if (!s.isStartElement()) continue;
        if (s.name() == QLatin1String("row")) {
            const int r = s.attributes().value("r").toInt();
            while (t.size() < r) t.append(QStringList(7, QString()));
        } else if (s.name() == QLatin1String("c")) {
            type = s.attributes().value("t").toString();
            col = s.attributes().value("r").at(0).unicode() - 'A';
        } else if (s.name() == QLatin1String("v")) {
            const QString v = s.readElementText();
            t.last()[col] = type == "s" ? shared.value(v.toInt()) : v;
        }
    }
    return t;
}

TEST(ListExport, EveryFormatReadsBackShownRowsInDisplayOrder) {
    FileListModel m;
    fill(m);
    ASSERT_EQ(m.rowCount(), 2);
    QTemporaryDir dir;

    const QString csv = dir.filePath("l.csv");
    ASSERT_TRUE(exportList(m, csv, ExportFormat::Csv));
    QByteArray bytes = readAll(csv);
    ASSERT_TRUE(bytes.startsWith("\xEF\xBB\xBF"));
    EXPECT_EQ(parseCsv(QString::fromUtf8(bytes.mid(3))), expected());

    const QString txt = dir.filePath("l.txt");
    ASSERT_TRUE(exportList(m, txt, ExportFormat::Tsv));
    Table tsv;
    for (const QString& line :
         QString::fromUtf8(readAll(txt).mid(3)).split("\r\n", Qt::SkipEmptyParts)) {
        tsv.append(line.split('\t'));
    }
    EXPECT_EQ(tsv, expected());

    const QString html = dir.filePath("l.html");
    ASSERT_TRUE(exportList(m, html, ExportFormat::Html));
    EXPECT_EQ(parseHtml(readAll(html)), expected());

    const QString xlsx = dir.filePath("l.xlsx");
    ASSERT_TRUE(exportList(m, xlsx, ExportFormat::Xlsx));
    bytes = readAll(xlsx);
    ASSERT_TRUE(bytes.startsWith("PK"));
    EXPECT_EQ(parseXlsx(bytes), expected());
}

TEST(ListExport, ReplacesAnOldFileAndFailsOnAnUnwritablePlace) {
    FileListModel m;
    QTemporaryDir dir;
    const QString csv = dir.filePath("l.csv");
    QFile old(csv);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write(QByteArray(10000, 'x'));
    old.close();
    ASSERT_TRUE(exportList(m, csv, ExportFormat::Csv));
    EXPECT_EQ(parseCsv(QString::fromUtf8(readAll(csv).mid(3))), Table({kHeader}));
    EXPECT_FALSE(exportList(m, dir.filePath("no/such/dir/l.csv"), ExportFormat::Csv));
    EXPECT_FALSE(exportList(m, dir.filePath("no/such/dir/l.xlsx"), ExportFormat::Xlsx));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList({"l.csv"}));
}

TEST(ListExport, FilterChoicesGiveTheFormat) {
    EXPECT_EQ(exportFormatAt(0), ExportFormat::Csv);
    EXPECT_EQ(exportFormatAt(1), ExportFormat::Tsv);
    EXPECT_EQ(exportFormatAt(2), ExportFormat::Html);
    EXPECT_EQ(exportFormatAt(3), ExportFormat::Xlsx);
    // The save dialog adds the chosen choice's extension to a bare name.
    EXPECT_EQ(filterExtensions(exportFilterText()), QStringList({"csv", "txt", "html", "xlsx"}));
    EXPECT_EQ(filterExtensions("Doc 文件 (*.DOC),*.DOC,All Files (*.*), *.*"),
              QStringList({"DOC", ""}));
}

}  // namespace
}  // namespace quorv
