#include "pdf2swf.h"

#include <fcntl.h>
#include <poppler-document.h>
#include <poppler-global.h>
#include <poppler-image.h>
#include <poppler-page-renderer.h>
#include <poppler-page.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <deque>
#include <filesystem>
#include <memory>
#include <mutex>
#include <thread>

#include "swfwriter.h"

namespace quorv::pdf2swf {

namespace {

bool equalsIgnoreCase(const std::string& a, const char* b) {
    const size_t n = std::strlen(b);
    if (a.size() != n) return false;
    for (size_t i = 0; i < n; ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != b[i]) return false;
    }
    return true;
}

// Digits only, so "9x", "-1", " 9" and "" are all refused.
bool parseVersion(const std::string& text, int& version) {
    if (text.empty() || text.size() > 3) return false;
    int v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
    }
    if (v < 1 || v > kMaxFlashVersion) return false;
    version = v;
    return true;
}

// Whole seconds, digits only; 0 turns the limit off.
bool parseTimeout(const std::string& text, double& seconds) {
    if (text.empty() || text.size() > 6) return false;
    int v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
    }
    if (v > kMaxTimeoutSeconds) return false;
    seconds = v;
    return true;
}

std::string inQuotes(const std::string& path) { return "'" + path + "'"; }

}  // namespace

const char* usageText() {
    return "usage: quorv-pdf2swf INPUT.pdf -o OUTPUT.swf -s flashversion=N [-s languagedir=DIR]\n"
           "Renders every page of INPUT.pdf and writes one SWF frame per page.\n"
           "  -o FILE              the SWF file to write\n"
           "  -s flashversion=N    SWF version, 1 to 50 (default 9)\n"
           "  -s languagedir=DIR   accepted; fonts are found through fontconfig\n"
           "  -s timeout=SECONDS   give up after this long, 0 for never (default 600)\n"
           "  -s KEY=VALUE         other settings are accepted and ignored\n"
           "  -h                   show this help\n";
}

ParsedCommandLine parseCommandLine(const std::vector<std::string>& args) {
    ParsedCommandLine result;
    Options& o = result.options;
    bool haveInput = false;
    bool haveOutput = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "-h" || a == "--help") {
            o.help = true;
            return result;
        }
        if (a == "-o" || a == "-s") {
            if (i + 1 >= args.size()) {
                result.error = "option " + a + " needs a value";
                return result;
            }
            const std::string& value = args[++i];
            if (a == "-o") {
                if (value.empty()) {
                    result.error = "option -o needs a file name";
                    return result;
                }
                o.output = value;
                haveOutput = true;
                continue;
            }
            const size_t eq = value.find('=');
            const std::string key = value.substr(0, eq);
            const std::string setting = eq == std::string::npos ? "" : value.substr(eq + 1);
            if (equalsIgnoreCase(key, "flashversion")) {
                if (!parseVersion(setting, o.flashVersion)) {
                    result.error = "flash version " + inQuotes(setting) +
                                   " is not a number from 1 to " + std::to_string(kMaxFlashVersion);
                    return result;
                }
            } else if (equalsIgnoreCase(key, "languagedir")) {
                o.languageDir = setting;
            } else if (equalsIgnoreCase(key, "timeout")) {
                if (!parseTimeout(setting, o.timeoutSeconds)) {
                    result.error = "time limit " + inQuotes(setting) +
                                   " is not a number of seconds from 0 to " +
                                   std::to_string(kMaxTimeoutSeconds);
                    return result;
                }
            }
            continue;
        }
        if (a.size() > 1 && a[0] == '-') {
            result.error = "unknown option " + inQuotes(a);
            return result;
        }
        if (haveInput) {
            result.error = "more than one input file: " + inQuotes(o.input) + " and " + inQuotes(a);
            return result;
        }
        o.input = a;
        haveInput = true;
    }
    if (!haveInput) {
        result.error = "no input file given";
    } else if (!haveOutput) {
        result.error = "no output file given (-o OUTPUT.swf)";
    }
    return result;
}

namespace {

// Largest bitmap side the players of a version display, and the pixel budget of a page.
int maxBitmapSide(int version) { return version < 10 ? 2880 : 8191; }
constexpr double kMaxBitmapPixels = 16777215.0;

constexpr double kTwipsPerPoint = 20.0;
constexpr uint16_t kDepth = 1;
constexpr int kMaxPages = 32767;  // two character ids per page, 16 bits each

using Clock = std::chrono::steady_clock;

class Deadline {
  public:
    explicit Deadline(double seconds)
        : limited_(seconds > 0),
          at_(Clock::now() +
              std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(
                  limited_ ? std::min(seconds, double{kMaxTimeoutSeconds}) : 0))) {}
    bool limited() const { return limited_; }
    bool passed() const { return limited_ && Clock::now() >= at_; }
    Clock::time_point at() const { return at_; }

  private:
    bool limited_;
    Clock::time_point at_;
};

std::string timeLimitMessage(const std::string& input, double seconds) {
    char number[32];
    std::snprintf(number, sizeof number, "%g", seconds);
    return inQuotes(input) + " took longer than the time limit of " + number +
           (seconds == 1 ? " second" : " seconds") + " (-s timeout=SECONDS)";
}

// Ends the process when the deadline passes, wherever the conversion then is: inside the
// PDF library no check of ours runs, and loading or rendering a damaged file can take
// forever. The unfinished file is removed first. The final rename happens under the same
// lock, so the process is never ended after the output has appeared, and an output never
// appears after the process was told to end.
class ProcessStopper {
  public:
    ProcessStopper(const Deadline& deadline, bool enabled, std::string message)
        : message_("quorv-pdf2swf: " + std::move(message) + "\n") {
        if (enabled && deadline.limited()) {
            thread_ = std::thread([this, at = deadline.at()] { watch(at); });
        }
    }
    ProcessStopper(const ProcessStopper&) = delete;
    ProcessStopper& operator=(const ProcessStopper&) = delete;
    ~ProcessStopper() {
        {
            std::lock_guard lock(mutex_);
            finished_ = true;
        }
        cv_.notify_all();
        if (thread_.joinable()) thread_.join();
    }

    // Runs `step` while the process cannot be stopped; `step` names the file that is to be
    // removed if it is stopped later (an empty name once nothing is left to remove).
    template <class Step>
    auto guarded(Step step) {
        std::lock_guard lock(mutex_);
        return step(tempPath_);
    }

  private:
    void watch(Clock::time_point at) {
        std::unique_lock lock(mutex_);
        if (cv_.wait_until(lock, at, [&] { return finished_; })) return;
        if (!tempPath_.empty()) ::unlink(tempPath_.c_str());
        [[maybe_unused]] const ssize_t n = ::write(2, message_.data(), message_.size());
        ::_exit(kExitFailed);  // keeps the lock: no rename can follow
    }

    std::string message_;
    std::mutex mutex_;
    std::condition_variable cv_;
    bool finished_ = false;
    std::string tempPath_;
    std::thread thread_;
};

struct PageSize {
    double widthPt = 0;
    double heightPt = 0;
};

PageSize pageSize(const poppler::page& page) {
    const poppler::rectf box = page.page_rect(poppler::crop_box);
    PageSize s{std::abs(box.width()), std::abs(box.height())};
    const auto o = page.orientation();
    if (o == poppler::page::landscape || o == poppler::page::seascape) {
        std::swap(s.widthPt, s.heightPt);
    }
    return s;
}

int32_t toTwips(double points) {
    return std::max<int32_t>(1, static_cast<int32_t>(std::lround(points * kTwipsPerPoint)));
}

// Resolution for one page: the normal one, lowered only to keep the bitmap within limits.
double pageDpi(const PageSize& s, int version) {
    const double side = maxBitmapSide(version) - 1;
    double dpi = kRenderDpi;
    dpi = std::min(dpi, side * 72.0 / s.widthPt);
    dpi = std::min(dpi, side * 72.0 / s.heightPt);
    const double pixels = (s.widthPt * dpi / 72.0) * (s.heightPt * dpi / 72.0);
    if (pixels > kMaxBitmapPixels * 0.99) dpi *= std::sqrt(kMaxBitmapPixels * 0.99 / pixels);
    return dpi;
}

struct RenderedPage {
    std::unique_ptr<poppler::image> image;  // owned by one thread at a time
    int32_t widthTwips = 0;
    int32_t heightTwips = 0;
    std::string error;
};

// Hands rendered pages from the rendering thread to the writing thread. With at most one
// finished page waiting, memory holds three pages at worst (being rendered, waiting, being
// written) whatever the length of the document, while both threads stay busy.
class PageQueue {
  public:
    bool push(RenderedPage page) {
        std::unique_lock lock(mutex_);
        cv_.wait(lock, [&] { return stopped_ || pages_.empty(); });
        if (stopped_) return false;
        pages_.push_back(std::move(page));
        cv_.notify_all();
        return true;
    }
    RenderedPage pop() {
        std::unique_lock lock(mutex_);
        cv_.wait(lock, [&] { return !pages_.empty(); });
        RenderedPage page = std::move(pages_.front());
        pages_.pop_front();
        cv_.notify_all();
        return page;
    }
    void stop() {
        std::lock_guard lock(mutex_);
        stopped_ = true;
        cv_.notify_all();
    }

  private:
    std::mutex mutex_;
    std::condition_variable cv_;
    std::deque<RenderedPage> pages_;
    bool stopped_ = false;
};

void renderPages(const poppler::document& doc, int version, const Deadline& deadline,
                 const std::string& lateMessage, PageQueue& queue) {
    poppler::page_renderer renderer;
    renderer.set_render_hints(poppler::page_renderer::antialiasing |
                              poppler::page_renderer::text_antialiasing);
    renderer.set_image_format(poppler::image::format_argb32);
    renderer.set_paper_color(0xFFFFFFFFu);
    const int pages = doc.pages();
    for (int i = 0; i < pages; ++i) {
        RenderedPage out;
        std::unique_ptr<poppler::page> page(deadline.passed() ? nullptr : doc.create_page(i));
        if (deadline.passed()) {
            out.error = lateMessage;
        } else if (!page) {
            out.error = "cannot read page " + std::to_string(i + 1);
        } else {
            const PageSize size = pageSize(*page);
            out.widthTwips = toTwips(size.widthPt);
            out.heightTwips = toTwips(size.heightPt);
            const double dpi = pageDpi(size, version);
            auto image =
                std::make_unique<poppler::image>(renderer.render_page(page.get(), dpi, dpi));
            if (!image->is_valid() || image->format() != poppler::image::format_argb32 ||
                image->width() <= 0 || image->height() <= 0) {
                out.error = "cannot render page " + std::to_string(i + 1);
            } else {
                out.image = std::move(image);
            }
        }
        const bool failed = !out.error.empty();
        if (!queue.push(std::move(out)) || failed) return;
    }
}

void silencePoppler(const std::string&, void*) {}

// Path of the unfinished output, removed if the process is told to stop.
std::array<char, 8192> gTempPath{};

void removeTempAndDie(int sig) {
    if (gTempPath[0] != '\0') ::unlink(gTempPath.data());
    std::signal(sig, SIG_DFL);
    std::raise(sig);
}

constexpr std::array<int, 4> kStopSignals{SIGINT, SIGTERM, SIGHUP, SIGPIPE};
// The handlers that were there before, put back afterwards: a program that converts in
// process keeps its own.
std::array<struct sigaction, kStopSignals.size()> gPreviousHandlers{};
bool gGuarded = false;

void guardTempFile(const std::string& path) {
    if (path.size() >= gTempPath.size()) return;
    std::memcpy(gTempPath.data(), path.c_str(), path.size() + 1);
    struct sigaction sa {};
    sa.sa_handler = removeTempAndDie;
    sigemptyset(&sa.sa_mask);
    for (size_t i = 0; i < kStopSignals.size(); ++i) {
        sigaction(kStopSignals[i], &sa, &gPreviousHandlers[i]);
    }
    gGuarded = true;
}

void releaseTempFile() {
    if (gGuarded) {
        for (size_t i = 0; i < kStopSignals.size(); ++i) {
            sigaction(kStopSignals[i], &gPreviousHandlers[i], nullptr);
        }
        gGuarded = false;
    }
    gTempPath[0] = '\0';
}

bool checkInput(const std::string& path, std::string& error) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        error = "cannot read input file " + inQuotes(path) + ": " + std::strerror(errno);
        return false;
    }
    if (S_ISDIR(st.st_mode)) {
        error = "input " + inQuotes(path) + " is a folder, not a PDF file";
        return false;
    }
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = "cannot read input file " + inQuotes(path) + ": " + std::strerror(errno);
        return false;
    }
    ::close(fd);
    return true;
}

// Creates the temporary file beside the output, so the final rename stays on one file system.
int createTempBeside(const std::string& output, std::string& tempPath, std::string& error) {
    struct stat st {};
    if (::stat(output.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
        error = "output " + inQuotes(output) + " is a folder";
        return -1;
    }
    std::string dir = std::filesystem::path(output).parent_path().string();
    if (dir.empty()) dir = ".";
    std::string pattern = dir + "/.quorv-pdf2swf-XXXXXX";
    const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0) {
        const int e = errno;
        if (e == ENOENT) {
            error = "output folder " + inQuotes(dir) + " does not exist";
        } else if (e == ENOTDIR) {
            error = "output folder " + inQuotes(dir) + " is not a folder";
        } else {
            error = "cannot write to output folder " + inQuotes(dir) + ": " + std::strerror(e);
        }
        return -1;
    }
    // mkstemp makes the file private; give it the permissions a plain new file would get.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
    tempPath = pattern;
    return fd;
}

struct BitmapTools {
    swf::ColormapBuilder colormap;
    swf::ZlibBuffer zlib{Z_BEST_SPEED};
    std::vector<uint32_t> scratch;
};

// One DefineBitsLossless tag: colour-mapped when the page has few colours, else 32-bit.
// In a compressed file the file's own compression packs the pixels, so the tag holds them
// in stored blocks; compressing them twice would double the work for a few percent.
bool writeBitmap(swf::SwfFile& out, bool compressed, uint16_t id, const uint32_t* pixels, int w,
                 int h, size_t stride, BitmapTools& tools) {
    std::vector<uint8_t> head;
    swf::putU16(head, id);
    const bool mapped = tools.colormap.build(pixels, w, h, stride);
    swf::putU8(head, mapped ? 3 : 5);
    swf::putU16(head, static_cast<uint16_t>(w));
    swf::putU16(head, static_cast<uint16_t>(h));
    if (mapped) swf::putU8(head, static_cast<uint8_t>(tools.colormap.colors() - 1));

    const auto& table = tools.colormap.table();
    const auto& indices = tools.colormap.indices();
    const uint64_t raw = mapped ? table.size() + indices.size()
                                : static_cast<uint64_t>(w) * static_cast<uint64_t>(h) * 4;
    auto feed = [&](const swf::ByteSink& sink) {
        if (mapped) {
            sink(table.data(), table.size());
            sink(indices.data(), indices.size());
        } else {
            swf::convertPixels(pixels, w, h, stride, tools.scratch, sink);
        }
    };
    if (compressed) {
        out.beginLongTag(swf::kTagDefineBitsLossless,
                         head.size() + swf::StoredZlibWriter::streamSize(raw));
        out.bytes(head.data(), head.size());
        swf::StoredZlibWriter zlib(raw, [&](const uint8_t* d, size_t n) { out.bytes(d, n); });
        feed([&](const uint8_t* d, size_t n) { zlib.write(d, n); });
        zlib.finish();
        return true;
    }
    if (!tools.zlib.begin(static_cast<size_t>(raw))) return false;
    feed([&](const uint8_t* d, size_t n) { tools.zlib.add(d, n); });
    if (!tools.zlib.ok()) return false;
    out.longTag(swf::kTagDefineBitsLossless, head, tools.zlib.data().data(),
                tools.zlib.data().size());
    return true;
}

// Renders on a second thread while this one compresses and writes the previous page.
bool writeSwf(const poppler::document& doc, int version, const Deadline& deadline,
              const std::string& lateMessage, std::FILE* file, std::string& error) {
    const int pages = doc.pages();
    PageSize first;
    {
        std::unique_ptr<poppler::page> page(doc.create_page(0));
        if (!page) {
            error = "cannot read page 1";
            return false;
        }
        first = pageSize(*page);
    }

    const bool compressed = version >= swf::kMinCompressedVersion;
    swf::SwfFile out(file, version, compressed);
    out.header(toTwips(first.widthPt), toTwips(first.heightPt), 1.0, static_cast<uint16_t>(pages));
    if (version >= 8) {
        std::vector<uint8_t> attributes;
        swf::putU32(attributes, 0);
        out.tag(swf::kTagFileAttributes, attributes);
    }
    out.tag(swf::kTagSetBackgroundColor, std::vector<uint8_t>{0xFF, 0xFF, 0xFF});

    PageQueue queue;
    std::thread renderer([&] {
        try {
            renderPages(doc, version, deadline, lateMessage, queue);
        } catch (const std::exception& e) {
            RenderedPage failed;
            failed.error = std::string("cannot render the pages: ") + e.what();
            queue.push(std::move(failed));
        }
    });
    // Whatever way this function is left, the renderer is stopped and waited for.
    struct JoinRenderer {
        PageQueue& queue;
        std::thread& thread;
        ~JoinRenderer() {
            queue.stop();
            thread.join();
        }
    } joinRenderer{queue, renderer};
    BitmapTools tools;

    for (int i = 0; i < pages && error.empty(); ++i) {
        RenderedPage page = queue.pop();
        if (!page.error.empty()) {
            error = page.error;
            break;
        }
        const uint16_t bitmapId = static_cast<uint16_t>(2 * i + 1);
        const uint16_t shapeId = static_cast<uint16_t>(2 * i + 2);
        const poppler::image& img = *page.image;
        const int w = img.width();
        const int h = img.height();
        const auto* pixels = reinterpret_cast<const uint32_t*>(img.const_data());
        const size_t stride = static_cast<size_t>(img.bytes_per_row()) / 4;

        std::vector<uint8_t> body;
        if (i > 0) {
            if (version >= 3) {
                swf::putU16(body, kDepth);
                out.tag(swf::kTagRemoveObject2, body);
            } else {
                swf::putU16(body, static_cast<uint16_t>(shapeId - 2));
                swf::putU16(body, kDepth);
                out.tag(swf::kTagRemoveObject, body);
            }
        }

        if (!writeBitmap(out, compressed, bitmapId, pixels, w, h, stride, tools)) {
            error = "cannot compress page " + std::to_string(i + 1);
            break;
        }
        page.image.reset();

        out.tag(swf::kTagDefineShape,
                swf::rectangleShape(shapeId, bitmapId, page.widthTwips, page.heightTwips,
                                    static_cast<double>(page.widthTwips) / w,
                                    static_cast<double>(page.heightTwips) / h));

        body.clear();
        if (version >= 3) {
            swf::putU8(body, 0x02);  // has character
            swf::putU16(body, kDepth);
            swf::putU16(body, shapeId);
            out.tag(swf::kTagPlaceObject2, body);
        } else {
            swf::putU16(body, shapeId);
            swf::putU16(body, kDepth);
            swf::putU8(body, 0);  // identity matrix
            out.tag(swf::kTagPlaceObject, body);
        }
        out.tag(swf::kTagShowFrame, std::vector<uint8_t>{});
        if (out.failed()) error = "cannot write the SWF file: " + out.error();
        if (error.empty() && deadline.passed()) error = lateMessage;
    }

    if (error.empty() && !out.finish()) error = "cannot write the SWF file: " + out.error();
    return error.empty();
}

}  // namespace

int convert(const Options& options, std::string& error, std::vector<std::string>& notes) {
    int version = options.flashVersion;
    if (version < swf::kMinBitmapVersion) {
        notes.push_back("flash version " + std::to_string(version) +
                        " has no lossless bitmaps; writing version " +
                        std::to_string(swf::kMinBitmapVersion));
        version = swf::kMinBitmapVersion;
    }

    if (!checkInput(options.input, error)) return kExitFailed;
    const Deadline deadline(options.timeoutSeconds);
    const std::string lateMessage = timeLimitMessage(options.input, options.timeoutSeconds);
    ProcessStopper stopper(deadline, options.stopProcessOnTimeout, lateMessage);
    poppler::set_debug_error_function(silencePoppler, nullptr);
    std::unique_ptr<poppler::document> doc(poppler::document::load_from_file(options.input));
    if (deadline.passed()) {
        error = lateMessage;
        return kExitFailed;
    }
    if (!doc) {
        error = inQuotes(options.input) + " is not a PDF file or is damaged";
        return kExitFailed;
    }
    if (doc->is_locked()) {
        error = inQuotes(options.input) + " is encrypted and needs a password";
        return kExitFailed;
    }
    if (doc->pages() <= 0) {
        error = inQuotes(options.input) + " has no pages";
        return kExitFailed;
    }
    if (doc->pages() > kMaxPages) {
        error = inQuotes(options.input) + " has more than " + std::to_string(kMaxPages) +
                " pages, more than one SWF file can hold";
        return kExitFailed;
    }

    // Allocated before the temporary file exists, so that failing here leaves nothing.
    std::vector<char> buffer(1 << 20);
    std::string tempPath;
    const int fd = stopper.guarded([&](std::string& stopRemoves) {
        const int created = createTempBeside(options.output, tempPath, error);
        if (created >= 0) stopRemoves = tempPath;
        return created;
    });
    if (fd < 0) return kExitFailed;
    guardTempFile(tempPath);
    auto discardTemp = [&] {
        stopper.guarded([&](std::string& stopRemoves) {
            ::unlink(tempPath.c_str());
            stopRemoves.clear();
        });
        releaseTempFile();
    };
    std::FILE* file = ::fdopen(fd, "wb");
    if (!file) {
        error = "cannot write " + inQuotes(tempPath) + ": " + std::strerror(errno);
        ::close(fd);
        discardTemp();
        return kExitFailed;
    }
    std::setvbuf(file, buffer.data(), _IOFBF, buffer.size());

    bool ok = false;
    try {
        ok = writeSwf(*doc, version, deadline, lateMessage, file, error);
    } catch (const std::exception& e) {
        error = std::string("conversion failed: ") + e.what();
    }
    if (std::fclose(file) != 0 && ok) {
        error = "cannot write the SWF file: " + std::string(std::strerror(errno));
        ok = false;
    }
    if (ok) {
        ok = stopper.guarded([&](std::string& stopRemoves) {
            if (deadline.passed()) {
                error = lateMessage;
                return false;
            }
            if (std::rename(tempPath.c_str(), options.output.c_str()) != 0) {
                error = "cannot create " + inQuotes(options.output) + ": " + std::strerror(errno);
                return false;
            }
            stopRemoves.clear();
            return true;
        });
    }
    if (ok) {
        releaseTempFile();
    } else {
        discardTemp();
    }
    return ok ? kExitOk : kExitFailed;
}

int runTool(int argc, char** argv) {
    std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    const ParsedCommandLine parsed = parseCommandLine(args);
    if (parsed.options.help) {
        std::fputs(usageText(), stdout);
        return kExitOk;
    }
    if (!parsed.error.empty()) {
        std::fprintf(stderr, "quorv-pdf2swf: %s (try -h)\n", parsed.error.c_str());
        return kExitUsage;
    }
    Options options = parsed.options;
    options.stopProcessOnTimeout = true;
    std::string error;
    std::vector<std::string> notes;
    int status = kExitFailed;
    try {
        status = convert(options, error, notes);
    } catch (const std::exception& e) {
        error = std::string("conversion failed: ") + e.what();
    }
    for (const std::string& note : notes) std::fprintf(stderr, "quorv-pdf2swf: %s\n", note.c_str());
    if (status != kExitOk) std::fprintf(stderr, "quorv-pdf2swf: %s\n", error.c_str());
    return status;
}

}  // namespace quorv::pdf2swf
