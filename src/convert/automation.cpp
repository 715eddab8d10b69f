#include "convert/automation.h"

#include <QLoggingCategory>
#include <mutex>

namespace quorv {

Q_LOGGING_CATEGORY(lcAutomation, "quorv.automation")

Variant::Variant(std::shared_ptr<AutomationObject> v)
    : kind_(v ? Kind::Object : Kind::Empty), object_(std::move(v)) {}

bool Variant::toBool() const {
    switch (kind_) {
        case Kind::Bool:
        case Kind::Int:
            return int_ != 0;
        case Kind::Real:
            return real_ != 0;
        case Kind::Text:
            return text_.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0;
        case Kind::Object:
            return true;
        case Kind::Empty:
            break;
    }
    return false;
}

qint64 Variant::toInt() const {
    switch (kind_) {
        case Kind::Bool:
        case Kind::Int:
            return int_;
        case Kind::Real:
            return qRound64(real_);
        case Kind::Text:
            return text_.trimmed().toLongLong();
        default:
            return 0;
    }
}

double Variant::toReal() const {
    switch (kind_) {
        case Kind::Bool:
        case Kind::Int:
            return double(int_);
        case Kind::Real:
            return real_;
        case Kind::Text:
            return text_.trimmed().toDouble();
        default:
            return 0;
    }
}

QString Variant::toText() const {
    switch (kind_) {
        case Kind::Bool:
            return int_ ? QStringLiteral("true") : QStringLiteral("false");
        case Kind::Int:
            return QString::number(int_);
        case Kind::Real:
            return QString::number(real_);
        case Kind::Text:
            return text_;
        default:
            return QString();
    }
}

QString Variant::describe() const {
    switch (kind_) {
        case Kind::Empty:
            return QStringLiteral("empty");
        case Kind::Text:
            return QLatin1Char('"') + text_ + QLatin1Char('"');
        case Kind::Object:
            return QStringLiteral("object");
        default:
            return toText();
    }
}

void DispatchObject::addMember(const QString& name, QList<Param> params, int required, Getter get) {
    Member& m = members_[name.toLower()];
    m.params = std::move(params);
    m.required = required;
    m.get = std::move(get);
}

void DispatchObject::addSetter(const QString& name, Param type, Putter put) {
    Member& m = members_[name.toLower()];
    m.putType = type;
    m.put = std::move(put);
}

Variant DispatchObject::coerce(const Variant& value, Param type) {
    using K = Variant::Kind;
    const K k = value.kind();
    auto bad = [&]() -> Variant {
        throw DispatchError{
            kErrBadArgumentType,
            QStringLiteral("argument %1 has an invalid type").arg(value.describe())};
    };
    switch (type) {
        case Param::Any:
            return value;
        case Param::Object:
            return k == K::Object ? value : bad();
        case Param::Text:
            return (k == K::Object || k == K::Empty) ? bad() : Variant(value.toText());
        case Param::Bool:
            if (k == K::Bool || k == K::Int || k == K::Real) return Variant(value.toBool());
            if (k == K::Text) {
                const QString t = value.toText().trimmed();
                if (t.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0) return true;
                if (t.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0) return false;
                bool ok = false;
                const double d = t.toDouble(&ok);
                if (ok) return Variant(d != 0);
            }
            return bad();
        case Param::Int:
        case Param::Real: {
            double d = 0;
            if (k == K::Bool || k == K::Int || k == K::Real) {
                d = value.toReal();
            } else if (k == K::Text) {
                bool ok = false;
                d = value.toText().trimmed().toDouble(&ok);
                if (!ok) return bad();
            } else {
                return bad();
            }
            if (type == Param::Real) return Variant(d);
            return Variant(qint64(qRound64(d)));
        }
    }
    return bad();
}

Variant DispatchObject::invoke(Access access, const QString& member, const VariantList& args) {
    auto it = members_.find(member);
    const bool known = it != members_.end() &&
                       (access == Access::Put ? bool(it->second.put) : bool(it->second.get));
    if (!known) {
        throw DispatchError{kErrMemberNotFound, QStringLiteral("no member named %1").arg(member)};
    }
    const Member& m = it->second;
    if (access == Access::Put) {
        if (args.size() != 1) {
            throw DispatchError{kErrBadArgumentCount, QStringLiteral("a property takes one value")};
        }
        m.put(coerce(args.front(), m.putType));
        return Variant();
    }
    if (args.size() < m.required || args.size() > m.params.size()) {
        throw DispatchError{kErrBadArgumentCount,
                            QStringLiteral("%1 takes %2 to %3 arguments, not %4")
                                .arg(member)
                                .arg(m.required)
                                .arg(m.params.size())
                                .arg(args.size())};
    }
    VariantList converted;
    converted.reserve(args.size());
    for (qsizetype i = 0; i < args.size(); ++i) converted.append(coerce(args[i], m.params[i]));
    return m.get(converted);
}

QString describePath(const MemberPath& path) {
    QString out;
    for (const Member& step : path) {
        if (!out.isEmpty()) out += QLatin1Char('.');
        out += step.name.toLower();
        if (!step.args.isEmpty()) {
            QStringList parts;
            for (const Variant& a : step.args) parts << a.toText();
            out += QLatin1Char('(') + parts.join(QLatin1Char(',')) + QLatin1Char(')');
        }
    }
    return out;
}

namespace {

struct Registry {
    std::mutex mutex;
    std::map<QString, std::shared_ptr<AutomationServer>> servers;
};

Registry& registry() {
    static Registry r;
    return r;
}

}  // namespace

std::shared_ptr<AutomationServer> registerAutomationServer(
    const QString& name, std::shared_ptr<AutomationServer> server) {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    auto& slot = r.servers[name.toLower()];
    std::shared_ptr<AutomationServer> previous = std::move(slot);
    slot = std::move(server);
    if (!slot) r.servers.erase(name.toLower());
    return previous;
}

std::shared_ptr<AutomationServer> findAutomationServer(const QString& name) {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    auto it = r.servers.find(name.toLower());
    return it == r.servers.end() ? nullptr : it->second;
}

OleObject::~OleObject() { disconnectObject(); }

int OleObject::connectToObject(const QString& name) { return connect(name, true); }

int OleObject::connectToNewObject(const QString& name) { return connect(name, false); }

int OleObject::connect(const QString& name, bool attach) {
    disconnectObject();
    std::shared_ptr<AutomationServer> server = findAutomationServer(name);
    if (!server) return kConnectUnknownName;
    std::shared_ptr<AutomationObject> app = attach ? server->attach() : server->create();
    if (!app) return attach ? kConnectNothingToAttach : kConnectCreateFailed;
    name_ = name;
    app_ = std::move(app);
    return kConnectOk;
}

void OleObject::disconnectObject() {
    // Releasing the application object is what closes documents and ends instances.
    app_.reset();
}

Variant OleObject::get(const MemberPath& path) { return run(Access::Get, path, {}); }

void OleObject::set(const MemberPath& path, const Variant& value) {
    run(Access::Put, path, {value});
}

Variant OleObject::call(const MemberPath& path, const VariantList& args) {
    return run(Access::Call, path, args);
}

Variant OleObject::run(Access access, const MemberPath& path, const VariantList& args) {
    const QString event = describePath(path);
    if (!app_) throw RuntimeError(kErrCallFailed, name_, event);
    if (path.isEmpty()) throw RuntimeError(kErrMemberNotFound, name_, event);
    try {
        std::shared_ptr<AutomationObject> object = app_;
        for (qsizetype i = 0; i + 1 < path.size(); ++i) {
            Variant step = object->invoke(Access::Get, path[i].name.toLower(), path[i].args);
            if (!step.isObject()) {
                throw DispatchError{kErrCallFailed, path[i].name + QStringLiteral(" is no object")};
            }
            object = step.toObject();
        }
        const Member& last = path.back();
        if (access == Access::Put) {
            if (!last.args.isEmpty()) {
                throw DispatchError{kErrBadArgumentCount, QStringLiteral("indexed property")};
            }
            return object->invoke(Access::Put, last.name.toLower(), args);
        }
        VariantList all = last.args;
        all += args;
        return object->invoke(access, last.name.toLower(), all);
    } catch (const DispatchError& e) {
        // The error record has no room for the server's reason; keep it for the log.
        qCWarning(lcAutomation).noquote()
            << name_ << event << "failed with" << e.code << "-" << e.message;
        RuntimeError error(e.code, name_, event);
        error.setServerDied(e.serverDied);
        error.setReason(e.reason);
        throw error;
    }
}

}  // namespace quorv
