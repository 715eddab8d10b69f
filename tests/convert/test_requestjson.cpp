// A request and its outcome as they cross to the office service and back.
#include <QJsonArray>
#include <QJsonDocument>

#include "convert/batch/requestjson.h"
#include "fakes/pdf_options_checks.h"
#include "gtest/gtest.h"

namespace quorv {
namespace {

TEST(RequestJson, ARequestArrivesAsItWasSentWithItsPathsMadeAbsolute) {
    BatchRequest q;
    q.rows = {BatchRow{"报告 一.docx", "src/", ""}, BatchRow{"b.doc", "/abs/", "sub/"}};
    q.mode = BatchMode::Swf;
    q.outputBase = "swf out";
    q.sfth = "n";
    q.pdfp = "pdf/.own/";
    q.replaceIntermediate = true;
    q.blankNamesTaken = true;
    q.swf = SwfTool{"tools/quorv-pdf2swf", "8", "lang"};
    q.poolSize = 3;
    q.goOn = true;
    q.pdfa = 2;
    const QByteArray wire =
        QJsonDocument(requestToJson(withAbsolutePaths(q, "/work/here"))).toJson();
    const std::optional<BatchRequest> r = requestFromJson(QJsonDocument::fromJson(wire).object());
    ASSERT_TRUE(r);
    EXPECT_EQ(r->mode, BatchMode::Swf);
    ASSERT_EQ(r->rows.size(), 2);
    EXPECT_EQ(r->rows[0].filey, "报告 一.docx");
    EXPECT_EQ(r->rows[0].ypath, "/work/here/src/");
    EXPECT_EQ(r->rows[1].ypath, "/abs/");
    EXPECT_EQ(r->rows[1].zml, "sub/");
    EXPECT_EQ(r->outputBase, "/work/here/swf out/");
    EXPECT_EQ(r->pdfp, "/work/here/pdf/.own/");
    EXPECT_EQ(r->sfth, "n");
    EXPECT_TRUE(r->replaceIntermediate);
    EXPECT_TRUE(r->blankNamesTaken);
    EXPECT_EQ(r->swf.program, "/work/here/tools/quorv-pdf2swf");
    EXPECT_EQ(r->swf.flashv, "8");
    EXPECT_EQ(r->swf.langd, "/work/here/lang");
    EXPECT_EQ(r->poolSize, 3);
    EXPECT_TRUE(r->goOn);
    EXPECT_EQ(r->pdfa, 2);

    EXPECT_FALSE(r->pdf.rewritesOutputs() || r->pdf.merge.on);

    // A tool named without a folder is found on the PATH, wherever the run happens.
    q.swf.program = "pdf2swf";
    EXPECT_EQ(withAbsolutePaths(q, "/work/here").swf.program, "pdf2swf");
}

TEST(RequestJson, ThePdfOptionsArriveWholeAndNoPasswordCrossesAsPlainText) {
    BatchRequest q;
    q.mode = BatchMode::Pdf;
    PdfOptions& p = q.pdf;
    p.protection = {"开门 123", "权限pw", true, false, true};
    p.watermark = {"内部资料", 60, 80, false};
    p.merge = {true, "合同", false};
    const QByteArray wire = QJsonDocument(requestToJson(q)).toJson();
    EXPECT_FALSE(wire.contains("开门 123")) << wire.constData();
    EXPECT_FALSE(wire.contains("权限pw")) << wire.constData();
    const std::optional<BatchRequest> r = requestFromJson(QJsonDocument::fromJson(wire).object());
    ASSERT_TRUE(r);
    testing::expectSamePdfOptions(r->pdf, p);
}

TEST(RequestJson, AnOutcomeKeepsItsErrorReportAndReasons) {
    BatchRunResult out;
    out.rows = {{BatchResult::Failure, FailReason::Password}, {BatchResult::Success, {}}};
    out.intermediates = {"/p/a.pdf"};
    out.outputs = {"", "/o/b.pdf"};
    out.messages = {"quorv.automation: failed"};
    RuntimeError e(kErrCallFailed, "Word.application", "documents.open", 0);
    e.setReason(FailReason::Password);
    e.setServerDied(true);
    out.error = e;
    const std::optional<BatchRunResult> back = runResultFromJson(runResultToJson(out));
    ASSERT_TRUE(back);
    ASSERT_EQ(back->rows.size(), 2);
    EXPECT_EQ(back->outputs, out.outputs) << "what a merge at the caller's end needs";
    EXPECT_EQ(back->rows[0].result, BatchResult::Failure);
    EXPECT_EQ(back->rows[0].reason, FailReason::Password);
    EXPECT_EQ(back->rows[1].result, BatchResult::Success);
    EXPECT_EQ(back->intermediates, out.intermediates);
    EXPECT_EQ(back->messages, out.messages);
    ASSERT_TRUE(back->error);
    EXPECT_EQ(errorReportText(back->error->record()), errorReportText(e.record()));
    EXPECT_EQ(back->error->reason(), FailReason::Password);
    EXPECT_TRUE(back->error->serverDied());
}

// The caller of the service reports a refused request in the words a run of its own
// would have given it.
TEST(RequestJson, ARefusalCrossesInTheWordsOfARunHere) {
    BatchRequest q;
    q.mode = BatchMode::Pdf;
    q.outputBase = "/o/";
    q.rows = {BatchRow{"a.doc", "/s/", ""}};
    q.pdfa = 2;
    q.pdf.protection.openPassword = "开门";
    BatchRun here(q, {});
    here.start();
    ASSERT_TRUE(here.isFinished());
    const BatchRunResult& local = here.result();
    ASSERT_EQ(local.refusal, "PDF/A归档格式不能加密，请去掉密码和权限限制");
    const QByteArray wire = QJsonDocument(runResultToJson(local)).toJson(QJsonDocument::Compact);
    const std::optional<BatchRunResult> back =
        runResultFromJson(QJsonDocument::fromJson(wire).object());
    ASSERT_TRUE(back);
    EXPECT_EQ(back->refusal, local.refusal);
    ASSERT_EQ(back->rows.size(), 1);
    EXPECT_NE(back->rows[0].result, BatchResult::Success);
    EXPECT_FALSE(back->error);
    // A run that was not refused says nothing of one.
    EXPECT_FALSE(runResultToJson(BatchRunResult{}).contains("refusal"));
    EXPECT_EQ(runResultFromJson(QJsonObject{{"rows", QJsonArray{}}})->refusal, QString());
}

TEST(RequestJson, WhatIsNoRequestOrOutcomeIsRefused) {
    EXPECT_FALSE(requestFromJson(QJsonObject{{"mode", "print"}, {"rows", QJsonArray{}}}));
    EXPECT_FALSE(requestFromJson(QJsonObject{{"mode", "pdf"}}));
    EXPECT_FALSE(
        requestFromJson(QJsonObject{{"mode", "pdf"}, {"rows", QJsonArray{QJsonArray{"a"}}}}));
    EXPECT_FALSE(runResultFromJson(QJsonObject{}));
    EXPECT_FALSE(runResultFromJson(QJsonObject{{"rows", QJsonArray{QJsonArray{0, 99}}}}));
    EXPECT_FALSE(runResultFromJson(QJsonObject{{"rows", QJsonArray{QJsonArray{7, 0}}}}));
}

TEST(RequestJson, OpenPasswordsCrossButNeverAsPlainText) {
    BatchRequest q;
    q.mode = BatchMode::Pdf;
    q.passwords = QStringList{"Kennwort", "密码 7"};
    const QByteArray wire = QJsonDocument(requestToJson(q)).toJson(QJsonDocument::Compact);
    EXPECT_FALSE(wire.contains("Kennwort")) << wire.constData();
    EXPECT_FALSE(wire.contains(QStringLiteral("密码").toUtf8())) << wire.constData();
    EXPECT_FALSE(wire.contains("\\u5bc6")) << "nor as JSON escapes";
    const std::optional<BatchRequest> r = requestFromJson(QJsonDocument::fromJson(wire).object());
    ASSERT_TRUE(r);
    EXPECT_EQ(r->passwords, q.passwords);
    q.passwords.clear();
    const std::optional<BatchRequest> none = requestFromJson(requestToJson(q));
    ASSERT_TRUE(none);
    EXPECT_TRUE(none->passwords.isEmpty());
}

}  // namespace
}  // namespace quorv
