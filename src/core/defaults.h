#pragma once

#include <QString>
#include <QStringList>

#include "core/ini.h"

namespace quorv {

// Every key of the settings file.
enum class Key {
    Swftprg,
    Langd,
    Flashv,
    Swfpath,
    Log,
    Mpath,
    Sftype,
    Awordhz,
    Wsavehz,
    Wsavely,
    Sfbtm,
    Scgs,
    Wjls,
    Wjjp,
    Fdt,
    Sfzxh,
    Sfth,
    Pool,
    Sfjx,
    Idle,
    Pdfa,
    Dkmm,  // open passwords, obfuscated (core/passwords.h)
    Ckwz,  // main window's place: "x,y,width,height"
    Ckzd,  // main window closed maximised: "y"
    Lkd,   // list column widths: "name:width,..."
    Bdlj,  // "y": links in documents to local files are followed
    // PDF outputs (core/pdfoptions.h): protection, watermark, one merged file.
    Pdfdk,  // open password, obfuscated like dkmm
    Pdfqx,  // permissions password, obfuscated like dkmm
    Jzdy,   // forbid printing: "y"
    Jzfz,   // forbid copying text: "y"
    Jzxg,   // forbid changes: "y"
    Syzw,   // watermark text; empty: none
    Syzh,   // watermark size in points
    Sybtm,  // watermark opacity in percent
    Sypp,   // watermark tiled: "y"
    Hbpdf,  // merge the PDFs of a run into one: "y"
    Hbwj,   // the merged file's name
    Blfj,   // keep the parts after a merge: "n" removes them
};

// The parts of the programs that read keys; each reads with a default of its own.
enum class Reader {
    SettingsWindow,
    SwfService,  // the PDF-to-SWF conversion
    CliStart,    // start of quorvcli
    MainWindow,  // main window open
    BatchDriver,
};

struct KeyInfo {
    Key key;
    const char* section;
    const char* name;
};

// Section and name of a key.
const KeyInfo& keyInfo(Key key);

// The value restore-defaults writes for a key.
QString fileDefault(Key key);

// The default a reader uses when the file, section or key is missing.
QString readerDefault(Key key, Reader reader);

// The tool started for PDF to SWF when the settings name none: quorv-pdf2swf beside
// the running program.
QString bundledPdf2swfPath();
// The tool started for PDF to OFD: quorv-pdf2ofd beside the running program.
QString bundledPdf2ofdPath();

// Office instances a batch or a content search runs at once: the pool key when it holds
// a number from 1 to 16, else defaultPoolSize().
int batchPoolSize(const QString& profile);
// Whether a batch or search goes on past a document that raises ("sfjx" is "y").
bool goOnPastErrors(const QString& profile);
// The cores, at most 4, and no more than leave each instance about 500 MB of the memory
// now available.
int defaultPoolSize();
// How long ready office instances wait unused before they end, in milliseconds ("idle",
// seconds from 0 to 86400; default 300).
int officeIdleMs(const QString& profile);

// The PDF/A part the PDF outputs of a batch conform to ("pdfa": 1, 2 or 3, level b), or 0
// for plain PDF when the key is missing or holds anything else.
int pdfaPart(const QString& profile);

// Whether the window's runs follow links in documents to the user's own local files
// ("bdlj" = "y"; missing or anything else: no).
bool followLocalLinks(const QString& profile);

// Reads a key with the reader's own default.
QString readSetting(const QString& profile, Key key, Reader reader);

// Writes a key; 1 on success, -1 on failure.
int writeSetting(const QString& profile, Key key, const QString& value);

// The default file content, in order: four sections and their seventeen keys (the
// pool key is left out, so that the pool follows the machine, and so are sfjx, idle
// and pdfa, whose absence is their default; restoring the defaults so clears the open
// passwords too, and the main window's place and column widths, which it keeps itself;
// the PDF output keys are left out as well, so a restored file protects, marks and merges
// nothing).
QStringList defaultFileLines();

// Rewrites the whole file with the default content.
IniRestoreResult restoreIniDefaults(const QString& profile);

}  // namespace quorv
