#pragma once

// A text watermark over every page of a PDF. The text is drawn as the outlines of the Hei
// face's glyphs, shaped for Simplified Chinese: a viewer needs no font for it, and search
// and copy never see it, so the document's own text reads back exactly as before.

#include <QString>

#include "core/pdfoptions.h"

class QPDF;

namespace quorv::pdf {

// The family the watermark is drawn in.
QString watermarkFamily();

// Stamps `wm` on every page of `doc` (nothing when its text is blank), upright as the page
// is shown, centred; tiled on a diagonal grid or once across the middle, shrunk to fit the
// page when it would not. False with the reason in *error when the face is missing.
bool stampWatermark(QPDF& doc, const PdfWatermark& wm, QString* error);

}  // namespace quorv::pdf
