#pragma once

// Late-bound automation: servers are reached by name, their members are called by name
// along member paths, with Variant arguments and results. Failed calls raise RuntimeError
// with codes 32 to 35.

#include <QList>
#include <QString>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <utility>

#include "core/runtimeerror.h"

namespace quorv {

class AutomationObject;

// A value passed to or returned from a member: empty, bool, integer, real, text or object.
class Variant {
  public:
    enum class Kind { Empty, Bool, Int, Real, Text, Object };

    Variant() = default;
    Variant(bool v) : kind_(Kind::Bool), int_(v ? 1 : 0) {}
    Variant(int v) : kind_(Kind::Int), int_(v) {}
    Variant(qint64 v) : kind_(Kind::Int), int_(v) {}
    Variant(double v) : kind_(Kind::Real), real_(v) {}
    Variant(const QString& v) : kind_(Kind::Text), text_(v) {}
    Variant(const char* v) : kind_(Kind::Text), text_(QString::fromUtf8(v)) {}
    Variant(std::shared_ptr<AutomationObject> v);

    Kind kind() const { return kind_; }
    bool isEmpty() const { return kind_ == Kind::Empty; }
    bool isObject() const { return kind_ == Kind::Object; }

    // Plain readings without coercion rules; a wrong kind gives the zero value.
    bool toBool() const;
    qint64 toInt() const;
    double toReal() const;
    QString toText() const;
    std::shared_ptr<AutomationObject> toObject() const { return object_; }

    // Short description for call records and messages, e.g. `"a.doc"`, 17, false.
    QString describe() const;

  private:
    Kind kind_ = Kind::Empty;
    qint64 int_ = 0;
    double real_ = 0;
    QString text_;
    std::shared_ptr<AutomationObject> object_;
};

using VariantList = QList<Variant>;

// Raised by a server member; the client turns it into a RuntimeError naming the path.
struct DispatchError {
    int code = kErrCallFailed;
    QString message;
    // The server's process died under the call (a watchdog's kill does not count).
    bool serverDied = false;
    // What the failure was, where the server knew it.
    FailReason reason = FailReason::None;
};

// How a member is reached: read (or called with arguments), written, or called.
enum class Access { Get, Put, Call };

// One object of a server (the application, a document, a collection ...). Member names
// reach invoke() in lower case. Errors are reported by throwing DispatchError.
class AutomationObject {
  public:
    virtual ~AutomationObject() = default;
    virtual Variant invoke(Access access, const QString& member, const VariantList& args) = 0;
};

// An AutomationObject whose members are declared in a table, so that unknown names (32),
// argument types (33) and argument counts (34) are checked the same way for every server.
class DispatchObject : public AutomationObject {
  public:
    enum class Param { Bool, Int, Real, Text, Object, Any };

    using Getter = std::function<Variant(const VariantList& args)>;
    using Putter = std::function<void(const Variant& value)>;

    // A member that can be read or called; `required` of `params` must be given.
    void addMember(const QString& name, QList<Param> params, int required, Getter get);
    // A property that can only be written.
    void addSetter(const QString& name, Param type, Putter put);

    Variant invoke(Access access, const QString& member, const VariantList& args) override;

    // Converts a value to a parameter type as automation does (17 and "17" are both an
    // integer, a number is a text); throws DispatchError 33 when it cannot.
    static Variant coerce(const Variant& value, Param type);

  private:
    struct Member {
        QList<Param> params;
        int required = 0;
        Getter get;
        Param putType = Param::Any;
        Putter put;
    };
    std::map<QString, Member> members_;
};

// One step of a member path: a name, with arguments when the step is indexed or called
// ("worksheets"(2)).
struct Member {
    Member(const char* n) : name(QString::fromUtf8(n)) {}
    Member(const QString& n) : name(n) {}
    Member(const QString& n, VariantList a) : name(n), args(std::move(a)) {}
    Member(const char* n, VariantList a) : name(QString::fromUtf8(n)), args(std::move(a)) {}
    QString name;
    VariantList args;
};
using MemberPath = QList<Member>;

// "activeworkbook.worksheets(2).cells.find": the path as error records name it.
QString describePath(const MemberPath& path);

// A registered server kind (Word, Excel, or a test's fake).
class AutomationServer {
  public:
    virtual ~AutomationServer() = default;
    // The application object of an instance already running for this program, or null.
    virtual std::shared_ptr<AutomationObject> attach() = 0;
    // The application object of a new instance of the caller's own, or null.
    virtual std::shared_ptr<AutomationObject> create() = 0;
};

// Registers a server under a name (compared without regard to case). Returns what was
// registered under that name before (null if nothing), so a test can put it back.
std::shared_ptr<AutomationServer> registerAutomationServer(
    const QString& name, std::shared_ptr<AutomationServer> server);
// The server registered under a name, or null. The programs register the office servers
// under "Word.Application" and "Excel.Application" at start-up.
std::shared_ptr<AutomationServer> findAutomationServer(const QString& name);

// Connect results; 0 is success.
inline constexpr int kConnectOk = 0;
inline constexpr int kConnectUnknownName = -2;
inline constexpr int kConnectCreateFailed = -3;
inline constexpr int kConnectNothingToAttach = -5;

// The client: connects to a server by name and calls its members. Releasing it (also
// while an error unwinds) releases the server's application object, which closes what
// this client opened and ends an instance that it created.
class OleObject {
  public:
    OleObject() = default;
    ~OleObject();
    OleObject(const OleObject&) = delete;
    OleObject& operator=(const OleObject&) = delete;

    // Attach to an instance that is already running; 0 on success.
    int connectToObject(const QString& name);
    // Start a new instance of the caller's own; 0 on success.
    int connectToNewObject(const QString& name);
    void disconnectObject();
    bool isConnected() const { return app_ != nullptr; }

    Variant get(const MemberPath& path);
    void set(const MemberPath& path, const Variant& value);
    Variant call(const MemberPath& path, const VariantList& args = {});

  private:
    int connect(const QString& name, bool attach);
    Variant run(Access access, const MemberPath& path, const VariantList& args);

    QString name_;
    std::shared_ptr<AutomationObject> app_;
};

// Runs one document's work (a conversion, a search). When the server instance it used
// died under it, `renew` readies a fresh start (false when it cannot) and the work runs
// once more; a second death, or any other error, reaches the caller as it is. A
// document that only hung is never run again: it would hang again.
template <class Work, class Renew>
auto retryAfterServerDeath(Work&& work, Renew&& renew) -> decltype(work()) {
    std::optional<RuntimeError> first;
    try {
        return work();
    } catch (const RuntimeError& e) {
        if (!e.serverDied()) throw;
        first = e;
    }
    if (!renew()) throw *first;
    return work();
}

template <class Work>
auto retryAfterServerDeath(Work&& work) -> decltype(work()) {
    return retryAfterServerDeath(std::forward<Work>(work), [] { return true; });
}

}  // namespace quorv
