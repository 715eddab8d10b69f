#include "programs/quorvbatch/journal.h"

#include <unistd.h>

#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <cstdio>

namespace quorv {

namespace {

QJsonObject toJson(const JournalEntry& e) {
    return QJsonObject{{"source", e.source},   {"size", e.size},     {"mtime", e.mtime},
                       {"options", e.options}, {"output", e.output}, {"status", e.status},
                       {"reason", e.reason}};
}

JournalEntry fromJson(const QJsonObject& o) {
    JournalEntry e;
    e.source = o.value("source").toString();
    e.size = o.value("size").toInteger(-1);
    e.mtime = o.value("mtime").toInteger(-1);
    e.options = o.value("options").toString();
    e.output = o.value("output").toString();
    e.status = o.value("status").toString();
    e.reason = o.value("reason").toString();
    return e;
}

QByteArray lineOf(const QJsonObject& o) {
    return QJsonDocument(o).toJson(QJsonDocument::Compact) + '\n';
}

}  // namespace

QString Journal::pathFor(const QString& outBase, int shard, int shards) {
    QString name = QStringLiteral(".quorvbatch-journal");
    if (shards > 1) name += QStringLiteral("-%1-of-%2").arg(shard).arg(shards);
    return outBase + name + QStringLiteral(".jsonl");
}

void Journal::load() {
    entries_.clear();
    pending_.clear();
    QFile f(path_);
    if (!f.open(QIODevice::ReadOnly)) return;
    while (!f.atEnd()) {
        const QByteArray line = f.readLine();
        if (!line.endsWith('\n')) break;  // torn by a kill
        const QJsonObject o = QJsonDocument::fromJson(line).object();
        const JournalEntry e = fromJson(o);
        if (e.source.isEmpty()) continue;
        if (o.contains("tmp")) {
            pending_.insert(e.source, {e, o.value("tmp").toString()});
        } else {
            pending_.remove(e.source);
            entries_.insert(e.source, e);
        }
    }
}

void Journal::recover(const QString& outBase) {
    for (auto it = pending_.cbegin(); it != pending_.cend(); ++it) {
        const JournalEntry& e = it.value().first;
        const QString& tmp = it.value().second;
        const QString target = outBase + e.output;
        if (QFileInfo(tmp).isFile()) {
            // The name was free when it was chosen and only this share writes it.
            if (std::rename(QFile::encodeName(tmp).constData(),
                            QFile::encodeName(target).constData()) != 0) {
                continue;
            }
            entries_.insert(e.source, e);
        } else if (QFileInfo(target).isFile()) {
            entries_.insert(e.source, e);
        }
    }
    pending_.clear();
}

bool Journal::compact() {
    file_.close();
    QSaveFile out(path_);
    if (!out.open(QIODevice::WriteOnly)) return false;
    for (const JournalEntry& e : entries_) out.write(lineOf(toJson(e)));
    if (!out.flush() || ::fsync(out.handle()) != 0) return false;
    return out.commit();
}

void Journal::clear() {
    file_.close();
    entries_.clear();
    pending_.clear();
    QFile::remove(path_);
}

bool Journal::appendPending(const JournalEntry& entry, const QString& tmp) {
    QJsonObject o = toJson(entry);
    o.insert("tmp", tmp);
    return writeLine(lineOf(o));
}

bool Journal::append(const JournalEntry& entry) {
    entries_.insert(entry.source, entry);
    return writeLine(lineOf(toJson(entry)));
}

bool Journal::writeLine(const QByteArray& line) {
    if (!file_.isOpen()) {
        file_.setFileName(path_);
        if (!file_.open(QIODevice::WriteOnly | QIODevice::Append)) return false;
    }
    return file_.write(line) == line.size() && file_.flush() && ::fsync(file_.handle()) == 0;
}

}  // namespace quorv
