// The content search against the fake office: the order of its calls, its marks in the
// list, and the window's state on every way out.

#include "core/defaults.h"
#include "fakes/fake_office.h"
#include "fakes/qt_print.h"
#include "gui/mainwin/frnsearch.h"
#include "search_window.h"

namespace quorv {
namespace {

struct SearchWindow : testing::SearchWindowBase {
    testing::FakeOfficeServer office;

    // The member calls, without the steps that only reach the object of the next call.
    QStringList memberCalls() const {
        QStringList out;
        const auto& calls = office.calls();
        for (qsizetype i = 0; i < calls.size(); ++i) {
            const bool step = calls[i].access == Access::Get && i + 1 < calls.size() &&
                              calls[i + 1].path.startsWith(calls[i].path + ".");
            if (!step) out << calls[i].server + " " + calls[i].text;
        }
        return out;
    }
    // Files opened by either server, in order.
    QStringList opened() const {
        QStringList out;
        for (const auto& c : office.calls()) {
            if (c.path == "documents.open" || c.path == "workbooks.open") {
                out << QFileInfo(c.args[0].toText()).fileName();
            }
        }
        return out;
    }
};

TEST(ContentSearch, MarksFoundDocumentsAndWorkbooksAndCountsThem) {
    SearchWindow s;
    s.add({"a.doc", "b.pdf", "c.xls", "d.docx"});
    s.w.list().selectRow(2, true);  // earlier marks go
    s.w.list().setCell(4, "jg", "成功");
    s.office.setFindResultFor("a.doc", true);
    s.office.setFindSheetFor("c.xls", 2);
    s.w.vpb_1->setVisible(false);
    s.search("  季度 报告  ");

    EXPECT_EQ(s.marks(), (QStringList{"a.doc +找到", "b.pdf -", "c.xls +找到", "d.docx -"}));
    EXPECT_EQ(s.texts(), QStringList{"搜索结束,共找到2个"});
    EXPECT_EQ(s.desktop.messages.back().title, "提示");
    EXPECT_EQ(s.opened(), (QStringList{"a.doc", "c.xls", "d.docx"})) << "b.pdf is not opened";
    EXPECT_TRUE(s.w.vpb_1->isVisibleTo(&s.w));
    EXPECT_EQ(s.w.vpb_1->maximum(), 4);
    EXPECT_EQ(s.w.vpb_1->value(), 4);

    const QString a = "\"" + s.path("a.doc") + "\"";
    const QString c = "\"" + s.path("c.xls") + "\"";
    const QStringList calls = s.memberCalls();
    const QStringList expectedStart{
        "word set displayalerts = false",
        "word set application.displayalerts = false",
        "word call documents.open(" + a + ")",
        "word set application.visible = false",
        "word call application.selection.find.clearformatting()",
        "word call application.selection.find.execute(\"季度 报告\")",
        "word call activedocument.close(false)",
        "excel set application.displayalerts = false",
        "excel call workbooks.open(" + c + ")",
        "excel set application.visible = false",
        "excel get worksheets.count",
        "excel call activeworkbook.worksheets(1).cells.find(\"季度 报告\")",
        "excel call activeworkbook.worksheets(2).cells.find(\"季度 报告\")",
        "excel call workbooks.close()",
        "excel call quit()",
    };
    ASSERT_GE(calls.size(), expectedStart.size());
    EXPECT_EQ(calls.mid(0, expectedStart.size()), expectedStart)
        << "the third sheet is not searched";
    EXPECT_EQ(calls.back(), "word call quit()");
    EXPECT_EQ(s.office.creates(), 2) << "one Word for the search, one Excel per workbook";
    EXPECT_EQ(s.office.quits(), 2);
    EXPECT_EQ(s.office.liveApplications(), 0);
    EXPECT_TRUE(s.office.openDocuments().isEmpty());
    EXPECT_FALSE(s.w.busy());
}

TEST(ContentSearch, EachDocumentIsClosedBeforeTheNextRowAndTheWindowIsBusy) {
    SearchWindow s;
    s.add({"1.doc", "2.docx", "3.xls", "4.doc"});
    QList<int> openAtRow;
    QList<bool> busyAtRow;
    s.desktop.atEscapeCheck = [&] {
        openAtRow << int(s.office.openDocuments().size());
        busyAtRow << s.w.busy();
    };
    s.search("x");
    EXPECT_EQ(openAtRow, (QList<int>{0, 0, 0, 0}));
    EXPECT_EQ(busyAtRow, (QList<bool>{true, true, true, true}));
    EXPECT_EQ(s.texts(), QStringList{"搜索结束,共找到0个"});
}

TEST(ContentSearch, EveryWorkbookGoesToExcelAsXlsDoes) {
    SearchWindow s;
    s.add({"e.xlsx", "f.XLS", "g.Xlsm", "h.xlsb"});
    s.office.setFindResult(true);
    s.office.setFindSheet(1);
    bool inputsOffDuringSearch = true;
    s.desktop.atEscapeCheck = [&] {
        inputsOffDuringSearch = inputsOffDuringSearch && !s.w.cb_3->isEnabled() &&
                                !s.w.cb_5->isEnabled() && !s.w.pb_1->isEnabled() &&
                                !s.w.cb_4->isEnabled() && !s.w.rb_6->isEnabled();
    };
    s.search("x");
    s.desktop.atEscapeCheck = {};
    EXPECT_EQ(s.opened(), (QStringList{"e.xlsx", "f.XLS", "g.Xlsm", "h.xlsb"}))
        << "extensions are compared in lower case";
    EXPECT_EQ(s.marks(),
              (QStringList{"e.xlsx +找到", "f.XLS +找到", "g.Xlsm +找到", "h.xlsb +找到"}));
    EXPECT_EQ(s.texts(), QStringList{"搜索结束,共找到4个"});
    EXPECT_TRUE(inputsOffDuringSearch);
    EXPECT_TRUE(s.w.cb_3->isEnabled() && s.w.cb_5->isEnabled() && s.w.pb_1->isEnabled());

    // A workbook the Word list holds as well is still Excel's, and searched once.
    s.office.clearCalls();
    globals().awordhz = "#xlsx";
    s.search("x");
    EXPECT_EQ(s.opened(), (QStringList{"e.xlsx", "f.XLS", "g.Xlsm", "h.xlsb"}));
    EXPECT_EQ(s.marks(),
              (QStringList{"e.xlsx +找到", "f.XLS +找到", "g.Xlsm +找到", "h.xlsb +找到"}));
}

TEST(ContentSearch, VisitsOnlyTheShownRowsThenShowsAll) {
    SearchWindow s;
    s.add({"report_a.doc", "b.doc", "report_c.docx"});
    s.office.setFindResult(true);
    s.w.sle_1->setText("report");
    QTest::mouseClick(s.w.rb_4, Qt::LeftButton);
    ASSERT_EQ(s.w.list().rowCount(), 2);
    s.search("x");
    EXPECT_EQ(s.opened(), (QStringList{"report_a.doc", "report_c.docx"}));
    EXPECT_EQ(s.w.list().rowCount(), 3);
    EXPECT_EQ(s.w.list().filterExpression(), "");
    EXPECT_EQ(s.marks(), (QStringList{"report_a.doc +找到", "b.doc -", "report_c.docx +找到"}));
    EXPECT_EQ(s.w.vpb_1->maximum(), 2);
}

TEST(ContentSearch, EmptyListOrEveryRowHiddenSaysThereAreNoSources) {
    SearchWindow s;
    s.search("x");
    s.add({"a.doc"});
    s.w.sle_1->setText("zzz");
    QTest::mouseClick(s.w.rb_4, Qt::LeftButton);
    ASSERT_EQ(s.w.list().rowCount(), 0);
    s.search("x");
    QTest::mouseClick(s.w.rb_4, Qt::LeftButton);
    EXPECT_EQ(s.texts(), (QStringList{"还没有源文件", "还没有源文件", "还没有源文件"}));
    EXPECT_EQ(s.office.creates(), 0);
    EXPECT_EQ(s.w.list().totalRowCount(), 1);
}

TEST(ContentSearch, EscapeAtTheStartStopsBeforeTheFirstFile) {
    SearchWindow s;
    s.add({"a.doc", "b.doc"});
    s.office.setFindResult(true);
    s.desktop.escapeAnswers = {true};
    s.search("x");
    EXPECT_EQ(s.texts(), (QStringList{"搜索已被中途中止！", "搜索结束,共找到0个"}));
    EXPECT_EQ(s.desktop.messages.front().title, "提示");
    EXPECT_TRUE(s.opened().isEmpty());
    EXPECT_EQ(s.office.creates(), 0) << "no Word is started for a search that searches nothing";

    // Escape on the second row keeps what the first found.
    s.desktop.messages.clear();
    s.desktop.escapeAnswers = {false, true};
    s.search("x");
    EXPECT_EQ(s.texts(), (QStringList{"搜索已被中途中止！", "搜索结束,共找到1个"}));
    EXPECT_EQ(s.marks(), (QStringList{"a.doc +找到", "b.doc -"}));

    // A row a stopped search never reached shows no mark of an earlier search.
    s.search("x");
    EXPECT_EQ(s.marks(), (QStringList{"a.doc +找到", "b.doc +找到"}));
    s.desktop.escapeAnswers = {true};
    s.search("x");
    EXPECT_EQ(s.marks(), (QStringList{"a.doc -", "b.doc -"}));
}

TEST(ContentSearch, MinimisedWithRedrawOffWhileItRunsAndRestoredAtTheEnd) {
    SearchWindow s;
    s.add({"a.doc", "b.txt"});
    s.w.cbx_1->setChecked(true);
    QStringList seen;
    s.desktop.atEscapeCheck = [&] {
        seen << QString("%1 %2").arg(s.desktop.minimized).arg(s.w.list().redraw());
    };
    s.desktop.atMessage = [&] {
        seen << QString("message %1 %2").arg(s.desktop.minimized).arg(s.w.list().redraw());
    };
    s.search("x");
    EXPECT_EQ(seen, (QStringList{"1 0", "1 0", "message 0 1"}));

    // Unchecked, the window stays as it is.
    seen.clear();
    s.w.cbx_1->setChecked(false);
    s.search("x");
    EXPECT_EQ(seen, (QStringList{"0 1", "0 1", "message 0 1"}));
}

TEST(ContentSearch, WordThatCannotStartRestoresTheWindowAndLeavesNoMark) {
    SearchWindow s;
    s.add({"a.doc", "b.doc"});
    s.w.list().setCell(1, "jg", "成功");
    s.w.cbx_1->setChecked(true);
    s.office.setCreateFails(true);
    bool minimisedAtMessage = false;
    s.desktop.atMessage = [&] { minimisedAtMessage = s.desktop.minimized; };
    s.search("x");
    ASSERT_EQ(s.desktop.messages.size(), 1u);
    EXPECT_EQ(s.desktop.messages[0].title, "");
    EXPECT_EQ(s.desktop.messages[0].text, "启用Word失败。");
    EXPECT_TRUE(minimisedAtMessage) << "the message comes first, then the window is restored";
    EXPECT_FALSE(s.desktop.minimized);
    EXPECT_TRUE(s.w.list().redraw());
    EXPECT_EQ(s.marks(), (QStringList{"a.doc -", "b.doc -"}));
    EXPECT_FALSE(s.w.busy());
}

TEST(ContentSearch, ExcelThatCannotStartCountsAsNotFoundAndTheSearchGoesOn) {
    SearchWindow s;
    s.add({"c.xls", "d.doc"});
    s.office.setFindSheet(1);
    s.office.setFindResult(true);
    s.office.setCreateFailsFor("excel", true);
    s.search("x");
    ASSERT_EQ(s.desktop.messages.size(), 2u);
    EXPECT_EQ(s.desktop.messages[0].title, "");
    EXPECT_EQ(s.desktop.messages[0].text, "启用Excel失败。");
    EXPECT_EQ(s.desktop.messages[1].text, "搜索结束,共找到1个");
    EXPECT_EQ(s.marks(), (QStringList{"c.xls -", "d.doc +找到"}));
}

TEST(ContentSearch, DocumentThatCannotBeOpenedRestoresTheWindowBeforeTheReport) {
    SearchWindow s;
    s.add({"a.doc"});
    ScanRow missing;
    missing.ypath = s.dir.path() + "/";
    missing.filey = "gone.docx";
    appendScanRow(s.w.list(), std::move(missing));
    s.office.setFindResult(true);
    s.w.cbx_1->setChecked(true);
    s.w.sle_1->setText(".doc");
    QTest::mouseClick(s.w.rb_4, Qt::LeftButton);
    QString stateAtReport;
    s.desktop.atMessage = [&] {
        stateAtReport = QString("%1 %2 %3 %4")
                            .arg(s.desktop.minimized)
                            .arg(s.w.list().redraw())
                            .arg(s.office.liveApplications())
                            .arg(s.office.openDocuments().size());
    };
    s.search("x");
    ASSERT_EQ(s.desktop.messages.size(), 1u);
    EXPECT_EQ(s.desktop.messages[0].title, "");
    EXPECT_TRUE(s.desktop.messages[0].text.contains("documents.open"))
        << s.desktop.messages[0].text.toStdString();
    EXPECT_EQ(stateAtReport, "0 1 0 0") << "restored, Word released, nothing open";
    EXPECT_EQ(s.office.quits(), 0) << "the rest of the search does not run";
    EXPECT_EQ(s.marks(), (QStringList{"a.doc +找到", "gone.docx -"}));
    EXPECT_EQ(s.w.list().filterExpression(), "filey like '%.doc%'") << "the filter stays";
    EXPECT_FALSE(s.w.busy());
}

// With "出错时继续转换下一个文件" a document that cannot be opened counts as not found, with
// its reason, and the search goes on to its count; without it the row gets its reason
// before the report ends the search.
TEST(ContentSearch, DocumentThatCannotBeOpenedFollowsTheGoOnOption) {
    for (const char* goOn : {"y", "n"}) {
        SCOPED_TRACE(goOn);
        SearchWindow s;
        writeSetting(globals().profile, Key::Sfjx, goOn);
        s.add({"a.doc"});
        ScanRow missing;
        missing.ypath = s.dir.path() + "/";
        missing.filey = "gone.docx";
        appendScanRow(s.w.list(), std::move(missing));
        s.add({"c.doc"});
        s.office.setFindResult(true);
        s.search("x");
        const QString reason = s.w.list().cellText(2, "yy");
        EXPECT_FALSE(reason.isEmpty());
        EXPECT_TRUE(s.w.list().cellText(1, "yy").isEmpty());
        if (QString(goOn) == "y") {
            EXPECT_EQ(s.texts(), QStringList{"搜索结束,共找到2个"});
            EXPECT_EQ(s.marks(), (QStringList{"a.doc +找到", "gone.docx -", "c.doc +找到"}));
            EXPECT_EQ(s.office.liveApplications(), 0);
        } else {
            ASSERT_EQ(s.desktop.messages.size(), 1u);
            EXPECT_TRUE(s.desktop.messages[0].text.contains("documents.open"));
            EXPECT_EQ(s.marks(), (QStringList{"a.doc +找到", "gone.docx -", "c.doc -"}));
        }
    }
}

}  // namespace
}  // namespace quorv
