// Every reader stops at the end of the file it reads, on disk and inside a container, where
// the bytes after a stored file belong to the next one; and a container's directory is trusted
// only as far as the container's bytes go.
#include <gtest/gtest.h>

#include "model/Images.h"
#include "model/graph_files.h"
#include "support/Containers.h"
#include "support/FileOperations.h"
#include "fixtures/fixtures.h"

using namespace vorlin;
using test::TempDir;

namespace {

// The same bytes as a loose file, or stored in a GOB right before a file of 0xEE bytes (which
// a reader that runs past its file would take for its own).
class BothPlaces : public ::testing::TestWithParam<bool> {
protected:
    void TearDown() override { ClearContainerCache(); }
    std::string Place(const std::string& name, const std::string& bytes) {
        if (!GetParam()) return dir_.write(name, bytes);
        std::string gob = dir_.write(
            "r.gob", test::BuildGob({{name, bytes}, {"trailer.bin", std::string(40000, '\xEE')}}));
        return gob + ">" + name;
    }
    TempDir dir_;
};

std::string RampPalette() {
    std::string p;
    for (int i = 0; i < 256; ++i)
        p += {char(i), char(255 - i), char(i / 2)};
    return p;
}

} // namespace

TEST_P(BothPlaces, ShortColourMapsKeepWhatTheyDoNotHold) {
    // 64 header bytes and the first 10 palette entries only.
    std::string cmp = std::string(64, '\0') + RampPalette().substr(0, 30);
    std::string path = Place("short.cmp", cmp);
    TPalette palette = BuiltInPalette();
    EXPECT_TRUE(LoadCMPPalette(path, palette));
    EXPECT_EQ(palette[9], (TRGB{9, 246, 4}));
    EXPECT_EQ(palette[10], BuiltInPalette()[10]); // not the next file's 0xEE bytes
    EXPECT_EQ(palette[255], BuiltInPalette()[255]);
    // A light table that is not there maps every colour to itself.
    TPalette lit = palette;
    EXPECT_TRUE(ApplyCMPLight(path, lit));
    EXPECT_EQ(lit, palette);
}

TEST_P(BothPlaces, ShortMaterialRowsAreBlack) {
    // A 4 x 2 picture of 8-bit indices whose second row holds one pixel.
    std::string mat = test::BuildTextureMat(4, 2, 8, 0, std::string("\x05\x05\x05\x05\x05", 5));
    std::string path = Place("short.mat", mat);
    TMAT m(OpenFile(path));
    std::vector<uint8_t> rgb = ImageToRGB(m, BuiltInPalette());
    ASSERT_EQ(rgb.size(), 4u * 2 * 3);
    const TRGB five = BuiltInPalette()[5];
    EXPECT_EQ(rgb[12], five.r); // row 1, pixel 0
    for (size_t i = 15; i < rgb.size(); ++i)
        EXPECT_EQ(rgb[i], 0) << "byte " << i;
}

TEST_P(BothPlaces, ATruncatedMaterialHeaderIsNotAMaterial) {
    std::string path = Place("cut.mat", test::BuildColourMat(7).substr(0, 50));
    EXPECT_THROW(
        {
            try {
                TMAT m(OpenFile(path));
            } catch (const Error& e) {
                EXPECT_STREQ(e.what(), "Not a MAT file");
                throw;
            }
        },
        Error);
    // A colour material whose record is cut short is a damaged file, not the next file's.
    std::string record = Place("rec.mat", test::BuildColourMat(7).substr(0, 80));
    EXPECT_THROW(TMAT(OpenFile(record)), IOError);
}

INSTANTIATE_TEST_SUITE_P(Readers, BothPlaces, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "InAGob" : "OnDisk"; });

TEST(Containers, EntriesHoldOnlyTheBytesReallyThere) {
    TempDir dir;
    // An entry claiming about 4 GB, and one starting past the end, in a container of a few
    // hundred bytes.
    std::string bytes = test::BuildGob(
        {{"big.mat", test::BuildTextureMat(65535, 65535, 8, 0, "")}, {"gone.txt", "x"}});
    const size_t entries = 16;
    auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            bytes[at + size_t(i)] = char((v >> (8 * i)) & 0xFF);
    };
    put32(entries + 4, 0xFFFFFF00u);   // size of big.mat
    put32(entries + 136, 0x7FFFFFF0u); // offset of gone.txt
    std::string path = dir.write("damaged.gob", bytes);
    TGOB2Directory gob(path);
    ASSERT_EQ(gob.FileList.size(), 2u); // still listed
    const uint32_t offset = gob.FileList[0].info->Offset;
    EXPECT_EQ(gob.FileList[0].info->Size, uint32_t(bytes.size() - offset));
    EXPECT_EQ(gob.FileList[1].info->Size, 0u);
    // So the picture's claim is measured against what is there, and refused.
    try {
        TMAT m(gob.OpenFile("big.mat"));
        FAIL() << "a 65535 x 65535 picture in a few bytes was accepted";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "MAT picture is larger than its file");
    }
    std::unique_ptr<TFile> gone = gob.OpenFile("gone.txt");
    char c;
    EXPECT_EQ(gone->Read(&c, 1), 0);
}

TEST(Containers, NamesThatDifferInCaseAreDifferentContainers) {
    TempDir dir;
    std::string upper = dir.write("Case.gob", test::BuildGob({{"f.txt", "upper"}}));
    std::string lower = dir.write("case.gob", test::BuildGob({{"f.txt", "lower!"}}));
    auto read = [](const std::string& path) {
        std::unique_ptr<TFile> f = OpenFile(path);
        std::string s(size_t(f->FileSize()), '\0');
        f->Read(s.data(), f->FileSize());
        return s;
    };
    EXPECT_EQ(read(upper + ">f.txt"), "upper");
    EXPECT_EQ(read(lower + ">f.txt"), "lower!");
    // A name that matches no file exactly still finds the container it names ignoring case.
    std::string other = dir.write("Only.gob", test::BuildGob({{"f.txt", "only"}}));
    EXPECT_EQ(read(other + ">f.txt"), "only");
    EXPECT_EQ(read(dir.file("ONLY.GOB") + ">f.txt"), "only");
    ClearContainerCache();
}
