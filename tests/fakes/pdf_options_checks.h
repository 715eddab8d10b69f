#pragma once

// Compares two PdfOptions field by field, so that a failure names the choice that was lost
// on its way through a file, a window or a request.

#include "core/pdfoptions.h"
#include "fakes/qt_print.h"
#include "gtest/gtest.h"

namespace quorv::testing {

inline void expectSamePdfOptions(const PdfOptions& got, const PdfOptions& want) {
    EXPECT_EQ(got.protection.openPassword, want.protection.openPassword);
    EXPECT_EQ(got.protection.permissionsPassword, want.protection.permissionsPassword);
    EXPECT_EQ(got.protection.noPrint, want.protection.noPrint);
    EXPECT_EQ(got.protection.noCopy, want.protection.noCopy);
    EXPECT_EQ(got.protection.noChange, want.protection.noChange);
    EXPECT_EQ(got.watermark.text, want.watermark.text);
    EXPECT_EQ(got.watermark.size, want.watermark.size);
    EXPECT_EQ(got.watermark.opacity, want.watermark.opacity);
    EXPECT_EQ(got.watermark.tiled, want.watermark.tiled);
    EXPECT_EQ(got.merge.on, want.merge.on);
    EXPECT_EQ(got.merge.fileName, want.merge.fileName);
    EXPECT_EQ(got.merge.keepParts, want.merge.keepParts);
}

}  // namespace quorv::testing
