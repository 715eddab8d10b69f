#include "convert/contentfind.h"

#include <memory>

#include "convert/automation.h"
#include "convert/passwordopen.h"

namespace quorv {

bool connectSearchWord(OleObject& word) {
    if (word.connectToNewObject(QStringLiteral("Word.Application")) != kConnectOk) return false;
    word.set({"displayalerts"}, false);
    word.set({"application", "displayalerts"}, false);
    return true;
}

bool wordFind(OleObject& word, const QString& path, const QString& text,
              const QStringList& passwords) {
    openWordDocument(word, path, passwords);
    word.set({"application", "visible"}, false);
    word.call({"application", "selection", "find", "clearformatting"});
    const bool found = word.call({"application", "selection", "find", "execute"}, {text}).toBool();
    word.call({"activedocument", "close"}, {false});
    return found;
}

std::optional<bool> excelFind(const QString& path, const QString& text,
                              const QStringList& passwords) {
    auto eole = std::make_unique<OleObject>();
    if (eole->connectToNewObject(QStringLiteral("Excel.Application")) != kConnectOk) {
        return std::nullopt;
    }
    bool found = false;
    eole->set({"application", "displayalerts"}, false);
    openWorkbook(*eole, path, passwords);
    eole->set({"application", "visible"}, false);
    const qint64 sheets = eole->get({"worksheets", "count"}).toInt();
    for (qint64 i = 1; i <= sheets; ++i) {
        const Variant r =
            eole->call({"activeworkbook", {"worksheets", {i}}, "cells", "find"}, {text});
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

std::optional<bool> presentationFind(const QString& path, const QString& text,
                                     const QStringList& passwords) {
    OleObject app;
    if (app.connectToNewObject(QStringLiteral("PowerPoint.Application")) != kConnectOk) {
        return std::nullopt;
    }
    app.set({"displayalerts"}, false);
    openWithPasswords(app, {"presentations", "open"}, {path, -1, 0, 0}, passwords);
    bool found = false;
    const qint64 slides = app.get({"activepresentation", "slides", "count"}).toInt();
    for (qint64 i = 1; i <= slides && !found; ++i) {
        found = app.call({"activepresentation", {"slides", {i}}, "findtext"}, {text}).toBool() ||
                app.call({"activepresentation", {"slides", {i}}, "notespage", "findtext"}, {text})
                    .toBool();
    }
    app.call({"activepresentation", "close"});
    app.call({"quit"});
    app.disconnectObject();
    return found;
}

}  // namespace quorv
