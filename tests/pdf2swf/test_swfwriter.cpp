#include <cstdint>
#include <vector>

#include "gtest/gtest.h"
#include "pdf2swf.h"
#include "swfreader.h"
#include "swfwriter.h"

namespace quorv {
namespace {

TEST(StoredZlib, StreamHasTheAnnouncedSizeAndInflatesToTheInput) {
    for (size_t size : {size_t{0}, size_t{1}, size_t{65535}, size_t{65536}, size_t{200003}}) {
        std::vector<uint8_t> input(size);
        for (size_t i = 0; i < size; ++i) input[i] = static_cast<uint8_t>(i * 7 + i / 300);
        std::vector<uint8_t> stream;
        swf::StoredZlibWriter writer(
            size, [&](const uint8_t* d, size_t n) { stream.insert(stream.end(), d, d + n); });
        // Uneven pieces, so block boundaries fall inside writes.
        for (size_t pos = 0; pos < size;) {
            const size_t n = std::min<size_t>(size - pos, 40000);
            writer.write(input.data() + pos, n);
            pos += n;
        }
        writer.finish();
        EXPECT_EQ(stream.size(), swf::StoredZlibWriter::streamSize(size)) << size;
        std::vector<uint8_t> back;
        ASSERT_TRUE(testing::inflateAll(stream.data(), stream.size(), back)) << size;
        EXPECT_EQ(back, input) << size;
    }
}

TEST(ZlibBuffer, PixelsBecomeReservedRedGreenBlueBytes) {
    // Rows wider than the data, as a renderer with padded rows would hand them over.
    const std::vector<uint32_t> pixels = {0xFFFF0000u, 0xFF00FF00u, 0xDEADBEEFu,
                                          0xFF0000FFu, 0xFF123456u, 0xDEADBEEFu};
    swf::ZlibBuffer encoder(1);
    ASSERT_TRUE(encoder.encode(pixels.data(), 2, 2, 3));
    std::vector<uint8_t> back;
    ASSERT_TRUE(testing::inflateAll(encoder.data().data(), encoder.data().size(), back));
    const std::vector<uint8_t> expected = {0, 0xFF, 0, 0,    0, 0,    0xFF, 0,
                                           0, 0,    0, 0xFF, 0, 0x12, 0x34, 0x56};
    EXPECT_EQ(back, expected);
}

TEST(Colormap, IndexesEveryColourAndPadsRows) {
    // Alpha is ignored: the page is opaque and the table holds red, green, blue only.
    const std::vector<uint32_t> pixels = {0xFFFFFFFFu, 0xFF000000u, 0x00FFFFFFu, 0u,
                                          0xFF808080u, 0xFFFFFFFFu, 0xFF000000u, 0u};
    swf::ColormapBuilder map;
    ASSERT_TRUE(map.build(pixels.data(), 3, 2, 4));
    ASSERT_EQ(map.colors(), 3);
    EXPECT_EQ(map.table(), (std::vector<uint8_t>{255, 255, 255, 0, 0, 0, 128, 128, 128}));
    EXPECT_EQ(map.indices(), (std::vector<uint8_t>{0, 1, 0, 0, 2, 0, 1, 0}));
}

TEST(Colormap, GivesUpAfter256Colours) {
    std::vector<uint32_t> pixels(300);
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = 0xFF000000u | uint32_t(i);
    swf::ColormapBuilder map;
    EXPECT_TRUE(map.build(pixels.data(), 256, 1, 256));
    EXPECT_EQ(map.colors(), 256);
    EXPECT_FALSE(map.build(pixels.data(), 257, 1, 257));
    EXPECT_FALSE(map.build(pixels.data(), 100, 3, 100));
}

TEST(CommandLine, OptionsInAnyOrderAndUnknownSettingsIgnored) {
    const auto p =
        pdf2swf::parseCommandLine({"-s", "zoom=72", "-o", "out dir/a.swf", "-s", "flashversion=07",
                                   "in.pdf", "-s", "languagedir=/usr/share/xpdf", "-s", "bare"});
    ASSERT_EQ(p.error, "");
    EXPECT_EQ(p.options.input, "in.pdf");
    EXPECT_EQ(p.options.output, "out dir/a.swf");
    EXPECT_EQ(p.options.flashVersion, 7);
    EXPECT_EQ(p.options.languageDir, "/usr/share/xpdf");
}

TEST(CommandLine, RefusesWhatCannotBeMeant) {
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"in.pdf"},
             {"-o", "a.swf"},
             {"in.pdf", "-o"},
             {"in.pdf", "-o", "a.swf", "-s"},
             {"in.pdf", "more.pdf", "-o", "a.swf"},
             {"in.pdf", "-o", "a.swf", "-z"},
             {"in.pdf", "-o", "a.swf", "-s", "flashversion=0"},
             {"in.pdf", "-o", "a.swf", "-s", "flashversion=51"},
             {"in.pdf", "-o", "a.swf", "-s", "flashversion=9x"},
             {"in.pdf", "-o", "a.swf", "-s", "flashversion=-3"},
             {"in.pdf", "-o", "a.swf", "-s", "flashversion= 9"},
             {"in.pdf", "-o", "a.swf", "-s", "flashversion="},
             {"in.pdf", "-o", "a.swf", "-s", "flashversion"},
         }) {
        const auto p = pdf2swf::parseCommandLine(args);
        EXPECT_NE(p.error, "") << ::testing::PrintToString(args);
        EXPECT_EQ(p.error.find('\n'), std::string::npos);
    }
    EXPECT_TRUE(pdf2swf::parseCommandLine({"in.pdf", "-h"}).options.help);
}

}  // namespace
}  // namespace quorv
