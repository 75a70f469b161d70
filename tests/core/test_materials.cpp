#include <gtest/gtest.h>

#include "model/Images.h"
#include "model/graph_files.h"
#include "support/FileOperations.h"
#include "fixtures/fixtures.h"

using namespace vorlin;
using test::TempDir;

namespace {

std::vector<uint8_t> RGBOf(const std::string& path, const TPalette& palette = BuiltInPalette()) {
    TMAT mat(OpenFile(path));
    return ImageToRGB(mat, palette);
}

std::string Identity() {
    std::string t;
    for (int i = 0; i < 256; ++i)
        t += char(i);
    return t;
}

// A palette whose entry i is (i, 255 - i, i / 2).
std::string RampPalette() {
    std::string p;
    for (int i = 0; i < 256; ++i) {
        p += char(i);
        p += char(255 - i);
        p += char(i / 2);
    }
    return p;
}

} // namespace

TEST(Palette, BuiltInEntries) {
    const TPalette& p = BuiltInPalette();
    EXPECT_EQ(p[0], (TRGB{0, 0, 0}));
    EXPECT_EQ(p[5], (TRGB{0, 59, 0}));
    EXPECT_EQ(p[15], (TRGB{95, 0, 0}));
    EXPECT_EQ(p[30], (TRGB{255, 15, 0}));
    EXPECT_EQ(p[31], (TRGB{0, 0, 255}));
    EXPECT_EQ(p[32], (TRGB{253, 253, 253}));
    EXPECT_EQ(p[63], (TRGB{0, 0, 0}));
    EXPECT_EQ(p[64], (TRGB{191, 199, 223}));
    EXPECT_EQ(p[95], (TRGB{11, 11, 15}));
    EXPECT_EQ(p[143], (TRGB{0, 0, 23}));
    EXPECT_EQ(p[159], (TRGB{51, 23, 7}));
    EXPECT_EQ(p[191], (TRGB{55, 0, 91}));
    EXPECT_EQ(p[192], (TRGB{255, 0, 255}));
    EXPECT_EQ(p[254], (TRGB{255, 0, 255}));
    EXPECT_EQ(p[255], (TRGB{255, 255, 255}));
}

TEST(Mat, ColourMaterialIsA64SquareOfItsColour) {
    TempDir dir;
    std::string path = dir.write("c.mat", test::BuildColourMat(5));
    TMAT mat(OpenFile(path));
    EXPECT_TRUE(mat.IsColour);
    EXPECT_EQ(mat.Info.width, 64);
    EXPECT_EQ(mat.Info.height, 64);
    auto rgb = ImageToRGB(mat, BuiltInPalette());
    ASSERT_EQ(rgb.size(), 64u * 64 * 3);
    for (size_t i = 0; i < rgb.size(); i += 3)
        ASSERT_EQ(std::vector<uint8_t>(rgb.begin() + long(i), rgb.begin() + long(i) + 3),
                  (std::vector<uint8_t>{0, 59, 0}));
}

TEST(Mat, SixteenBitPixelsWithoutLowBitReplication) {
    TempDir dir;
    std::string pixels = std::string("\x00\xF8\xE0\x07\x1F\x00\xFF\xFF", 8);
    auto rgb = RGBOf(dir.write("t.mat", test::BuildTextureMat(2, 2, 16, 0, pixels)));
    EXPECT_EQ(rgb, (std::vector<uint8_t>{248, 0, 0, 0, 252, 0, 0, 0, 248, 248, 252, 248}));
}

TEST(Mat, EightBitTextureAfterItsRecords) {
    TempDir dir;
    std::string pixels = {char(31), char(16), char(0), char(5), char(6), char(255)};
    std::string bytes = test::BuildTextureMat(3, 2, 8, 2, pixels);
    ASSERT_EQ(bytes.substr(156, 4), std::string("\x03\x00\x00\x00", 4)); // picture header at 156
    ASSERT_EQ(bytes[180], char(31));                                     // first pixel at 180
    auto rgb = RGBOf(dir.write("t.mat", bytes));
    EXPECT_EQ(rgb, (std::vector<uint8_t>{0, 0, 255, 255, 255, 255, 0, 0, 0, 0, 59, 0, 255, 0, 0,
                                         255, 255, 255}));
    // Through another palette.
    TPalette custom = BuiltInPalette();
    custom[31] = TRGB{1, 2, 3};
    EXPECT_EQ(RGBOf(dir.file("t.mat"), custom)[2], 3);
}

TEST(Mat, DamagedMaterials) {
    TempDir dir;
    EXPECT_THROW(TMAT(OpenFile(dir.write("x.mat", "NOPE" + std::string(100, '\0')))), Error);
    try {
        TMAT m(OpenFile(dir.write("short.mat", "MAT")));
        FAIL();
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "Not a MAT file");
    }
    // A header claiming 65535 x 65535 in a 200-byte file is refused before anything is made.
    std::string huge = test::BuildTextureMat(65535, 65535, 8, 0, std::string(76, '\1'));
    ASSERT_LE(huge.size(), 200u);
    EXPECT_THROW(TMAT(OpenFile(dir.write("huge.mat", huge))), Error);
    // Records beyond the end of the file.
    std::string records = test::BuildTextureMat(2, 2, 8, 0, "abcd");
    records[12] = char(0xE8); // 1000 records claimed, none there
    records[13] = char(0x03);
    EXPECT_THROW(TMAT(OpenFile(dir.write("rec.mat", records))), Error);
    // Rows that end early leave their missing pixels black.
    auto rgb =
        RGBOf(dir.write("cut.mat", test::BuildTextureMat(2, 2, 8, 0, std::string(3, char(16)))));
    EXPECT_EQ(rgb, (std::vector<uint8_t>{255, 255, 255, 255, 255, 255, 255, 255, 255, 0, 0, 0}));
}

TEST(Cmp, PaletteAndLightTable) {
    TempDir dir;
    std::string identity = dir.write("id.cmp", test::BuildCmp(RampPalette(), Identity()));
    TPalette p = BuiltInPalette();
    EXPECT_TRUE(LoadCMPPalette(identity, p));
    EXPECT_EQ(p[10], (TRGB{10, 245, 5}));
    EXPECT_TRUE(ApplyCMPLight(identity, p));
    EXPECT_EQ(p[10], (TRGB{10, 245, 5})); // identity: as stored
    EXPECT_EQ(p[200], (TRGB{200, 55, 100}));

    std::string zeros =
        dir.write("zero.cmp", test::BuildCmp(RampPalette(), std::string(256, '\0')));
    EXPECT_TRUE(LoadCMPPalette(zeros, p));
    EXPECT_TRUE(ApplyCMPLight(zeros, p));
    for (const TRGB& c : p)
        ASSERT_EQ(c, (TRGB{0, 255, 0}));

    // A missing CMP resets to the built-in palette and applies no table.
    EXPECT_FALSE(LoadCMPPalette(dir.file("none.cmp"), p));
    EXPECT_EQ(p, BuiltInPalette());
    EXPECT_FALSE(ApplyCMPLight(dir.file("none.cmp"), p));
    EXPECT_EQ(p, BuiltInPalette());
}

TEST(Cmp, ShortFiles) {
    TempDir dir;
    // Shorter than its light table: the missing entries keep their own colour.
    std::string full = test::BuildCmp(RampPalette(), std::string(256, '\x07'));
    std::string cut = dir.write("cut.cmp", full.substr(0, kCmpLightOffset + 100));
    TPalette p = BuiltInPalette();
    EXPECT_TRUE(LoadCMPPalette(cut, p));
    EXPECT_TRUE(ApplyCMPLight(cut, p));
    EXPECT_EQ(p[50], (TRGB{7, 248, 3}));
    EXPECT_EQ(p[150], (TRGB{150, 105, 75}));
    // Shorter than its palette: the rest of the palette stays as it was.
    TPalette q = BuiltInPalette();
    EXPECT_TRUE(LoadCMPPalette(dir.write("tiny.cmp", full.substr(0, 64 + 30)), q));
    EXPECT_EQ(q[9], (TRGB{9, 246, 4}));
    EXPECT_EQ(q[10], BuiltInPalette()[10]);
}

TEST(Cmp, FromContainers) {
    TempDir dir;
    std::string gob = dir.write(
        "res2.gob",
        test::BuildGob({{"misc\\cmp\\a.cmp", test::BuildCmp(RampPalette(), Identity())}}));
    TPalette p = BuiltInPalette();
    EXPECT_TRUE(LoadCMPPalette(gob + ">misc\\cmp\\a.cmp", p));
    EXPECT_EQ(p[1], (TRGB{1, 254, 0}));
    ClearContainerCache();
}
