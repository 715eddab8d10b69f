#pragma once

// The .docx sources of the office benchmarks, made through the engine (not timed), and
// a soffice profile readied by one run, so both sides start from a ready profile.

#include <QDir>
#include <QString>
#include <QStringList>

#include "common/benchdocs.h"
#include "convert/automation.h"
#include "engines/office/officeprofile.h"
#include "engines/office/officesession.h"

namespace quorv::bench {

// N one-page .docx files named doc000.docx ... in srcDir; empty on failure.
inline QStringList makeBenchDocx(const QString& workDir, const QString& srcDir, int n) {
    QDir().mkpath(srcDir);
    QStringList files;
    office::OfficeSession session;
    for (int i = 0; i < n; ++i) {
        const QString flat = workDir + QStringLiteral("/f%1.fodt").arg(i);
        const QString docx = srcDir + QStringLiteral("/doc%1.docx").arg(i, 3, 10, QLatin1Char('0'));
        if (!writeBenchDocument(flat, QStringLiteral("Document %1").arg(i))) return {};
        OleObject word;
        if (word.connectToObject(QStringLiteral("Word.application")) != 0) return {};
        word.call({"documents", "open"}, {flat});
        word.call({"activedocument", "saveas"}, {docx, 16});
        word.call({"quit"});
        files << docx;
    }
    return files;
}

// A soffice profile in workDir, made by converting one file once; returns its folder.
inline QString readySofficeProfile(const QString& workDir, const QString& file) {
    const QString profile = workDir + QStringLiteral("/soffice-profile");
    const QString warm = workDir + QStringLiteral("/warm");
    QDir().mkpath(warm);
    runSoffice(profile, {file}, warm);
    // As a desktop user's profile is after its first start: no self-tests at each start.
    office::markProfileCurrent(profile);
    return profile;
}

}  // namespace quorv::bench
