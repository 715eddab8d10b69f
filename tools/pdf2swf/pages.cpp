#include "pages.h"

#include <poppler-image.h>
#include <poppler-page-renderer.h>
#include <poppler-page.h>

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

#include "pdf2swf.h"
#include "swfwriter.h"

namespace quorv::pdf2swf {

namespace {

// Largest bitmap side the players of a version display, and the pixel budget of a page.
int maxBitmapSide(int version) { return version < 10 ? 2880 : 8191; }
constexpr double kMaxBitmapPixels = 16777215.0;

constexpr double kTwipsPerPoint = 20.0;
constexpr uint16_t kDepth = 1;

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

}  // namespace

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
    swf::writeFileSettings(out, version);

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
    swf::BitmapTools tools;

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

        if (i > 0) swf::removeShape(out, version, static_cast<uint16_t>(shapeId - 2), kDepth);

        if (!swf::writeBitmap(out, compressed, bitmapId, pixels, w, h, stride, tools)) {
            error = "cannot compress page " + std::to_string(i + 1);
            break;
        }
        page.image.reset();

        out.tag(swf::kTagDefineShape,
                swf::rectangleShape(shapeId, bitmapId, page.widthTwips, page.heightTwips,
                                    static_cast<double>(page.widthTwips) / w,
                                    static_cast<double>(page.heightTwips) / h));

        swf::placeShape(out, version, shapeId, kDepth);
        out.tag(swf::kTagShowFrame, std::vector<uint8_t>{});
        if (out.failed()) error = "cannot write the SWF file: " + out.error();
        if (error.empty() && deadline.passed()) error = lateMessage;
    }

    if (error.empty() && !out.finish()) error = "cannot write the SWF file: " + out.error();
    return error.empty();
}

}  // namespace quorv::pdf2swf
