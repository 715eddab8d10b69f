#include "engines/office/officefonts.h"

#include <fontconfig/fontconfig.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <mutex>

namespace quorv::office {

namespace {

// Song, Hei and the Japanese, Korean and traditional Chinese faces come from one Noto CJK
// collection each; every face carries the other languages' forms too, so a run tagged
// Japanese in 宋体 still gets Japanese forms. The Fandol FangSong face is the one free
// FangSong with mainland forms (complete GB2312); LXGW WenKai covers three times as many
// GB18030 characters as the other free Kai faces and has a bold weight.
constexpr char kSong[] = "Noto Serif CJK SC";
constexpr char kHei[] = "Noto Sans CJK SC";
constexpr char kFang[] = "FandolFang R";
constexpr char kKai[] = "LXGW WenKai";

struct Group {
    const char* substitute;
    FaceStyle style;
    std::initializer_list<const char*> names;
};

const Group kGroups[] = {
    {kSong,
     FaceStyle::Song,
     {"宋体",
      "新宋体",
      "SimSun",
      "NSimSun",
      "SimSun-ExtB",
      "宋体-简",
      "宋体-方正超大字符集",
      "华文宋体",
      "STSong",
      "华文中宋",
      "STZhongsong",
      "方正书宋",
      "方正书宋简体",
      "方正书宋_GBK",
      "FZShuSong-Z01",
      "FZShuSong-Z01S",
      "方正小标宋简体",
      "方正小标宋_GBK",
      "FZXiaoBiaoSong-B05S",
      "Songti SC",
      "思源宋体",
      "Source Han Serif SC",
      "Source Han Serif CN",
      "中易宋体"}},
    {kHei,
     FaceStyle::Hei,
     {"黑体",
      "SimHei",
      "微软雅黑",
      "微软雅黑 Light",
      "Microsoft YaHei",
      "Microsoft YaHei UI",
      "Microsoft YaHei Light",
      "等线",
      "等线 Light",
      "DengXian",
      "DengXian Light",
      "华文黑体",
      "STHeiti",
      "华文细黑",
      "STXihei",
      "Heiti SC",
      "黑体-简",
      "方正黑体简体",
      "方正黑体_GBK",
      "FZHei-B01S",
      "方正兰亭黑简体",
      "苹方-简",
      "PingFang SC",
      "思源黑体",
      "Source Han Sans SC",
      "Source Han Sans CN",
      "中易黑体"}},
    {kFang,
     FaceStyle::FangSong,
     {"仿宋", "仿宋_GB2312", "仿宋体", "FangSong", "FangSong_GB2312", "华文仿宋", "STFangsong",
      "方正仿宋简体", "方正仿宋_GBK", "FZFangSong-Z02S"}},
    {kKai,
     FaceStyle::Kai,
     {"楷体", "楷体_GB2312", "KaiTi", "KaiTi_GB2312", "华文楷体", "STKaiti", "楷体-简", "Kaiti SC",
      "方正楷体简体", "方正楷体_GBK", "FZKai-Z03S"}},
    // Traditional Chinese, Japanese and Korean documents keep their own forms.
    {"Noto Serif CJK TC", FaceStyle::Song, {"新細明體", "細明體", "PMingLiU", "MingLiU"}},
    {"Noto Sans CJK TC", FaceStyle::Hei, {"微軟正黑體", "Microsoft JhengHei"}},
    {"Noto Serif CJK JP",
     FaceStyle::Song,
     {"MS Mincho", "ＭＳ 明朝", "MS PMincho", "ＭＳ Ｐ明朝", "Yu Mincho", "游明朝"}},
    {"Noto Sans CJK JP",
     FaceStyle::Hei,
     {"MS Gothic", "ＭＳ ゴシック", "MS PGothic", "ＭＳ Ｐゴシック", "MS UI Gothic", "Meiryo",
      "メイリオ", "Yu Gothic", "游ゴシック"}},
    {"Noto Serif CJK KR", FaceStyle::Song, {"Batang", "바탕", "BatangChe", "Gungsuh", "궁서"}},
    {"Noto Sans CJK KR",
     FaceStyle::Hei,
     {"Gulim", "굴림", "Dotum", "돋움", "Malgun Gothic", "맑은 고딕"}},
    // Word's Latin defaults: metric-compatible faces first, so lines break as in Word.
    {"Carlito", FaceStyle::LatinSans, {"Calibri", "Calibri Light"}},
    {"Caladea", FaceStyle::LatinSerif, {"Cambria"}},
    {"Liberation Sans", FaceStyle::LatinSans, {"Arial", "Helvetica"}},
    {"Liberation Sans Narrow", FaceStyle::LatinSans, {"Arial Narrow"}},
    {"Liberation Serif", FaceStyle::LatinSerif, {"Times New Roman", "Times"}},
    {"Liberation Mono", FaceStyle::LatinMono, {"Courier New", "Courier"}},
    // No metric-compatible free face: one of the same kind.
    {"DejaVu Sans", FaceStyle::LatinSans, {"Verdana"}},
    {"Liberation Sans",
     FaceStyle::LatinSans,
     {"Aptos", "Aptos Display", "Segoe UI", "Tahoma", "Trebuchet MS", "Century Gothic",
      "Franklin Gothic Book", "Franklin Gothic Medium", "Gill Sans MT", "Lucida Sans Unicode",
      "Arial Unicode MS"}},
    {"Liberation Serif",
     FaceStyle::LatinSerif,
     {"Georgia", "Garamond", "Book Antiqua", "Palatino Linotype", "Constantia", "Century",
      "Bookman Old Style", "Cambria Math"}},
    {"Liberation Mono", FaceStyle::LatinMono, {"Consolas", "Lucida Console"}},
};

QString key(const QString& family) { return family.simplified().toCaseFolded(); }

// Every family fontconfig offers, case-folded; read once per process.
const QSet<QString>& installedFamilies() {
    static QSet<QString> families;
    static std::once_flag once;
    std::call_once(once, [] {
        FcPattern* pattern = FcPatternCreate();
        FcObjectSet* objects = FcObjectSetBuild(FC_FAMILY, nullptr);
        FcFontSet* set = FcFontList(nullptr, pattern, objects);
        for (int i = 0; set && i < set->nfont; ++i) {
            FcChar8* name = nullptr;
            for (int n = 0; FcPatternGetString(set->fonts[i], FC_FAMILY, n, &name) == FcResultMatch;
                 ++n) {
                families.insert(key(QString::fromUtf8(reinterpret_cast<const char*>(name))));
            }
        }
        if (set) FcFontSetDestroy(set);
        FcObjectSetDestroy(objects);
        FcPatternDestroy(pattern);
    });
    return families;
}

QString privateFaceFile(const PrivateFace& face) {
    for (const QString& file : face.files) {
        if (QFileInfo(file).isFile()) return file;
    }
    return {};
}

}  // namespace

const QList<FaceReplacement>& faceReplacements() {
    static const QList<FaceReplacement> table = [] {
        QList<FaceReplacement> all;
        for (const Group& g : kGroups) {
            for (const char* name : g.names) {
                all.append({QString::fromUtf8(name), QString::fromUtf8(g.substitute), g.style});
            }
        }
        return all;
    }();
    return table;
}

const QList<PrivateFace>& privateFaces() {
    static const QList<PrivateFace> faces{
        {QString::fromUtf8(kFang),
         {QStringLiteral("/usr/share/texlive/texmf-dist/fonts/opentype/public/fandol/"
                         "FandolFang-Regular.otf"),
          QStringLiteral("/usr/share/fonts/opentype/fandol/FandolFang-Regular.otf")}},
    };
    return faces;
}

QList<FaceReplacement> usableReplacements() {
    QSet<QString> available = installedFamilies();
    for (const PrivateFace& face : privateFaces()) {
        if (!privateFaceFile(face).isEmpty()) available.insert(key(face.family));
    }
    QList<FaceReplacement> usable;
    for (const FaceReplacement& r : faceReplacements()) {
        if (available.contains(key(r.substitute)) &&
            !installedFamilies().contains(key(r.requested)))
            usable.append(r);
    }
    return usable;
}

bool linkPrivateFaces(const QString& profile) {
    const QString folder = profile + QStringLiteral("/user/fonts");
    if (!QDir().mkpath(folder)) return false;
    // A face removed from the system leaves a dangling link behind.
    const QDir dir(folder);
    for (const QFileInfo& entry : dir.entryInfoList(QDir::System | QDir::Files)) {
        if (entry.isSymLink() && !entry.exists()) QFile::remove(entry.absoluteFilePath());
    }
    for (const PrivateFace& face : privateFaces()) {
        const QString file = privateFaceFile(face);
        if (file.isEmpty()) continue;
        const QString link = dir.filePath(QFileInfo(file).fileName());
        if (QFileInfo(link).symLinkTarget() == file) continue;
        QFile::remove(link);
        if (!QFile::link(file, link)) return false;
    }
    return true;
}

}  // namespace quorv::office
