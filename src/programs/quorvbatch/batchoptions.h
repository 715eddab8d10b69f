#pragma once

// What quorvbatch's command line asks for, as plain data, and the shard a file falls in.

#include <QString>
#include <QStringList>
#include <optional>

#include "convert/batch/schedule.h"

namespace quorv {

// Exit statuses of quorvbatch.
inline constexpr int kBatchAllDone = 0;        // every file converted or skipped
inline constexpr int kBatchRejected = 1;       // unusable request, reported on standard error
inline constexpr int kBatchRuntimeError = 3;   // run-time error, reported on standard error
inline constexpr int kBatchSomeFailed = 4;     // some files failed for good
inline constexpr int kBatchSomeRetryable = 5;  // some failed in a way a later run may not

struct BatchOptions {
    QStringList inputs;  // folders and files, as given
    QString filesFrom;   // a file of paths, one a line; "-" for standard input
    bool recursive = false;
    bool includeHidden = false;
    QString szf;    // the window's file-type choice: "1" to "5", "6" for --since, else empty
    QString since;  // "yyyy-mm-dd hh:mm:ss"
    bool keepSubfolders = false;
    BatchMode mode = BatchMode::Pdf;
    QString modeName = QStringLiteral("pdf");
    QString out;
    bool replace = false;
    std::optional<int> jobs;
    std::optional<int> pdfa;  // PDF/A part of --pdfa (0 for none); else the settings' own
    bool goOn = true;
    bool resume = false;
    bool localLinks = false;  // links in documents to local files are followed
    int shard = 1;            // K of --shard K/N, from 1
    int shards = 1;
    // The PDF options given; the settings' own for the rest. Passwords also come from a
    // file or the environment, which other users cannot read the way they read a command line.
    RequestOverrides::Pdf pdf;
};

// The environment variables quorvbatch takes the passwords from when no option gives them.
inline constexpr char kOpenPasswordEnv[] = "QUORVBATCH_OPEN_PASSWORD";
inline constexpr char kPermissionsPasswordEnv[] = "QUORVBATCH_PERMISSIONS_PASSWORD";

// The options of an argument list, or the reason (in the user's words) why it is unusable.
struct ParsedOptions {
    std::optional<BatchOptions> options;
    QString error;
};
ParsedOptions parseBatchOptions(const QStringList& arguments);

// The usage text printed for --help and after an unusable request.
QString batchUsage();

// The name a file is known by when shares are dealt: its folder below the input root (when
// subfolders are kept) and its name without extension, leading digits and case, so that
// every file that could claim one output name ("a.doc", "a.docx", "0a.doc") lands in the
// same share.
QString shardKey(const QString& zml, const QString& filey);
// The share (1 to n) of a key: FNV-1a over its UTF-8 bytes, the same on every machine.
int shardOf(const QString& key, int n);

}  // namespace quorv
