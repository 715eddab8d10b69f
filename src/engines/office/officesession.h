#pragma once

#include <QString>
#include <memory>

#include "engines/office/officesandbox.h"

namespace quorv::office {

class OfficeInstance;

// Documents after which an instance nobody uses is replaced, since LibreOffice's memory
// grows over long runs.
inline constexpr int kDocumentsPerInstance = 200;

// Held by a long operation (a batch, a content search): it runs one office instance for
// the whole operation (a warm one of the program's pool when it has one), and every connect by
// attach inside it reaches that instance instead of starting one of its own. The instance is
// started at the first attach and ended when the session ends. Sessions nest; attach reaches the
// innermost.
class OfficeSession {
  public:
    // What a connect to a new instance does while this session is the innermost one.
    enum class NewConnections {
        OwnInstance,  // starts an instance of the caller's own, as outside a session
        Served,       // is served by the session's instance: the client gets the state of
                      // a fresh application, and its quit leaves the instance running
    };

    // `access`: what the documents' links may reach in the session's instance. The program's
    // pool holds instances of the default (None); others are started for the session.
    explicit OfficeSession(NewConnections newConnections = NewConnections::OwnInstance,
                           LinkAccess access = LinkAccess::None);
    ~OfficeSession();
    OfficeSession(const OfficeSession&) = delete;
    OfficeSession& operator=(const OfficeSession&) = delete;

    // The innermost session of this program, or null.
    static OfficeSession* current();

    NewConnections newConnections() const { return newConnections_; }

    // A running instance: the one already running, or a new one when there is none, it
    // died, or it has loaded documentLimit() documents and nobody uses it. Null when
    // none can be started.
    std::shared_ptr<OfficeInstance> acquire(QString* error = nullptr);

    // The instance now running, without starting one (null if none).
    std::shared_ptr<OfficeInstance> instance() const { return instance_; }

    // Documents after which an unused instance is replaced; kDocumentsPerInstance unless
    // set.
    void setDocumentLimit(int n) { documentLimit_ = n; }
    int documentLimit() const { return documentLimit_; }
    // Instances this session has started so far.
    int instancesStarted() const { return started_; }

  private:
    void release();

    std::shared_ptr<OfficeInstance> instance_;
    bool pooled_ = false;  // taken from the program's pool, given back at the end
    OfficeSession* outer_ = nullptr;
    NewConnections newConnections_;
    LinkAccess access_;
    int documentLimit_ = kDocumentsPerInstance;
    int started_ = 0;
};

}  // namespace quorv::office
