#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QUrl>

#include "csvread.h"
#include "fakes/qt_print.h"
#include "gtest/gtest.h"
#include "gui/mainwin/listexport.h"

namespace quorv {
namespace {

// LibreOffice Calc opens an export and saves it again as UTF-8 CSV; the text that comes
// back is what a person sees in the sheet.
testing::Table throughCalc(const QString& file, const QString& outDir, const QString& profile) {
    QStringList args{"-env:UserInstallation=" + QUrl::fromLocalFile(profile).toString(),
                     "--headless", "--norestore", "--nologo"};
    if (file.endsWith(".csv")) args << "--infilter=CSV:44,34,76,1";
    args << "--convert-to"
         << "csv:Text - txt - csv (StarCalc):44,34,76,1"
         << "--outdir" << outDir << file;
    QProcess p;
    p.start("soffice", args);
    EXPECT_TRUE(p.waitForFinished(120000));
    QFile out(outDir + "/" + QFileInfo(file).completeBaseName() + ".csv");
    if (!out.open(QIODevice::ReadOnly)) return {};
    QString text = QString::fromUtf8(out.readAll());
    text.remove(QChar(0xFEFF));
    return testing::parseCsv(text);
}

TEST(ListExportCalc, CsvAndWorkbookOpenWithTheirTextIntact) {
    FileListModel m;
    const int r = m.appendRow();
    m.setCell(r, "xh", 12);
    m.setCell(r, "ypath", "/文档/");
    m.setCell(r, "filey", "报告, 终稿.doc");
    m.setCell(r, "jg", "失败");
    m.setCell(r, "ftime", "2024-05-06 07:08:09");
    m.setCell(r, "yy", "文件有密码保护");
    QTemporaryDir dir;
    const QString in = dir.filePath("in");
    QDir().mkpath(in);
    ASSERT_TRUE(exportList(m, in + "/list.csv", ExportFormat::Csv));
    ASSERT_TRUE(exportList(m, in + "/book.xlsx", ExportFormat::Xlsx));
    const QString profile = dir.filePath("lo-profile");

    const testing::Table expected{
        {"序号", "源文件路径", "源文件名", "结果", "源文件夹子目录", "修改日期", "原因"},
        {"12", "/文档/", "报告, 终稿.doc", "失败", "", "2024-05-06 07:08:09", "文件有密码保护"}};
    for (const QString& file : {in + "/list.csv", in + "/book.xlsx"}) {
        SCOPED_TRACE(file.toStdString());
        EXPECT_EQ(throughCalc(file, dir.filePath("out-" + QFileInfo(file).suffix()), profile),
                  expected);
    }
}

}  // namespace
}  // namespace quorv
