// bench_ofd [N]: N mixed documents (default 50) exported to PDF by one soffice run, then
// each PDF turned into OFD by quorv-pdf2ofd. Prints both times and both sizes; last lines
// `size_ratio <OFD bytes / PDF bytes>` and `ratio <quorv-pdf2ofd time / PDF export time>`.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "png.h"

namespace fs = std::filesystem;

namespace {

std::string base64(const std::string& in) {
    static const char* t = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    size_t i = 0;
    for (; i + 2 < in.size(); i += 3) {
        const unsigned v = (static_cast<unsigned char>(in[i]) << 16) |
                           (static_cast<unsigned char>(in[i + 1]) << 8) |
                           static_cast<unsigned char>(in[i + 2]);
        out += {t[v >> 18], t[(v >> 12) & 63], t[(v >> 6) & 63], t[v & 63]};
    }
    if (i + 1 == in.size()) {
        const unsigned v = static_cast<unsigned char>(in[i]) << 16;
        out += {t[v >> 18], t[(v >> 12) & 63], '=', '='};
    } else if (i + 2 == in.size()) {
        const unsigned v = (static_cast<unsigned char>(in[i]) << 16) |
                           (static_cast<unsigned char>(in[i + 1]) << 8);
        out += {t[v >> 18], t[(v >> 12) & 63], t[(v >> 6) & 63], '='};
    }
    return out;
}

std::string photo(int seed) {
    const int w = 240, h = 160;
    std::vector<unsigned char> px(static_cast<size_t>(w) * h * 3);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            unsigned char* p = px.data() + (static_cast<size_t>(y) * w + x) * 3;
            p[0] = static_cast<unsigned char>(128 + 100 * std::sin((x + seed) / 19.0) *
                                                        std::cos(y / 27.0));
            p[1] = static_cast<unsigned char>(120 + 90 * std::sin((x + y + seed) / 37.0));
            p[2] =
                static_cast<unsigned char>(130 + 80 * std::cos(std::hypot(x - 120, y - 80) / 13.0));
        }
    }
    return quorv::pdf2ofd::encodePng(px, w, h, 3);
}

// Four kinds in turn: Chinese prose over three pages, Latin text with a table, a shape
// with Chinese captions, and a photograph.
std::string document(int i) {
    const char* ns =
        "xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
        "xmlns:style=\"urn:oasis:names:tc:opendocument:xmlns:style:1.0\" "
        "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\" "
        "xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\" "
        "xmlns:draw=\"urn:oasis:names:tc:opendocument:xmlns:drawing:1.0\" "
        "xmlns:fo=\"urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0\" "
        "xmlns:svg=\"urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0\" "
        "office:version=\"1.3\" office:mimetype=\"application/vnd.oasis.opendocument.text\"";
    std::string body;
    const std::string n = std::to_string(i);
    switch (i % 4) {
        case 0:
            for (int k = 0; k < 60; ++k) {
                body += "<text:p>第" + std::to_string(k + 1) + "条 文件编号" + n +
                        "：各单位应当按照规定做好电子文件的归档、保管和利用工作，确保其真实、完整、"
                        "可用和安全。</text:p>";
            }
            break;
        case 1:
            body +=
                "<text:p>Report " + n + ". The quick brown fox jumps over the lazy dog.</text:p>";
            body +=
                "<table:table table:name=\"T\"><table:table-column "
                "table:number-columns-repeated=\"4\"/>";
            for (int r = 0; r < 12; ++r) {
                body += "<table:table-row>";
                for (int c = 0; c < 4; ++c) {
                    body +=
                        "<table:table-cell table:style-name=\"Cell\" "
                        "office:value-type=\"string\"><text:p>项目 " +
                        std::to_string(r) + "." + std::to_string(c) +
                        "</text:p></table:table-cell>";
                }
                body += "</table:table-row>";
            }
            body += "</table:table>";
            break;
        case 2:
            body +=
                "<text:p>图形说明 " + n +
                "<draw:custom-shape draw:style-name=\"Shape\" svg:width=\"6cm\" svg:height=\"3cm\" "
                "text:anchor-type=\"as-char\"><draw:enhanced-geometry svg:viewBox=\"0 0 21600 "
                "21600\" "
                "draw:type=\"ellipse\"/></draw:custom-shape></text:p><text:p>以上为示意图。</"
                "text:p>";
            break;
        default:
            body += "<text:p>照片 " + n +
                    "</text:p><text:p><draw:frame svg:width=\"9cm\" svg:height=\"6cm\" "
                    "text:anchor-type=\"as-char\">"
                    "<draw:image><office:binary-data>" +
                    base64(photo(i)) + "</office:binary-data></draw:image></draw:frame></text:p>";
    }
    return std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?><office:document ") + ns +
           "><office:automatic-styles><style:style style:name=\"Cell\" style:family=\"table-cell\">"
           "<style:table-cell-properties fo:border=\"0.05cm solid #000000\"/></style:style>"
           "<style:style style:name=\"Shape\" style:family=\"graphic\"><style:graphic-properties "
           "draw:fill=\"solid\" "
           "draw:fill-color=\"#3c78d8\"/></style:style></office:automatic-styles>"
           "<office:body><office:text>" +
           body + "</office:text></office:body></office:document>";
}

double seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

uintmax_t totalSize(const fs::path& dir, const std::string& ext) {
    uintmax_t sum = 0;
    for (const auto& e : fs::directory_iterator(dir)) {
        if (e.path().extension() == ext) sum += e.file_size();
    }
    return sum;
}

}  // namespace

int main(int argc, char** argv) {
    const int n = argc > 1 ? std::max(1, std::atoi(argv[1])) : 50;
    const fs::path dir = fs::temp_directory_path() / ("bench_ofd-" + std::to_string(::getpid()));
    fs::create_directories(dir / "src");
    fs::create_directories(dir / "pdf");
    fs::create_directories(dir / "ofd");
    std::string files;
    for (int i = 0; i < n; ++i) {
        const fs::path p = dir / "src" / ("doc" + std::to_string(i) + ".fodt");
        std::ofstream(p) << document(i);
        files += " '" + p.string() + "'";
    }
    const std::string profile = "file://" + (dir / "profile").string();
    // One start of the office before timing, as a warm office service would have.
    std::system(("soffice -env:UserInstallation=" + profile +
                 " --headless --terminate_after_init >/dev/null 2>&1")
                    .c_str());

    auto start = std::chrono::steady_clock::now();
    std::system(("soffice -env:UserInstallation=" + profile +
                 " --headless --convert-to pdf --outdir '" + (dir / "pdf").string() + "'" + files +
                 " >/dev/null 2>&1")
                    .c_str());
    const double pdfTime = seconds(start);

    start = std::chrono::steady_clock::now();
    int failed = 0;
    for (int i = 0; i < n; ++i) {
        const std::string name = "doc" + std::to_string(i);
        const std::string cmd = std::string(QUORV_PDF2OFD_PATH) + " '" +
                                (dir / "pdf" / (name + ".pdf")).string() + "' -o '" +
                                (dir / "ofd" / (name + ".ofd")).string() + "' 2>/dev/null";
        if (std::system(cmd.c_str()) != 0) ++failed;
    }
    const double ofdTime = seconds(start);

    const uintmax_t pdfBytes = totalSize(dir / "pdf", ".pdf");
    const uintmax_t ofdBytes = totalSize(dir / "ofd", ".ofd");
    std::printf("documents %d\n", n);
    std::printf("pdf_export_seconds %.3f\n", pdfTime);
    std::printf("pdf2ofd_seconds %.3f\n", ofdTime);
    std::printf("pdf2ofd_failed %d\n", failed);
    std::printf("pdf_bytes %ju\n", pdfBytes);
    std::printf("ofd_bytes %ju\n", ofdBytes);
    std::printf("size_ratio %.3f\n", pdfBytes ? static_cast<double>(ofdBytes) / pdfBytes : 0.0);
    std::printf("ratio %.3f\n", pdfTime > 0 ? ofdTime / pdfTime : 0.0);
    fs::remove_all(dir);
    return failed == 0 ? 0 : 1;
}
