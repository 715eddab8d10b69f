#pragma once

#include <QString>
#include <QStringView>

namespace quorv {

// The extension of a file name or path: the text after the last "." anywhere in it
// (the whole text when there is none), in lower case.
QString qfilehz(const QString& yfilename);

// npath + the source's file name up to and including its last "." + nfilehzm. No
// separator is inserted: npath ends in "/". A name without a dot after its last "/"
// keeps its whole bare name and gains the dot.
QString filegszh(const QString& yfilename, const QString& nfilehzm, const QString& npath);

// fname when fpath + fname does not exist, else the first free name of 0fname,
// 1fname, 2fname, ...
QString fzmccf(const QString& fpath, const QString& fname);

// Whether two paths name the same file: compared resolved when both exist, else as
// absolute paths. Keeps a conversion from writing over its own source.
bool samePath(const QString& a, const QString& b);

// `text` without the characters of `blanks` at either end. Unlike QString::trimmed it
// drops only what the caller counts as blank.
QString trimBlanks(QStringView text, QStringView blanks = u" ");

}  // namespace quorv
