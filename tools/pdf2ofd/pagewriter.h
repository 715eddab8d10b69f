#pragma once

// One PDF page as OFD page content, drawn by the PDF library into an output device that
// writes OFD objects instead of pixels: glyphs become text objects, painted paths become
// path objects and images become image objects, in the order the page paints them.

#include <map>
#include <string>
#include <vector>

class PDFDoc;

namespace quorv::pdf2ofd {

struct Package;
class FontTable;

class PageWriter {
  public:
    PageWriter(PDFDoc& doc, Package& package, FontTable& fonts);
    ~PageWriter();
    PageWriter(const PageWriter&) = delete;
    PageWriter& operator=(const PageWriter&) = delete;

    // Appends page `pageNumber` (from 1) to the package.
    void addPage(int pageNumber);

    // Characters the PDF shows without saying which Unicode characters they are.
    int unmappedGlyphs() const;

  private:
    class Device;
    PDFDoc& doc_;
    Package& package_;
    Device* device_;
};

}  // namespace quorv::pdf2ofd
