#include "fakes/fake_office.h"

#include <QFile>
#include <QFileInfo>
#include <functional>
#include <mutex>

#include "fakes/output_files.h"

namespace quorv::testing {

struct FakeOfficeServer::State {
    // The workers of a pool call at once; one call, connect or release at a time.
    std::recursive_mutex mutex;
    QList<Call> calls;
    QMap<QString, int> failures;
    QMap<QString, int> deaths;
    bool writesOutput = true;
    QMap<QString, FakeOfficeServer::Output> outputFor;
    bool findResult = false;
    int sheetCount = 3;
    int findSheet = 0;
    QMap<QString, bool> findResultFor;
    QMap<QString, int> findSheetFor;
    bool attachAvailable = false;
    bool createFails = false;
    QStringList createFailsFor;
    int attaches = 0;
    int creates = 0;
    int quits = 0;
    int live = 0;
    QStringList open;
    QMap<QString, QString> passwordFor;
};

namespace {

using State = FakeOfficeServer::State;
using P = DispatchObject::Param;

[[noreturn]] void fail(const QString& message) { throw DispatchError{kErrCallFailed, message}; }

// One application's view: which documents this client opened.
struct Session {
    std::shared_ptr<State> state;
    QString server;
    QStringList opened;
    bool quit = false;

    void check() {
        if (quit) fail(QStringLiteral("the application has quit"));
    }
    QString active() {
        check();
        if (opened.isEmpty()) fail(QStringLiteral("nothing is open"));
        return opened.back();
    }
    void open(const QString& path, const QString& password = QString()) {
        check();
        if (!QFileInfo(path).isFile()) fail(QStringLiteral("no such file"));
        const auto locked = state->passwordFor.constFind(QFileInfo(path).fileName());
        if (locked != state->passwordFor.constEnd() && *locked != password) {
            throw DispatchError{kErrCallFailed, QStringLiteral("protected by a password"), false,
                                FailReason::Password};
        }
        opened.append(path);
        state->open.append(path);
    }
    void closeAll() {
        for (const QString& p : opened) state->open.removeOne(p);
        opened.clear();
    }
    void release() {
        closeAll();
        quit = true;
    }
};

void writeFile(const QString& path, const QByteArray& content) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly)) fail(QStringLiteral("cannot write ") + path);
    f.write(content);
}

// A node of the fake object tree: records each call under its full path, then applies a
// configured failure, then dispatches through its member table.
class Node : public DispatchObject {
  public:
    Node(std::shared_ptr<Session> s, QString prefix, QString prefixText)
        : s_(std::move(s)), prefix_(std::move(prefix)), prefixText_(std::move(prefixText)) {}

    Variant invoke(Access access, const QString& member, const VariantList& args) override {
        const std::lock_guard lock(s_->state->mutex);
        const QString path = prefix_.isEmpty() ? member : prefix_ + QLatin1Char('.') + member;
        QString text = prefixText_.isEmpty() ? member : prefixText_ + QLatin1Char('.') + member;
        QStringList shown;
        for (const Variant& a : args) shown << a.describe();
        static const char* const kinds[] = {"get", "set", "call"};
        QString line = QString::fromLatin1(kinds[int(access)]) + QLatin1Char(' ') + text;
        if (access == Access::Put) {
            line += QStringLiteral(" = ") + (args.isEmpty() ? QString() : args[0].describe());
        } else if (!args.isEmpty() || access == Access::Call) {
            line += QLatin1Char('(') + shown.join(QStringLiteral(", ")) + QLatin1Char(')');
        }
        // Objects among the arguments are recorded by description: holding them here
        // would keep their session, and so this record, alive in a cycle.
        VariantList recorded;
        for (const Variant& a : args) recorded.append(a.isObject() ? Variant(a.describe()) : a);
        s_->state->calls.append(FakeOfficeServer::Call{s_->server, access, path, line, recorded});
        auto f = s_->state->failures.constFind(path);
        if (f != s_->state->failures.constEnd()) {
            throw DispatchError{f.value(), QStringLiteral("failure asked by the test")};
        }
        int& deaths = s_->state->deaths[path];
        if (deaths > 0) {
            --deaths;
            throw DispatchError{kErrCallFailed, QStringLiteral("the office instance died"), true};
        }
        return DispatchObject::invoke(access, member, args);
    }

  protected:
    // A child node reached through `member`; `index` names it the way calls are shown.
    template <class N, class... A>
    Variant child(const QString& member, const VariantList& index, A&&... a) {
        QString text = prefixText_.isEmpty() ? member : prefixText_ + QLatin1Char('.') + member;
        if (!index.isEmpty()) text += QLatin1Char('(') + index[0].toText() + QLatin1Char(')');
        const QString path = prefix_.isEmpty() ? member : prefix_ + QLatin1Char('.') + member;
        return Variant(std::make_shared<N>(s_, path, text, std::forward<A>(a)...));
    }

    std::shared_ptr<Session> s_;
    QString prefix_;
    QString prefixText_;
};

class Leaf : public Node {
  public:
    using Node::Node;
};

class WordFindNode : public Node {
  public:
    WordFindNode(std::shared_ptr<Session> s, QString p, QString t) : Node(s, p, t) {
        addMember("clearformatting", {}, 0, [](const VariantList&) { return Variant(); });
        addMember("execute", {P::Text, P::Bool, P::Bool, P::Bool}, 0, [s](const VariantList&) {
            const QString name = QFileInfo(s->active()).fileName();
            return Variant(s->state->findResultFor.value(name, s->state->findResult));
        });
    }
};

class WordDocNode : public Node {
  public:
    WordDocNode(std::shared_ptr<Session> s, QString p, QString t, QString source) : Node(s, p, t) {
        auto write = [s, source](const QString& out, int code) {
            if (!s->state->writesOutput) return;
            using Output = FakeOfficeServer::Output;
            const Output kind =
                s->state->outputFor.value(QFileInfo(source).fileName(), Output::Text);
            QByteArray bytes =
                QStringLiteral("fake output of %1 in format %2\n").arg(source).arg(code).toUtf8();
            if (kind != Output::Text && code == 17) bytes = pdfBytes(1);
            if (kind != Output::Text && code == 18) bytes = xpsBytes();
            if (kind == Output::CutShort) bytes.truncate(bytes.size() / 2);
            if (kind == Output::Empty) bytes.clear();
            writeFile(out, bytes);
        };
        addMember("exportasfixedformat",
                  {P::Text, P::Int, P::Bool, P::Any, P::Any, P::Any, P::Any, P::Any, P::Any, P::Any,
                   P::Any, P::Any, P::Any, P::Any},
                  2, [write](const VariantList& a) {
                      const int code = int(a[1].toInt());
                      if (code != 17 && code != 18) fail(QStringLiteral("unknown export format"));
                      write(a[0].toText(), code);
                      return Variant();
                  });
        addMember("saveas", {P::Text, P::Int}, 1, [write](const VariantList& a) {
            write(a[0].toText(), a.size() > 1 ? int(a[1].toInt()) : 16);
            return Variant();
        });
        addMember("close", {P::Any}, 0, [s, source](const VariantList&) {
            s->opened.removeOne(source);
            s->state->open.removeOne(source);
            return Variant();
        });
    }
};

class CellNode : public Node {
  public:
    CellNode(std::shared_ptr<Session> s, QString p, QString t, QString value) : Node(s, p, t) {
        addMember("value", {}, 0, [value](const VariantList&) { return Variant(value); });
        addMember("text", {}, 0, [value](const VariantList&) { return Variant(value); });
    }
};

class CellsNode : public Node {
  public:
    CellsNode(std::shared_ptr<Session> s, QString p, QString t, int sheet) : Node(s, p, t) {
        addMember("find", {P::Text, P::Any, P::Any, P::Any, P::Any, P::Any, P::Any, P::Any, P::Any},
                  1, [this, s, sheet](const VariantList& a) {
                      const QString name = QFileInfo(s->active()).fileName();
                      if (s->state->findSheetFor.value(name, s->state->findSheet) != sheet) {
                          return Variant();
                      }
                      return child<CellNode>(QStringLiteral("value"), {}, a[0].toText());
                  });
    }
};

class SheetNode : public Node {
  public:
    SheetNode(std::shared_ptr<Session> s, QString p, QString t, int sheet) : Node(s, p, t) {
        addMember("cells", {}, 0, [this, sheet](const VariantList&) {
            return child<CellsNode>(QStringLiteral("cells"), {}, sheet);
        });
    }
};

int sheetIndex(const std::shared_ptr<Session>& s, const Variant& v) {
    const qint64 i = DispatchObject::coerce(v, P::Int).toInt();
    if (i < 1 || i > s->state->sheetCount) fail(QStringLiteral("no such sheet"));
    return int(i);
}

class SheetsNode : public Node {
  public:
    SheetsNode(std::shared_ptr<Session> s, QString p, QString t) : Node(s, p, t) {
        addMember("count", {}, 0, [s](const VariantList&) {
            s->active();
            return Variant(s->state->sheetCount);
        });
    }
};

Variant worksheets(const std::shared_ptr<Session>& s, const VariantList& a,
                   const std::function<Variant(const VariantList&, int)>& makeSheet,
                   const std::function<Variant()>& makeSheets) {
    s->active();
    if (a.isEmpty()) return makeSheets();
    return makeSheet(a, sheetIndex(s, a[0]));
}

class WorkbookNode : public Node {
  public:
    WorkbookNode(std::shared_ptr<Session> s, QString p, QString t) : Node(s, p, t) {
        addMember("worksheets", {P::Any}, 0, [this, s](const VariantList& a) {
            return worksheets(
                s, a,
                [this](const VariantList& idx, int i) {
                    return child<SheetNode>(QStringLiteral("worksheets"), idx, i);
                },
                [this] { return child<SheetsNode>(QStringLiteral("worksheets"), {}); });
        });
    }
};

class WorkbooksNode : public Node {
  public:
    WorkbooksNode(std::shared_ptr<Session> s, QString p, QString t) : Node(s, p, t) {
        addMember("open", {P::Text, P::Any, P::Any, P::Any, P::Text}, 1,
                  [this, s](const VariantList& a) {
                      s->open(a[0].toText(), a.value(4).toText());
                      return child<WorkbookNode>(QStringLiteral("open"), {});
                  });
        addMember("close", {}, 0, [s](const VariantList&) {
            s->check();
            s->closeAll();
            return Variant();
        });
    }
};

class DocumentsNode : public Node {
  public:
    DocumentsNode(std::shared_ptr<Session> s, QString p, QString t) : Node(s, p, t) {
        addMember("open", {P::Text, P::Bool, P::Bool, P::Bool, P::Text}, 1,
                  [this, s](const VariantList& a) {
                      s->open(a[0].toText(), a.value(4).toText());
                      return child<WordDocNode>(QStringLiteral("open"), {}, a[0].toText());
                  });
    }
};

class AppNode : public Node {
  public:
    AppNode(std::shared_ptr<Session> s, QString p, QString t, bool word, bool owner)
        : Node(s, p, t), owner_(owner) {
        addMember("application", {}, 0, [this, word](const VariantList&) {
            return child<AppNode>(QStringLiteral("application"), {}, word, false);
        });
        addSetter("displayalerts", P::Bool, [](const Variant&) {});
        addSetter("visible", P::Bool, [](const Variant&) {});
        if (word) {
            addMember("documents", {}, 0, [this, s](const VariantList&) {
                s->check();
                return child<DocumentsNode>(QStringLiteral("documents"), {});
            });
            addMember("activedocument", {}, 0, [this, s](const VariantList&) {
                return child<WordDocNode>(QStringLiteral("activedocument"), {}, s->active());
            });
            addMember("normaltemplate", {}, 0, [this, s](const VariantList&) {
                s->check();
                auto node = std::make_shared<Leaf>(s, prefixed("normaltemplate"),
                                                   prefixedText("normaltemplate"));
                node->addSetter("saved", P::Bool, [](const Variant&) {});
                return Variant(std::shared_ptr<AutomationObject>(node));
            });
            addMember("selection", {}, 0, [this, s](const VariantList&) {
                s->check();
                auto node =
                    std::make_shared<Leaf>(s, prefixed("selection"), prefixedText("selection"));
                node->addMember(
                    "find", {}, 0,
                    [s, p = prefixed("selection"),
                     t = prefixedText("selection")](const VariantList&) {
                        return Variant(std::make_shared<WordFindNode>(
                            s, p + QStringLiteral(".find"), t + QStringLiteral(".find")));
                    });
                return Variant(std::shared_ptr<AutomationObject>(node));
            });
            addMember("quit", {P::Any, P::Any, P::Any}, 0, [s](const VariantList&) {
                s->check();
                ++s->state->quits;
                s->release();
                return Variant();
            });
        } else {
            addMember("workbooks", {}, 0, [this, s](const VariantList&) {
                s->check();
                return child<WorkbooksNode>(QStringLiteral("workbooks"), {});
            });
            addMember("activeworkbook", {}, 0, [this, s](const VariantList&) {
                s->active();
                return child<WorkbookNode>(QStringLiteral("activeworkbook"), {});
            });
            addMember("worksheets", {P::Any}, 0, [this, s](const VariantList& a) {
                return worksheets(
                    s, a,
                    [this](const VariantList& idx, int i) {
                        return child<SheetNode>(QStringLiteral("worksheets"), idx, i);
                    },
                    [this] { return child<SheetsNode>(QStringLiteral("worksheets"), {}); });
            });
            addMember("quit", {}, 0, [s](const VariantList&) {
                s->check();
                ++s->state->quits;
                s->release();
                return Variant();
            });
        }
        if (owner_) {
            const std::lock_guard lock(s_->state->mutex);
            ++s_->state->live;
        }
    }
    ~AppNode() override {
        if (!owner_) return;
        const std::lock_guard lock(s_->state->mutex);
        --s_->state->live;
        s_->release();
    }

  private:
    QString prefixed(const char* m) const {
        const QString name = QString::fromLatin1(m);
        return prefix_.isEmpty() ? name : prefix_ + QLatin1Char('.') + name;
    }
    QString prefixedText(const char* m) const {
        const QString name = QString::fromLatin1(m);
        return prefixText_.isEmpty() ? name : prefixText_ + QLatin1Char('.') + name;
    }
    bool owner_;
};

class FakeServer : public AutomationServer {
  public:
    FakeServer(std::shared_ptr<State> state, bool word) : state_(std::move(state)), word_(word) {}
    std::shared_ptr<AutomationObject> attach() override {
        const std::lock_guard lock(state_->mutex);
        if (!state_->attachAvailable) return nullptr;
        ++state_->attaches;
        return make();
    }
    std::shared_ptr<AutomationObject> create() override {
        const std::lock_guard lock(state_->mutex);
        if (state_->createFails) return nullptr;
        if (state_->createFailsFor.contains(word_ ? QStringLiteral("word")
                                                  : QStringLiteral("excel"))) {
            return nullptr;
        }
        ++state_->creates;
        return make();
    }

  private:
    std::shared_ptr<AutomationObject> make() {
        auto session = std::make_shared<Session>();
        session->state = state_;
        session->server = word_ ? QStringLiteral("word") : QStringLiteral("excel");
        return std::make_shared<AppNode>(session, QString(), QString(), word_, true);
    }
    std::shared_ptr<State> state_;
    bool word_;
};

}  // namespace

FakeOfficeServer::FakeOfficeServer() : state_(std::make_shared<State>()) {
    previousWord_ = registerAutomationServer(QStringLiteral("Word.Application"),
                                             std::make_shared<FakeServer>(state_, true));
    previousExcel_ = registerAutomationServer(QStringLiteral("Excel.Application"),
                                              std::make_shared<FakeServer>(state_, false));
    previousCheck_ = backend().outputReads;
    setOutputsChecked(false);
}

FakeOfficeServer::~FakeOfficeServer() {
    registerAutomationServer(QStringLiteral("Word.Application"), previousWord_);
    registerAutomationServer(QStringLiteral("Excel.Application"), previousExcel_);
    setOutputsChecked(true);
    // A recorded argument can be one of our own objects, which holds the state: drop the
    // record so that the state is freed.
    state_->calls.clear();
}

const QList<FakeOfficeServer::Call>& FakeOfficeServer::calls() const { return state_->calls; }

QStringList FakeOfficeServer::callTexts() const {
    QStringList out;
    for (const Call& c : state_->calls) out << c.server + QLatin1Char(' ') + c.text;
    return out;
}

void FakeOfficeServer::clearCalls() { state_->calls.clear(); }
void FakeOfficeServer::dieOn(const QString& path, int times) {
    state_->deaths[path.toLower()] = times;
}

void FakeOfficeServer::failMember(const QString& path, int code) {
    state_->failures[path.toLower()] = code;
}
void FakeOfficeServer::setWritesOutput(bool on) { state_->writesOutput = on; }
void FakeOfficeServer::setOutputFor(const QString& fileName, Output output) {
    state_->outputFor[fileName] = output;
}
void FakeOfficeServer::setOutputsChecked(bool on) {
    ConvertBackend b = backend();
    b.outputReads =
        on ? previousCheck_
           : [](const QString&, OutputKind, const QString&, const QString&) { return true; };
    installBackend(std::move(b));
}
void FakeOfficeServer::setFindResult(bool found) { state_->findResult = found; }
void FakeOfficeServer::setSheetCount(int n) { state_->sheetCount = n; }
void FakeOfficeServer::setFindSheet(int sheet) { state_->findSheet = sheet; }
void FakeOfficeServer::setFindResultFor(const QString& fileName, bool found) {
    state_->findResultFor[fileName] = found;
}
void FakeOfficeServer::setFindSheetFor(const QString& fileName, int sheet) {
    state_->findSheetFor[fileName] = sheet;
}
void FakeOfficeServer::setAttachAvailable(bool on) { state_->attachAvailable = on; }
void FakeOfficeServer::setCreateFails(bool on) { state_->createFails = on; }
void FakeOfficeServer::setCreateFailsFor(const QString& server, bool on) {
    state_->createFailsFor.removeAll(server.toLower());
    if (on) state_->createFailsFor.append(server.toLower());
}
int FakeOfficeServer::attaches() const { return state_->attaches; }
int FakeOfficeServer::creates() const { return state_->creates; }
int FakeOfficeServer::quits() const { return state_->quits; }
int FakeOfficeServer::liveApplications() const { return state_->live; }
QStringList FakeOfficeServer::openDocuments() const { return state_->open; }

void FakeOfficeServer::setPasswordFor(const QString& fileName, const QString& password) {
    state_->passwordFor.insert(fileName, password);
}

}  // namespace quorv::testing
