#pragma once

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <memory>

#include "convert/automation.h"
#include "convert/backend.h"

namespace quorv::testing {

// An office without LibreOffice for tests of call sequences. While it lives it is the
// server behind "Word.Application" and "Excel.Application" (any case); the servers
// registered before come back when it is destroyed. Members take the same arguments as
// the real servers, so wrong names, types and counts fail with 32, 33 and 34 alike.
// Its outputs are texts, no PDFs or packages: while it lives outputs are not checked,
// unless a test turns the registered check back on.
class FakeOfficeServer {
  public:
    struct Call {
        QString server;  // "word" or "excel"
        Access access;
        QString path;  // member path in lower case without indices: "activedocument.saveas"
        QString text;  // as it reads: "call activeworkbook.worksheets(2).cells.find(\"x\")"
        VariantList args;
    };

    FakeOfficeServer();
    ~FakeOfficeServer();
    FakeOfficeServer(const FakeOfficeServer&) = delete;
    FakeOfficeServer& operator=(const FakeOfficeServer&) = delete;

    // Every member call received, in order (connects and releases are not calls).
    const QList<Call>& calls() const;
    QStringList callTexts() const;  // "word " + text of each call
    void clearCalls();

    // Makes a member path (as in Call::path) fail with a code, e.g. 35.
    void failMember(const QString& path, int code);
    // Makes the next `times` calls of a member path fail with 35 as when the office
    // instance dies under them.
    void dieOn(const QString& path, int times);
    // Whether exportasfixedformat and saveas write their output file (default true).
    void setWritesOutput(bool on);
    // What exportasfixedformat and saveas write for one source file name (without folder).
    enum class Output {
        Text,      // a line naming the source and the format (what every other file gets)
        Whole,     // format 17 a one-page PDF, 18 a one-page XPS package, else the text
        CutShort,  // the first half of what Whole writes
        Empty,     // nothing: a file of 0 bytes
    };
    void setOutputFor(const QString& fileName, Output output);
    // Whether the output check registered before the fake applies while it lives.
    void setOutputsChecked(bool on);
    // What selection.find.execute returns (default false).
    void setFindResult(bool found);
    // Sheets of every workbook (default 3) and the sheet whose cells.find matches, from 1
    // (default 0: no sheet matches).
    void setSheetCount(int n);
    void setFindSheet(int sheet);
    // The same for the document or workbook of one file name (without folder); these
    // win over the settings above.
    void setFindResultFor(const QString& fileName, bool found);
    void setFindSheetFor(const QString& fileName, int sheet);
    // The file of that name (without folder) opens only with this password as open's
    // fifth argument; without it open fails as the real servers refuse a protected file.
    void setPasswordFor(const QString& fileName, const QString& password);
    // Whether attach finds a running instance (default false: attach fails) and whether
    // create fails (default false).
    void setAttachAvailable(bool on);
    void setCreateFails(bool on);
    // Create fails for one server only ("word" or "excel").
    void setCreateFailsFor(const QString& server, bool on);

    int attaches() const;  // successful attaches
    int creates() const;   // successful creates
    int quits() const;
    // Application objects not yet released by their clients.
    int liveApplications() const;
    // Documents and workbooks opened and not yet closed or released.
    QStringList openDocuments() const;

    struct State;

  private:
    std::shared_ptr<State> state_;
    std::shared_ptr<AutomationServer> previousWord_;
    std::shared_ptr<AutomationServer> previousExcel_;
    decltype(ConvertBackend::outputReads) previousCheck_;
};

}  // namespace quorv::testing
