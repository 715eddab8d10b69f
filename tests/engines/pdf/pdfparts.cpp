#include "pdfparts.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>
#include <vector>

namespace quorv::testpdf {

namespace {

using OH = QPDFObjectHandle;

OH items(QPDF& pdf, const QList<Bookmark>& marks, OH parent, const std::vector<OH>& pages) {
    std::vector<OH> made;
    for (const Bookmark& b : marks) {
        OH d = pdf.makeIndirectObject(OH::newDictionary());
        d.replaceKey("/Title", OH::newUnicodeString(b.title.toStdString()));
        d.replaceKey("/Parent", parent);
        OH dest = OH::newArray();
        dest.appendItem(pages.at(size_t(b.page)));
        dest.appendItem(OH::newName("/Fit"));
        d.replaceKey("/Dest", dest);
        if (!made.empty()) {
            d.replaceKey("/Prev", made.back());
            made.back().replaceKey("/Next", d);
        }
        if (!b.kids.isEmpty()) items(pdf, b.kids, d, pages);
        made.push_back(d);
    }
    if (!made.empty()) {
        parent.replaceKey("/First", made.front());
        parent.replaceKey("/Last", made.back());
        parent.replaceKey("/Count", OH::newInteger(int(made.size())));
    }
    return parent;
}

}  // namespace

bool makePdf(const QString& path, const QStringList& pageTexts, const QList<Bookmark>& bookmarks,
             int rotate) {
    try {
        QPDF pdf;
        pdf.emptyPDF();
        OH font = pdf.makeIndirectObject(OH::parse(
            "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>"));
        OH resources = OH::newDictionary();
        OH fonts = OH::newDictionary();
        fonts.replaceKey("/F1", font);
        resources.replaceKey("/Font", fonts);
        QPDFPageDocumentHelper helper(pdf);
        std::vector<OH> pages;
        for (const QString& text : pageTexts) {
            std::string content = "BT /F1 14 Tf 72 720 Td (" + text.toStdString() + ") Tj ET\n";
            OH page =
                pdf.makeIndirectObject(OH::parse("<< /Type /Page /MediaBox [0 0 595 842] >>"));
            page.replaceKey("/Resources", resources);
            page.replaceKey("/Contents", pdf.newStream(content));
            if (rotate) page.replaceKey("/Rotate", OH::newInteger(rotate));
            helper.addPage(QPDFPageObjectHelper(page), false);
            pages.push_back(page);
        }
        if (!bookmarks.isEmpty()) {
            OH root = pdf.makeIndirectObject(OH::parse("<< /Type /Outlines >>"));
            pdf.getRoot().replaceKey("/Outlines", items(pdf, bookmarks, root, pages));
        }
        const QByteArray name = QFile::encodeName(path);  // the writer keeps the pointer
        QPDFWriter w(pdf, name.constData());
        w.write();
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

QString run(const QString& program, const QStringList& args, int* status) {
    QProcess p;
    p.start(program, args);
    const bool done = p.waitForFinished(60000);
    if (status) *status = done && p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    if (!done || p.exitStatus() != QProcess::NormalExit) return QString();
    return QString::fromUtf8(p.readAllStandardOutput());
}

QString textOf(const QString& pdf, const QString& password) {
    QStringList args{QStringLiteral("-q")};
    if (!password.isEmpty()) args << QStringLiteral("-upw") << password;
    args << pdf << QStringLiteral("-");
    return run(QStringLiteral("pdftotext"), args);
}

int darkPixels(const QString& pdf, const QString& password) {
    QTemporaryDir dir;
    QStringList args{QStringLiteral("-gray"), QStringLiteral("-r"),         QStringLiteral("30"),
                     QStringLiteral("-f"),    QStringLiteral("1"),          QStringLiteral("-l"),
                     QStringLiteral("1"),     QStringLiteral("-singlefile")};
    if (!password.isEmpty()) args << QStringLiteral("-upw") << password;
    args << pdf << dir.filePath(QStringLiteral("p"));
    int status = 0;
    run(QStringLiteral("pdftoppm"), args, &status);
    QFile f(dir.filePath(QStringLiteral("p.pgm")));
    if (status != 0 || !f.open(QIODevice::ReadOnly)) return -1;
    const QByteArray pgm = f.readAll();
    // "P5\nW H\n255\n" then the pixels.
    int newlines = 0, at = 0;
    while (at < pgm.size() && newlines < 3) {
        if (pgm[at++] == '\n') ++newlines;
    }
    int dark = 0;
    for (int i = at; i < pgm.size(); ++i) dark += uchar(pgm[i]) < 250;
    return dark;
}

}  // namespace quorv::testpdf
