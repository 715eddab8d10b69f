#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include "engines/pdf/pdfmerge.h"
#include "engines/pdf/pdfpost.h"
#include "fakes/qt_print.h"
#include "gtest/gtest.h"
#include "pdfparts.h"

namespace quorv::pdf {
namespace {

using testpdf::Bookmark;
using testpdf::makePdf;

struct Outline {
    QString title;
    int page = 0;  // from 1
    QList<Outline> kids;
};

QList<Outline> outlinesOf(const QJsonArray& items) {
    QList<Outline> out;
    for (const QJsonValue& v : items) {
        const QJsonObject o = v.toObject();
        out.append({o["title"].toString(), o["destpageposfrom1"].toInt(),
                    outlinesOf(o["kids"].toArray())});
    }
    return out;
}

// The bookmarks of a PDF as qpdf reads them.
QList<Outline> outlinesOf(const QString& pdf, const QString& password = QString()) {
    QStringList args{"--json", "--json-key=outlines"};
    if (!password.isEmpty()) args << "--password=" + password;
    const QString json = testpdf::run("qpdf", args << pdf);
    return outlinesOf(QJsonDocument::fromJson(json.toUtf8()).object()["outlines"].toArray());
}

int pagesOf(const QString& pdf, const QString& password = QString()) {
    return pdfPagesWithPassword(pdf, password);
}

TEST(PdfMerge, PagesInOrderUnderOneBookmarkPerPartHoldingItsOwn) {
    QTemporaryDir dir;
    const QString a = dir.filePath("a.pdf"), b = dir.filePath("b.pdf"), c = dir.filePath("c.pdf");
    ASSERT_TRUE(makePdf(a, {"alpha one", "alpha two"},
                        {{"Intro", 0, {}}, {"Body", 1, {{"Detail", 1, {}}}}}));
    ASSERT_TRUE(makePdf(b, {"beta one"}));
    ASSERT_TRUE(makePdf(c, {"gamma one", "gamma two", "gamma three"}, {{"End", 2, {}}}));
    const QString target = dir.filePath("合并.pdf");
    const MergeOutcome m = mergePdfs({{a, "合同一.docx"}, {b, "b.doc"}, {c, "第三章.pdf"}}, target);
    ASSERT_TRUE(m.written) << m.error.toStdString();
    EXPECT_TRUE(m.leftOut.isEmpty());
    EXPECT_EQ(m.pages, 6);
    EXPECT_EQ(pagesOf(target), 6);
    const QString text = testpdf::textOf(target);
    EXPECT_LT(text.indexOf("alpha two"), text.indexOf("beta one"));
    EXPECT_LT(text.indexOf("beta one"), text.indexOf("gamma three"));

    const QList<Outline> top = outlinesOf(target);
    ASSERT_EQ(top.size(), 3);
    EXPECT_EQ(top[0].title, "合同一.docx");
    EXPECT_EQ(top[0].page, 1);
    EXPECT_EQ(top[1].title, "b.doc");
    EXPECT_EQ(top[1].page, 3);
    EXPECT_TRUE(top[1].kids.isEmpty());
    EXPECT_EQ(top[2].title, "第三章.pdf");
    EXPECT_EQ(top[2].page, 4);
    // A part's own bookmarks, nested as they were, point at its pages in the merged file.
    ASSERT_EQ(top[0].kids.size(), 2);
    EXPECT_EQ(top[0].kids[0].title, "Intro");
    EXPECT_EQ(top[0].kids[0].page, 1);
    EXPECT_EQ(top[0].kids[1].title, "Body");
    EXPECT_EQ(top[0].kids[1].page, 2);
    ASSERT_EQ(top[0].kids[1].kids.size(), 1);
    EXPECT_EQ(top[0].kids[1].kids[0].title, "Detail");
    ASSERT_EQ(top[2].kids.size(), 1);
    EXPECT_EQ(top[2].kids[0].page, 6);
    EXPECT_EQ(testpdf::run("qpdf", {"--check", target}).contains("No syntax or stream"), true);
}

TEST(PdfMerge, APartThatDoesNotOpenIsLeftOutAndNamed) {
    QTemporaryDir dir;
    const QString a = dir.filePath("a.pdf"), bad = dir.filePath("bad.pdf");
    ASSERT_TRUE(makePdf(a, {"alpha"}));
    QFile f(bad);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("%PDF-1.7\nnot really\n");
    f.close();
    const QString target = dir.filePath("out.pdf");
    const MergeOutcome m =
        mergePdfs({{bad, "bad.doc"}, {a, "a.doc"}, {dir.filePath("gone.pdf"), "gone.doc"}}, target);
    ASSERT_TRUE(m.written);
    EXPECT_EQ(m.leftOut, QStringList({"bad.doc", "gone.doc"}));
    EXPECT_EQ(pagesOf(target), 1);
    ASSERT_EQ(outlinesOf(target).size(), 1);
    EXPECT_EQ(outlinesOf(target)[0].title, "a.doc");
}

TEST(PdfMerge, NothingToMergeKeepsAnEarlierFileAndLeavesNoTemporary) {
    QTemporaryDir dir;
    const QString target = dir.filePath("out.pdf");
    QFile f(target);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("earlier");
    f.close();
    const MergeOutcome m = mergePdfs({{dir.filePath("gone.pdf"), "gone.doc"}}, target);
    EXPECT_FALSE(m.written);
    EXPECT_FALSE(m.error.isEmpty());
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), "earlier");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"out.pdf"});
}

TEST(PdfMerge, ProtectedPartsMakeAProtectedWhole) {
    QTemporaryDir dir;
    const QString a = dir.filePath("a.pdf"), b = dir.filePath("b.pdf");
    ASSERT_TRUE(makePdf(a, {"alpha"}, {{"A head", 0, {}}}));
    ASSERT_TRUE(makePdf(b, {"beta", "beta 2"}));
    PdfOptions o;
    o.protection = {"pw", "", false, true, false};
    ASSERT_TRUE(postProcessPdf(a, o));
    ASSERT_TRUE(postProcessPdf(b, o));
    const QString target = dir.filePath("all.pdf");
    const MergeOutcome m = mergePdfs({{a, "a.doc"}, {b, "b.doc"}}, target, o.protection);
    ASSERT_TRUE(m.written) << m.error.toStdString();
    EXPECT_EQ(pagesOf(target), -1);
    EXPECT_EQ(pagesOf(target, "pw"), 3);
    const QString shown = testpdf::run("qpdf", {"--show-encryption", "--password=pw", target});
    EXPECT_TRUE(shown.contains("AESv3")) << shown.toStdString();
    EXPECT_TRUE(shown.contains("extract for any purpose: not allowed")) << shown.toStdString();
    const QList<Outline> top = outlinesOf(target, "pw");
    ASSERT_EQ(top.size(), 2);
    ASSERT_EQ(top[0].kids.size(), 1);
    EXPECT_EQ(top[0].kids[0].title, "A head");
}

}  // namespace
}  // namespace quorv::pdf
