// Converts documents that ask for every family of the typeface table (Chinese families in
// paragraphs, in mixed Latin and Chinese runs and in table cells; Word's Latin defaults)
// through the engine, and prints per requested family the face embedded and the face its
// glyphs look like. Then "families_matched N of M", the mean conversion time per document,
// and last "sc_forms <share of Chinese runs drawn with mainland forms>".
//
//   bench_fidelity

#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <cstdio>

#include "convert/wordconvert.h"
#include "engines/office/officefonts.h"
#include "engines/office/officesession.h"
#include "fidelity/minidocx.h"
#include "fidelity/pdfglyphs.h"

namespace {

using namespace quorv;

const QString kHan = QStringLiteral("骨直角令写次真");

QString expectedFace(office::FaceStyle style) {
    switch (style) {
        case office::FaceStyle::Song:
            return QStringLiteral("Song SC");
        case office::FaceStyle::Hei:
            return QStringLiteral("Hei SC");
        case office::FaceStyle::FangSong:
            return QStringLiteral("FangSong");
        case office::FaceStyle::Kai:
            return QStringLiteral("Kai");
        default:
            return {};
    }
}

bool mainlandForms(const QString& face) {
    return face == QLatin1String("Song SC") || face == QLatin1String("Hei SC") ||
           face == QLatin1String("FangSong") || face == QLatin1String("Kai");
}

QString tag(int i) { return QStringLiteral("%1").arg(i, 3, 10, QLatin1Char('0')); }

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QTemporaryDir dir;
    const QString out = dir.path() + QStringLiteral("/out/");
    QDir().mkpath(out);

    // The Chinese families of the table, as they are written in Chinese documents.
    QList<office::FaceReplacement> chinese;
    QList<office::FaceReplacement> latin;
    for (const office::FaceReplacement& r : office::faceReplacements()) {
        if (r.substitute.endsWith(QLatin1String(" SC")) || r.style == office::FaceStyle::FangSong ||
            r.style == office::FaceStyle::Kai) {
            chinese.append(r);
        } else if (r.style == office::FaceStyle::LatinSans ||
                   r.style == office::FaceStyle::LatinSerif ||
                   r.style == office::FaceStyle::LatinMono) {
            latin.append(r);
        }
    }
    struct Layout {
        const char* name;
        bool mixed;
        bool table;
    };
    const Layout layouts[] = {
        {"paragraphs", false, false}, {"mixed", true, false}, {"table", false, true}};

    office::OfficeSession session;
    int docs = 0;
    double convertSeconds = 0;
    auto convert = [&](const QString& name, const QList<testing::DocxPara>& paras,
                       const testing::DocxOptions& options) {
        const QString src = dir.filePath(name + QStringLiteral(".docx"));
        if (!testing::writeDocx(src, paras, options)) return QString();
        QElapsedTimer t;
        t.start();
        const QString pdf = word2xps(src, QStringLiteral("pdf"), out, 17, {}).output;
        convertSeconds += t.nsecsElapsed() / 1e9;
        ++docs;
        return pdf;
    };

    int matched = 0, total = 0, chineseRuns = 0, scRuns = 0;
    QHash<QString, bool> familyOk;
    for (const Layout& layout : layouts) {
        QList<testing::DocxPara> paras;
        for (int i = 0; i < chinese.size(); ++i) {
            const QString text =
                layout.mixed ? QStringLiteral("Word ") + kHan + QStringLiteral(" mixed ") + tag(i)
                             : kHan + tag(i);
            // Half the runs name their language, as Chinese Word writes it; half none.
            paras.append({text, chinese[i].requested, QStringLiteral("Times New Roman"),
                          i % 2 ? QStringLiteral("zh-CN") : QString()});
        }
        testing::DocxOptions options;
        options.inTable = layout.table;
        const QString pdf = convert(QString::fromLatin1(layout.name), paras, options);
        const QList<testing::PdfChar> chars = testing::pdfChars(pdf);
        for (int i = 0; i < chinese.size(); ++i) {
            const QList<testing::PdfChar> han =
                testing::findRun(chars, paras[i].text).mid(layout.mixed ? 4 : 0, kHan.size());
            const QString face = testing::nearestFace(pdf, han);
            const QString want = expectedFace(chinese[i].style);
            const bool ok = !face.isEmpty() && face == want;
            ++chineseRuns;
            if (mainlandForms(face)) ++scRuns;
            const QString key = chinese[i].requested;
            familyOk[key] = familyOk.value(key, true) && ok;
            if (!ok || (!layout.table && !layout.mixed)) {
                std::printf("%-10s %-22s embedded %-32s looks %-8s want %-8s %s\n", layout.name,
                            key.toUtf8().constData(),
                            han.isEmpty() ? "-" : han.first().font.toUtf8().constData(),
                            face.toUtf8().constData(), want.toUtf8().constData(),
                            ok ? "ok" : "MISMATCH");
            }
        }
    }
    for (const office::FaceReplacement& r : chinese) {
        ++total;
        if (familyOk.value(r.requested)) ++matched;
    }

    // Word's Latin defaults and their kin: the embedded face must be the stand-in.
    QList<testing::DocxPara> paras;
    for (int i = 0; i < latin.size(); ++i) {
        paras.append({QStringLiteral("Latin%1 sample text").arg(tag(i)), QStringLiteral("宋体"),
                      latin[i].requested});
    }
    const QString pdf = convert(QStringLiteral("latin"), paras, {});
    const QList<testing::PdfChar> chars = testing::pdfChars(pdf);
    for (int i = 0; i < latin.size(); ++i) {
        const QList<testing::PdfChar> run =
            testing::findRun(chars, QStringLiteral("Latin%1").arg(tag(i)));
        const QString font = run.isEmpty() ? QString() : run.first().font;
        const QString want = QString(latin[i].substitute).remove(QLatin1Char(' '));
        const bool ok = font.startsWith(want);
        ++total;
        if (ok) ++matched;
        std::printf("%-22s embedded %-32s want %-24s %s\n", latin[i].requested.toUtf8().constData(),
                    font.toUtf8().constData(), want.toUtf8().constData(), ok ? "ok" : "MISMATCH");
    }

    std::printf("documents %d\n", docs);
    std::printf("convert_ms_per_document %.1f\n", docs ? 1000 * convertSeconds / docs : 0.0);
    std::printf("families_matched %d of %d\n", matched, total);
    std::printf("sc_forms %.2f\n", chineseRuns ? double(scRuns) / chineseRuns : 0.0);
    return 0;
}
