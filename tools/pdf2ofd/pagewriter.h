#pragma once

// One PDF page as OFD page content, drawn by the PDF library into an output device that
// writes OFD objects instead of pixels: glyphs become text objects, painted paths become
// path objects and images become image objects, in the order the page paints them.

#include <cstddef>
#include <functional>
#include <map>
#include <string>
#include <vector>

class PDFDoc;

namespace quorv::pdf2ofd {

struct Package;
class FontTable;

class PageWriter {
  public:
    PageWriter(PDFDoc& doc, Package& package, FontTable& fonts, size_t limit = kContentLimit);
    ~PageWriter();
    PageWriter(const PageWriter&) = delete;
    PageWriter& operator=(const PageWriter&) = delete;

    // Appends page `pageNumber` (from 1) to the package. `stop` is asked now and then
    // while the page is drawn; when it says so the page is left unfinished.
    void addPage(int pageNumber, const std::function<bool()>& stop = {});

    static constexpr size_t kContentLimit = size_t{1} << 30;
    // Whether the page content and pictures gathered so far passed `limit` bytes. A few
    // hundred bytes of PDF can repeat a drawing without end (forms that use forms); the
    // package is held in memory, so such a file must stop rather than fill it.
    bool tooLarge() const;

    // Characters the PDF shows without saying which Unicode characters they are.
    int unmappedGlyphs() const;

  private:
    class Device;
    PDFDoc& doc_;
    Package& package_;
    Device* device_;
    size_t limit_;
};

}  // namespace quorv::pdf2ofd
