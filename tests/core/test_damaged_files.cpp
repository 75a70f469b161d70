// Damaged files must never bring the program down: every reader gets mangled copies of the
// sample's files (fixed seed, so a failure repeats) and must either read them or raise one of
// the program's errors.
#include <gtest/gtest.h>

#include <random>

#include "key/u_key.h"
#include "model/Images.h"
#include "model/graph_files.h"
#include "model/u_3dos.h"
#include "support/Containers.h"
#include "support/FileOperations.h"
#include "fixtures/fixtures.h"

using namespace vorlin;

namespace {

// Flips, inserts, deletes and truncates at random places; sometimes plants huge numbers.
std::string Mangle(const std::string& original, std::mt19937& rng) {
    std::string s = original;
    std::uniform_int_distribution<int> kind(0, 5);
    const int edits = 1 + int(rng() % 8);
    for (int e = 0; e < edits && !s.empty(); ++e) {
        size_t at = rng() % s.size();
        switch (kind(rng)) {
        case 0:
            s[at] = char(rng());
            break;
        case 1:
            s.insert(at, 1, char(rng()));
            break;
        case 2:
            s.erase(at, 1 + rng() % 16);
            break;
        case 3:
            s.resize(at);
            break;
        case 4:
            s.insert(at, "2147483647");
            break;
        default:
            s.insert(at, std::string("\xFF\xFF\xFF\x7F", 4));
            break;
        }
    }
    return s;
}

template <typename F> void Survives(const std::string& sampleFile, const char* ext, F read) {
    const std::string original = test::ReadAll(std::string(VORLIN_SAMPLE_DIR) + "/" + sampleFile);
    ASSERT_FALSE(original.empty());
    std::mt19937 rng(12345);
    test::TempDir dir;
    test::RecordingSink quiet;
    for (int i = 0; i < 150; ++i) {
        const std::string path =
            dir.write("damaged" + std::to_string(i) + ext, Mangle(original, rng));
        try {
            read(path);
        } catch (const Error&) {
            // refusing a damaged file is fine; anything else is not
        }
        ClearContainerCache();
    }
}

} // namespace

TEST(DamagedFiles, KeyReader) {
    Survives("3do/key/jump.key", ".key", [](const std::string& p) {
        auto doc = TKEYFile::CreateFromFile(p);
        doc->RecalcAll();
        doc->ToText();
    });
}

TEST(DamagedFiles, ModelReaderAndPose) {
    const std::string key = std::string(VORLIN_SAMPLE_DIR) + "/3do/key/walk.key";
    Survives("3do/sample.3do", ".3do", [&](const std::string& p) {
        T3DO model(p);
        model.LowestPoint();
        for (int n = 0; n < model.HNodes.Count(); ++n)
            model.IsInSubtree(0, n);
        TKEYFile::CreateFromFile(key)->ApplyToModel(model, 5);
    });
}

TEST(DamagedFiles, Containers) {
    Survives("sample.gob", ".gob", [](const std::string& p) {
        TGOB2Directory gob(p);
        gob.ListFiles();
        gob.ListDirs();
        for (const TFileItem& item : gob.FileList) {
            auto f = gob.OpenFile(item.name);
            std::string bytes(std::min<int64_t>(f->FileSize(), 1 << 20), '\0');
            f->Read(bytes.data(), int64_t(bytes.size()));
        }
    });
}

TEST(DamagedFiles, MaterialsAndColourMaps) {
    for (const char* mat : {"mat/cloth.mat", "3do/mat/skin.mat", "mat/boots.mat"})
        Survives(mat, ".mat", [](const std::string& p) {
            TMAT m(OpenFile(p));
            ImageToRGB(m, BuiltInPalette());
        });
    Survives("misc/cmp/sample.cmp", ".cmp", [](const std::string& p) {
        TPalette palette = BuiltInPalette();
        LoadCMPPalette(p, palette);
        ApplyCMPLight(p, palette);
    });
}
