#include "fakes/qt_print.h"
#include "gtest/gtest.h"
#include "gui/mainwin/frn1.h"

namespace quorv {
namespace {

// The name filter's pattern: the typed text anywhere in the name.
bool shown(const QString& filey, const QString& typed) {
    return FileListModel::likeMatches(filey, "%" + typed + "%");
}

TEST(NameFilter, ContainsTheTextAnywhereWithoutRegardToCase) {
    EXPECT_TRUE(shown("report_abc.doc", "abc"));
    EXPECT_TRUE(shown("abcd.xls", "abc"));
    EXPECT_FALSE(shown("report.doc", "abc"));
    EXPECT_TRUE(shown("Report_ABC.DOC", "abc"));
    EXPECT_TRUE(shown("年度报告.docx", "报告"));
}

TEST(NameFilter, PercentIsAWildcardAndQuotesAreOrdinary) {
    EXPECT_TRUE(shown("report_2017_final.doc", "2017%final"));
    EXPECT_FALSE(shown("final_2017.doc", "2017%final"));
    EXPECT_TRUE(shown("anything.doc", "%"));
    EXPECT_TRUE(shown("o'brien.doc", "o'b"));
    EXPECT_FALSE(shown("obrien.doc", "o'b"));
    EXPECT_FALSE(shown("a_c.doc", "abc")) << "an underscore is no wildcard";
}

TEST(NameFilter, ManyWildcardsStayFast) {
    const QString name = QString(5000, 'a');
    EXPECT_FALSE(FileListModel::likeMatches(name, QString("%a").repeated(200) + "b%"));
}

}  // namespace
}  // namespace quorv
