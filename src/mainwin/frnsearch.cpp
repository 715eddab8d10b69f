#include "mainwin/frnsearch.h"

#include <memory>

#include "convert/automation.h"
#include "convert/filenames.h"
#include "convert/wordconvert.h"
#include "mainwin/frnwindowmode.h"
#include "mainwin/w_frn.h"
#include "platform/office/officesession.h"
#include "settings/globals.h"

namespace quorv {

namespace {

const QString kPrompt = QStringLiteral("提示");

// Membership in a "#"-joined extension list by plain substring search; a name without
// an extension belongs to no list.
bool listed(const QString& ext, const QString& list) {
    return !ext.isEmpty() && list.contains(ext);
}

// Searches one document in the search's Word instance and closes it again at once, so
// that the instance holds at most one document however long the list is.
bool wordFind(OleObject& oleword, const QString& path, const QString& bhnr) {
    oleword.call({"documents", "open"}, {path});
    oleword.set({"application", "visible"}, false);
    oleword.call({"application", "selection", "find", "clearformatting"});
    const bool found =
        oleword.call({"application", "selection", "find", "execute"}, {bhnr}).toBool();
    oleword.call({"activedocument", "close"}, {false});
    return found;
}

// Starts the search's Word with its alerts off.
bool connectSearchWord(OleObject& oleword) {
    if (oleword.connectToNewObject(QStringLiteral("Word.Application")) != kConnectOk) return false;
    oleword.set({"displayalerts"}, false);
    oleword.set({"application", "displayalerts"}, false);
    return true;
}

}  // namespace

bool excelfd(const QString& filey1, const QString& bhnr, Desktop& desktop) {
    bool found = false;
    auto eole = std::make_unique<OleObject>();
    if (eole->connectToNewObject(QStringLiteral("Excel.Application")) != kConnectOk) {
        eole.reset();
        desktop.messageBox(QString(), QStringLiteral("启用Excel失败。"));
        return false;
    }
    eole->set({"application", "displayalerts"}, false);
    eole->call({"workbooks", "open"}, {filey1});
    eole->set({"application", "visible"}, false);
    const qint64 sheets = eole->get({"worksheets", "count"}).toInt();
    for (qint64 i = 1; i <= sheets; ++i) {
        const Variant r =
            eole->call({"activeworkbook", {"worksheets", {i}}, "cells", "find"}, {bhnr});
        if (!r.isEmpty()) {
            found = true;
            break;
        }
    }
    eole->call({"workbooks", "close"});
    eole->call({"quit"});
    eole->disconnectObject();
    return found;
}

void frnContentSearch(w_frn& w) {
    Desktop& desktop = w.desktop();
    FileListModel& list = w.list();
    if (list.rowCount() < 1) {
        desktop.messageBox(kPrompt, QStringLiteral("还没有源文件"));
        return;
    }
    int found = 0;
    {
        const WindowMode mode(w, WindowMode::KeepCursor);
        const QString wordhz = QStringLiteral("doc#docx") + globals().awordhz;
        w.vpb_1->setVisible(true);
        const QString bhnr = w.sle_3->text().trimmed();
        const int row_zs = list.rowCount();
        w.vpb_1->setMaximum(row_zs);
        {
            // One office serves the search's Word and every workbook's Excel; it ends
            // with this scope, on an error too, before the error report is shown.
            office::OfficeSession session(office::OfficeSession::NewConnections::Served);
            auto oleword = std::make_unique<OleObject>();
            if (!connectSearchWord(*oleword)) {
                oleword.reset();
                desktop.messageBox(QString(), QStringLiteral("启用Word失败。"));
                return;
            }
            // A search stopped early must not leave an earlier search's marks on rows.
            list.clearResults();
            for (int ii = 1; ii <= row_zs; ++ii) {
                // Escape reaches the window only through its event queue.
                desktop.pumpEvents();
                if (desktop.escapeHeld()) {
                    desktop.messageBox(kPrompt, QStringLiteral("搜索已被中途中止！"));
                    break;
                }
                const QString path = list.cellText(ii, Frn1Column::ypath).trimmed() +
                                     list.cellText(ii, Frn1Column::filey).trimmed();
                bool hit = false;
                // A name the office cannot be given is simply not found.
                const QString ext = undecodableName(path) ? QString() : qfilehz(path);
                if (ext == QLatin1String("xls") || ext == QLatin1String("xlsx") ||
                    ext == QLatin1String("xlsm")) {
                    hit = retryAfterServerDeath([&] { return excelfd(path, bhnr, desktop); });
                }
                if (listed(ext, wordhz)) {
                    // Word's connection went with a dead instance: a new one reaches the
                    // session's fresh instance.
                    hit = retryAfterServerDeath([&] { return wordFind(*oleword, path, bhnr); },
                                                [&] {
                                                    oleword->disconnectObject();
                                                    return connectSearchWord(*oleword);
                                                });
                }
                w.vpb_1->setValue(ii);
                if (hit) {
                    list.selectRow(ii, true);
                    list.setCell(ii, Frn1Column::jg, QStringLiteral("找到"));
                    ++found;
                } else {
                    list.selectRow(ii, false);
                    list.setCell(ii, Frn1Column::jg, QString(QLatin1String("")));
                }
            }
            oleword->call({"quit"});
            oleword.reset();
        }
        list.setFilter(QString());
        list.applyFilter();
    }
    desktop.messageBox(
        kPrompt, QStringLiteral("搜索结束,共找到") + QString::number(found) + QStringLiteral("个"));
}

}  // namespace quorv
