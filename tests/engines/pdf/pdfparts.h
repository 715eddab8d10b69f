#pragma once

// Small PDFs made byte by byte (with qpdf) for the tests: pages of Latin text in the
// standard Helvetica, optional bookmarks, and the tools that read PDFs back.

#include <QString>
#include <QStringList>

namespace quorv::testpdf {

struct Bookmark {
    QString title;
    int page = 0;  // 0-based
    QList<Bookmark> kids;
};

// One page per text; false when the file cannot be written.
bool makePdf(const QString& path, const QStringList& pageTexts,
             const QList<Bookmark>& bookmarks = {}, int rotate = 0);

// Runs a program; its standard output, or an empty text when it cannot run or fails.
QString run(const QString& program, const QStringList& args, int* status = nullptr);

// pdftotext of the whole file (with the open password when given).
QString textOf(const QString& pdf, const QString& password = QString());

// The grey pixels (below 250 of 255) of page 1 rendered small and grey.
int darkPixels(const QString& pdf, const QString& password = QString());

}  // namespace quorv::testpdf
