// quorv-pdf2ofd on PDFs written here byte by byte: what lands in the package, and what
// bad input gives. How the pages look is judged by an independent reader elsewhere.
#include <GlobalParams.h>
#include <PDFDoc.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "fonts.h"
#include "package.h"
#include "pagewriter.h"
#include "pdf2ofd.h"

namespace fs = std::filesystem;
using namespace quorv::pdf2ofd;

namespace {

// A PDF of `objects`, numbered from 1: the first is the catalog, `info` (0: none) the
// document information.
std::string buildPdf(const std::vector<std::string>& objects, int info = 0) {
    std::string pdf = "%PDF-1.4\n";
    std::vector<size_t> offsets;
    for (size_t i = 0; i < objects.size(); ++i) {
        offsets.push_back(pdf.size());
        pdf += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
    }
    const size_t xref = pdf.size();
    pdf += "xref\n0 " + std::to_string(objects.size() + 1) + "\n0000000000 65535 f \n";
    for (size_t o : offsets) {
        char line[32];
        std::snprintf(line, sizeof line, "%010zu 00000 n \n", o);
        pdf += line;
    }
    pdf += "trailer\n<< /Size " + std::to_string(objects.size() + 1) + " /Root 1 0 R" +
           (info ? " /Info " + std::to_string(info) + " 0 R" : "") + " >>\nstartxref\n" +
           std::to_string(xref) + "\n%%EOF\n";
    return pdf;
}

std::string stream(const std::string& dict, const std::string& data) {
    return "<< " + dict + " /Length " + std::to_string(data.size()) + " >>\nstream\n" + data +
           "\nendstream";
}

// A PDF with one A4 page: a red square, "Hello OFD" in Helvetica, a bookmark and its
// title and author.
std::string makePdf() {
    const std::string content =
        "1 0 0 rg 100 600 50 50 re f 0 0 1 RG 2 w [6 3] 0 d 100 500 m 300 500 l S "
        "BT /F1 24 Tf 72 720 Td (Hello OFD) Tj ET";
    return buildPdf(
        {
            "<< /Type /Catalog /Pages 2 0 R /Outlines 6 0 R >>",
            "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
            "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595.276 841.89] /Contents 4 0 R "
            "/Resources << /Font << /F1 5 0 R >> >> >>",
            stream("", content),
            "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>",
            "<< /Type /Outlines /First 7 0 R /Last 7 0 R /Count 1 >>",
            "<< /Title (Greeting) /Parent 6 0 R /Dest [3 0 R /XYZ 0 720 0] >>",
            "<< /Title (Sample) /Author (Li Si) /CreationDate (D:20240315102030+08'00') >>",
        },
        8);
}

// A one-page PDF drawing `content` with the resources `resources`, and `extra` objects
// from number 5 on.
std::string pagePdf(const std::string& content, const std::string& resources = "<< >>",
                    const std::vector<std::string>& extra = {}) {
    std::vector<std::string> objects = {
        "<< /Type /Catalog /Pages 2 0 R >>",
        "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] /Contents 4 0 R /Resources " +
            resources + " >>",
        stream("", content),
    };
    objects.insert(objects.end(), extra.begin(), extra.end());
    return buildPdf(objects);
}

// The members of a ZIP file, inflated.
std::map<std::string, std::string> unzip(const std::string& zip) {
    std::map<std::string, std::string> files;
    size_t at = 0;
    auto u16 = [&](size_t p) {
        return static_cast<unsigned>(static_cast<unsigned char>(zip[p]) |
                                     (static_cast<unsigned char>(zip[p + 1]) << 8));
    };
    auto u32 = [&](size_t p) { return u16(p) | (u16(p + 2) << 16); };
    while (at + 30 <= zip.size() && u32(at) == 0x04034b50) {
        const unsigned method = u16(at + 8), packed = u32(at + 18), size = u32(at + 22);
        const unsigned nameLength = u16(at + 26), extra = u16(at + 28);
        const std::string name = zip.substr(at + 30, nameLength);
        const std::string body = zip.substr(at + 30 + nameLength + extra, packed);
        std::string data(size, '\0');
        if (method == 8) {
            z_stream zs{};
            inflateInit2(&zs, -15);
            zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(body.data()));
            zs.avail_in = static_cast<uInt>(body.size());
            zs.next_out = reinterpret_cast<Bytef*>(data.data());
            zs.avail_out = size;
            inflate(&zs, Z_FINISH);
            inflateEnd(&zs);
        } else {
            data = body;
        }
        files[name] = data;
        at += 30 + nameLength + extra + packed;
    }
    return files;
}

std::string readFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void writeFile(const fs::path& p, const std::string& data) {
    std::ofstream(p, std::ios::binary) << data;
}

class Pdf2Ofd : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("pdf2ofd-test-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        // Where the tool remembers faces: here, not in the user's home.
        ::setenv("XDG_CACHE_HOME", (dir_ / "cache").c_str(), 1);
    }
    void TearDown() override { fs::remove_all(dir_); }

    int run(const fs::path& in, const fs::path& out, std::string& error) {
        Options o;
        o.input = in.string();
        o.output = out.string();
        std::vector<std::string> notes;
        return convert(o, error, notes);
    }
    // The folder holds exactly `names`: no output and no leftover temporary file.
    void expectOnly(std::set<std::string> names) {
        std::set<std::string> found;
        for (const auto& e : fs::directory_iterator(dir_))
            found.insert(e.path().filename().string());
        EXPECT_EQ(found, names);
    }
    fs::path dir_;
};

TEST_F(Pdf2Ofd, PackageCarriesPageTextPathsOutlineAndInformation) {
    writeFile(dir_ / "in.pdf", makePdf());
    std::string error;
    ASSERT_EQ(run(dir_ / "in.pdf", dir_ / "out.ofd", error), kExitOk) << error;
    auto files = unzip(readFile(dir_ / "out.ofd"));
    ASSERT_TRUE(files.count("OFD.xml"));
    const std::string& ofd = files["OFD.xml"];
    EXPECT_NE(ofd.find("<ofd:DocRoot>Doc_0/Document.xml</ofd:DocRoot>"), std::string::npos);
    EXPECT_NE(ofd.find("<ofd:Title>Sample</ofd:Title>"), std::string::npos);
    EXPECT_NE(ofd.find("<ofd:Author>Li Si</ofd:Author>"), std::string::npos);
    EXPECT_NE(ofd.find("<ofd:CreationDate>2024-03-15</ofd:CreationDate>"), std::string::npos);

    const std::string& doc = files["Doc_0/Document.xml"];
    EXPECT_NE(doc.find("<ofd:PhysicalBox>0 0 210 297</ofd:PhysicalBox>"), std::string::npos) << doc;
    EXPECT_NE(doc.find("BaseLoc=\"Pages/Page_0/Content.xml\""), std::string::npos);
    EXPECT_NE(doc.find("<ofd:OutlineElem Title=\"Greeting\">"), std::string::npos) << doc;
    EXPECT_NE(doc.find("Type=\"XYZ\""), std::string::npos);

    const std::string& page = files["Doc_0/Pages/Page_0/Content.xml"];
    // Nine characters, eight steps between them; the space stays inside the run.
    EXPECT_NE(page.find(">Hello OFD</ofd:TextCode>"), std::string::npos) << page;
    const size_t delta = page.find("DeltaX=\"");
    ASSERT_NE(delta, std::string::npos);
    const std::string deltas = page.substr(delta + 8, page.find('"', delta + 8) - delta - 8);
    EXPECT_EQ(std::count(deltas.begin(), deltas.end(), ' '), 7) << deltas;
    // The square: filled red, 50 pt = 17.639 mm wide, 100 pt from the left edge.
    EXPECT_NE(page.find("Boundary=\"35.278 "), std::string::npos) << page;
    EXPECT_NE(page.find("<ofd:FillColor Value=\"255 0 0\"/>"), std::string::npos);
    // The dashed blue line keeps its width and dashes, in millimetres.
    EXPECT_NE(page.find("LineWidth=\"0.706\""), std::string::npos);
    EXPECT_NE(page.find("DashPattern=\"2.117 1.058\""), std::string::npos);
    EXPECT_NE(page.find("<ofd:StrokeColor Value=\"0 0 255\"/>"), std::string::npos);

    // Helvetica is drawn in the face fontconfig gives for it, and that face is embedded.
    const std::string& res = files["Doc_0/PublicRes.xml"];
    EXPECT_NE(res.find("FontName=\"Helvetica\""), std::string::npos) << res;
    const size_t file = res.find("<ofd:FontFile>");
    ASSERT_NE(file, std::string::npos) << res;
    const std::string fontName = res.substr(file + 14, res.find('<', file + 14) - file - 14);
    const std::string& font = files["Doc_0/Res/" + fontName];
    ASSERT_GT(font.size(), 100u);
    EXPECT_TRUE(font.compare(0, 4, std::string("\0\1\0\0", 4)) == 0 ||
                font.compare(0, 4, "OTTO") == 0 || font.compare(0, 4, "true") == 0);
}

TEST_F(Pdf2Ofd, BadInputGivesReasonAndNoFile) {
    const std::string good = makePdf();
    writeFile(dir_ / "text.pdf", "This is not a PDF at all.\n");
    writeFile(dir_ / "cut.pdf", good.substr(0, good.size() / 2));
    writeFile(dir_ / "good.pdf", good);
    ASSERT_EQ(std::system(("qpdf --encrypt secret owner 256 -- '" + (dir_ / "good.pdf").string() +
                           "' '" + (dir_ / "locked.pdf").string() + "'")
                              .c_str()),
              0);
    struct Case {
        const char* file;
        const char* reason;
    };
    for (const Case& c :
         {Case{"text.pdf", "is not a PDF file or is damaged"}, Case{"cut.pdf", "damaged"},
          Case{"locked.pdf", "needs a password"}, Case{"missing.pdf", "cannot read input file"}}) {
        std::string error;
        EXPECT_EQ(run(dir_ / c.file, dir_ / "out.ofd", error), kExitFailed) << c.file;
        EXPECT_NE(error.find(c.reason), std::string::npos) << c.file << ": " << error;
    }
    expectOnly({"text.pdf", "cut.pdf", "good.pdf", "locked.pdf"});
}

TEST_F(Pdf2Ofd, FailedConversionLeavesAnEarlierOutputAlone) {
    writeFile(dir_ / "text.pdf", "%PDF-1.4 broken");
    writeFile(dir_ / "out.ofd", "earlier");
    std::string error;
    EXPECT_EQ(run(dir_ / "text.pdf", dir_ / "out.ofd", error), kExitFailed);
    EXPECT_EQ(readFile(dir_ / "out.ofd"), "earlier");
}

constexpr const char* kLiberation = "/usr/share/fonts/truetype/liberation/";

TEST_F(Pdf2Ofd, FaceFoundInAFolderByItsNameWhateverTheFileIsCalled) {
    if (!fs::exists(std::string(kLiberation) + "LiberationSerif-Bold.ttf")) GTEST_SKIP();
    fs::create_directories(dir_ / "fonts");
    fs::copy_file(std::string(kLiberation) + "LiberationSerif-Regular.ttf", dir_ / "fonts/a.ttf");
    fs::copy_file(std::string(kLiberation) + "LiberationSerif-Bold.ttf", dir_ / "fonts/b.TTF");
    // Files that are not fonts, or are damaged, are passed over.
    writeFile(dir_ / "fonts/broken.otf", "OTTO and nothing more");
    writeFile(dir_ / "fonts/readme.txt", "LiberationSerif-Bold");
    const std::vector<std::string> folders = {(dir_ / "absent").string(),
                                              (dir_ / "fonts").string()};

    FaceFile face;
    ASSERT_TRUE(findInFolders("LiberationSerif-Bold", folders, face));
    EXPECT_EQ(face.path, (dir_ / "fonts/b.TTF").string());
    EXPECT_EQ(face.family, "Liberation Serif");
    EXPECT_TRUE(face.bold);
    EXPECT_FALSE(face.italic);
    ASSERT_TRUE(findInFolders("LiberationSerif", folders, face));
    EXPECT_EQ(face.path, (dir_ / "fonts/a.ttf").string());
    EXPECT_FALSE(face.bold);
    EXPECT_FALSE(findInFolders("LiberationSerif-Italic", folders, face));
    EXPECT_FALSE(findInFolders("", folders, face));
    // What a subset of a face found so holds: a font file a reader can load.
    EXPECT_EQ(subsetFace(face.path, face.index, {'O', 'F', 'D'}).compare(0, 4, "\0\1\0\0", 4), 0);
}

// A page showing `text` in a TrueType font named `baseFont` that carries Liberation Serif.
std::string embeddedFontPdf(const std::string& baseFont, const std::string& text) {
    const std::string program = readFile(std::string(kLiberation) + "LiberationSerif-Regular.ttf");
    std::string widths;
    for (int c = 32; c <= 126; ++c) widths += " 500";
    return pagePdf("BT /F1 12 Tf 20 100 Td (" + text + ") Tj ET", "<< /Font << /F1 5 0 R >> >>",
                   {"<< /Type /Font /Subtype /TrueType /BaseFont /" + baseFont +
                        " /FirstChar 32 /LastChar 126 /Widths [" + widths +
                        "] /Encoding /WinAnsiEncoding /FontDescriptor 6 0 R >>",
                    "<< /Type /FontDescriptor /FontName /" + baseFont +
                        " /Flags 32 /FontBBox [0 -200 1000 900] /ItalicAngle 0 /Ascent 900 "
                        "/Descent -200 /CapHeight 700 /StemV 80 /FontFile2 7 0 R >>",
                    stream("/Length1 " + std::to_string(program.size()), program)});
}

// A document drawn in a face this system does not have still converts: the package
// names the face without a file (readers draw the text in one of their own), and the
// text stays.
TEST_F(Pdf2Ofd, FaceThatIsNotInstalledIsNamedAndItsTextKept) {
    if (!fs::exists(std::string(kLiberation) + "LiberationSerif-Regular.ttf")) GTEST_SKIP();
    writeFile(dir_ / "in.pdf", embeddedFontPdf("ABCDEF+QuorvNotInstalled-Regular", "Missing face"));
    Options o;
    o.input = (dir_ / "in.pdf").string();
    o.output = (dir_ / "out.ofd").string();
    std::string error;
    std::vector<std::string> notes;
    ASSERT_EQ(convert(o, error, notes), kExitOk) << error;
    auto files = unzip(readFile(dir_ / "out.ofd"));
    const std::string& res = files["Doc_0/PublicRes.xml"];
    const size_t font = res.find("FontName=\"QuorvNotInstalled-Regular\"");
    ASSERT_NE(font, std::string::npos) << res;
    EXPECT_EQ(res.substr(font, res.find("</ofd:Font>", font) - font).find("FontFile"),
              std::string::npos)
        << res;
    EXPECT_NE(files["Doc_0/Pages/Page_0/Content.xml"].find(">Missing face<"), std::string::npos);
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_NE(notes[0].find("QuorvNotInstalled-Regular"), std::string::npos);
}

// The face a font resource is given, as PublicRes.xml says it.
std::string fontEntry(const fs::path& ofd, const std::string& fontName) {
    const std::string res = unzip(readFile(ofd))["Doc_0/PublicRes.xml"];
    const size_t at = res.find("FontName=\"" + fontName + "\"");
    return at == std::string::npos ? "" : res.substr(at, res.find("</ofd:Font>", at) - at);
}

TEST_F(Pdf2Ofd, FacesFoundAreRememberedWhileTheirFilesStayUnchanged) {
    const std::string regular = std::string(kLiberation) + "LiberationSerif-Regular.ttf";
    if (!fs::exists(std::string(kLiberation) + "LiberationSerif-Bold.ttf")) GTEST_SKIP();
    writeFile(dir_ / "in.pdf", embeddedFontPdf("ABCDEF+LiberationSerif", "Cached"));
    const fs::path cache = dir_ / "cache/quorvane/pdf2ofd-faces";
    std::string error;
    ASSERT_EQ(run(dir_ / "in.pdf", dir_ / "out.ofd", error), kExitOk) << error;
    EXPECT_NE(
        fontEntry(dir_ / "out.ofd", "LiberationSerif").find("FamilyName=\"Liberation Serif\""),
        std::string::npos);
    EXPECT_EQ(readFile(cache).find("LiberationSerif\t" + regular + "\t0\t0\t0\t"), 0u)
        << readFile(cache);

    // An entry for a file as it is now is taken as it stands, without asking fontconfig.
    fs::copy_file(std::string(kLiberation) + "LiberationSerif-Bold.ttf", dir_ / "b.ttf");
    struct stat st {};
    ASSERT_EQ(::stat((dir_ / "b.ttf").c_str(), &st), 0);
    const long long mtime = st.st_mtim.tv_sec * 1000000000LL + st.st_mtim.tv_nsec;
    writeFile(cache, "damaged line\nLiberationSerif\t" + (dir_ / "b.ttf").string() + "\t0\t1\t0\t" +
                         std::to_string(st.st_size) + "\t" + std::to_string(mtime) +
                         "\tRemembered\n");
    ASSERT_EQ(run(dir_ / "in.pdf", dir_ / "out.ofd", error), kExitOk) << error;
    const std::string remembered = fontEntry(dir_ / "out.ofd", "LiberationSerif");
    EXPECT_NE(remembered.find("FamilyName=\"Remembered\" Bold=\"true\""), std::string::npos)
        << remembered;
    EXPECT_NE(remembered.find("<ofd:FontFile>"), std::string::npos);

    // A file changed since is looked up again, and the entry renewed.
    writeFile(dir_ / "b.ttf", "replaced");
    ASSERT_EQ(run(dir_ / "in.pdf", dir_ / "out.ofd", error), kExitOk) << error;
    EXPECT_NE(
        fontEntry(dir_ / "out.ofd", "LiberationSerif").find("FamilyName=\"Liberation Serif\""),
        std::string::npos);
    EXPECT_EQ(readFile(cache).find("LiberationSerif\t" + regular), 0u) << readFile(cache);
}

size_t count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

// Files made to exhaust a converter: what they cost must grow with their size, not faster.
TEST_F(Pdf2Ofd, DeeplyNestedClipsAndSavesStayCheap) {
    std::string content;
    for (int i = 0; i < 2000; ++i) content += "q 0 0 m 200 0 l 100 200 l h W n ";
    for (int i = 0; i < 2000; ++i) content += "10 10 5 5 re f ";
    for (int i = 0; i < 50000; ++i) content += "q ";
    content += "20 20 5 5 re f";
    writeFile(dir_ / "in.pdf", pagePdf(content));
    std::string error;
    ASSERT_EQ(run(dir_ / "in.pdf", dir_ / "out.ofd", error), kExitOk) << error;
    const std::string page = unzip(readFile(dir_ / "out.ofd"))["Doc_0/Pages/Page_0/Content.xml"];
    EXPECT_EQ(count(page, "<ofd:PathObject "), 2001u);
    // Each square keeps the innermost triangles that shape it, not all two thousand.
    EXPECT_LE(count(page, "<ofd:Clip>"), 2001u * 16);
    EXPECT_GE(count(page, "<ofd:Clip>"), 2001u);
}

TEST_F(Pdf2Ofd, FormsThatRepeatFormsStopAtTheContentLimit) {
    // A hundred uses of a form that uses a form a hundred times that fills a hundred
    // squares: a million path objects from a file of a few kilobytes.
    std::string fills, uses, page;
    for (int i = 0; i < 100; ++i) {
        fills += "0 0 1 1 re f ";
        uses += "/X0 Do ";
        page += "/X1 Do ";
    }
    const std::string form = "/Type /XObject /Subtype /Form /BBox [0 0 200 200]";
    writeFile(dir_ / "in.pdf",
              pagePdf(page, "<< /XObject << /X1 6 0 R >> >>",
                      {stream(form, fills),
                       stream(form + " /Resources << /XObject << /X0 5 0 R >> >>", uses)}));
    if (!globalParams) globalParams = std::make_unique<GlobalParams>();
    PDFDoc doc(std::make_unique<GooString>((dir_ / "in.pdf").string()));
    ASSERT_TRUE(doc.isOk());
    Package package;
    FontTable fonts(package);
    PageWriter writer(doc, package, fonts, 1 << 20);
    writer.addPage(1);
    EXPECT_TRUE(writer.tooLarge());
    ASSERT_EQ(package.pages.size(), 1u);
    // Drawing stopped soon after the limit, not after a million squares.
    EXPECT_LT(package.pages[0].objects.size(), size_t{4} << 20);
    EXPECT_GT(package.pages[0].objects.size(), size_t{1} << 20);
}

TEST(Pdf2OfdCommandLine, OptionsAndMistakes) {
    auto p = parseCommandLine({"in.pdf", "-o", "out.ofd", "-s", "timeout=30"});
    EXPECT_EQ(p.error, "");
    EXPECT_EQ(p.options.input, "in.pdf");
    EXPECT_EQ(p.options.output, "out.ofd");
    EXPECT_EQ(p.options.timeoutSeconds, 30);
    EXPECT_EQ(parseCommandLine({"in.pdf"}).error, "no output file given (-o OUTPUT.ofd)");
    EXPECT_NE(parseCommandLine({"in.pdf", "-o", "x", "-s", "timeout=-1"}).error, "");
    EXPECT_NE(parseCommandLine({"in.pdf", "-o", "x", "-s", "flashversion=9"}).error, "");
    EXPECT_NE(parseCommandLine({"a.pdf", "b.pdf", "-o", "x"}).error, "");
    EXPECT_TRUE(parseCommandLine({"-h"}).options.help);
}

TEST(Pdf2OfdProgram, ExitStatusAndMessage) {
    const fs::path out =
        fs::temp_directory_path() / ("pdf2ofd-none-" + std::to_string(::getpid()) + ".ofd");
    const std::string cmd =
        std::string(QUORV_PDF2OFD_PATH) + " /nonexistent.pdf -o '" + out.string() + "' 2>/dev/null";
    const int status = std::system(cmd.c_str());
    EXPECT_EQ(WEXITSTATUS(status), kExitFailed);
    EXPECT_FALSE(fs::exists(out));
}

}  // namespace
