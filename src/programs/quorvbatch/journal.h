#pragma once

// The record of a run kept in its output folder: one line per finished file, so that a run
// started again with --resume knows what is done. An output is first named in a "pending"
// line, then renamed into place, then recorded; a run killed between the two finds the
// pending line and completes or forgets the rename.

#include <QFile>
#include <QMap>
#include <QString>

namespace quorv {

struct JournalEntry {
    QString source;  // absolute path
    qint64 size = -1;
    qint64 mtime = -1;  // milliseconds since the epoch
    QString options;    // what the output depends on besides the source
    QString output;     // relative to the output folder; empty when none was written
    QString status;     // "ok" or "failed"
    QString reason;     // the failure's category; empty for "ok"
};

class Journal {
  public:
    // The journal of a share in an output folder (ending in "/"); each share keeps its own.
    static QString pathFor(const QString& outBase, int shard, int shards);

    explicit Journal(QString path) : path_(std::move(path)) {}

    // Reads the file: the last entry of each source, and the renames not known to be done.
    // A torn last line (the run was killed while writing it) is ignored.
    void load();
    // Completes or forgets each pending rename: an output still under its temporary name
    // is renamed into place, one already in place is recorded.
    void recover(const QString& outBase);
    // Replaces the file by one sorted line per source, through a temporary name.
    bool compact();
    // Forgets everything and removes the file.
    void clear();

    // Appends a pending rename from tmp to entry.output; on disk before it returns.
    bool appendPending(const JournalEntry& entry, const QString& tmp);
    // Appends a finished file; on disk before it returns.
    bool append(const JournalEntry& entry);

    const QMap<QString, JournalEntry>& entries() const { return entries_; }
    const QString& path() const { return path_; }

  private:
    bool writeLine(const QByteArray& line);

    QString path_;
    QFile file_;
    QMap<QString, JournalEntry> entries_;
    QMap<QString, QPair<JournalEntry, QString>> pending_;  // source -> entry, temporary path
};

}  // namespace quorv
