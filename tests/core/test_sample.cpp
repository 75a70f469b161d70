// The bundled sample: it must open without a single warning, from disk and from its container,
// and its generator must rebuild it byte for byte.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "key/u_key.h"
#include "model/Images.h"
#include "model/graph_files.h"
#include "model/u_3dos.h"
#include "settings/GlobalVars.h"
#include "support/Containers.h"
#include "support/FileOperations.h"
#include "fixtures/fixtures.h"

using namespace vorlin;
namespace fs = std::filesystem;

namespace {

const std::string kSample = VORLIN_SAMPLE_DIR;
const char* kFiles[] = {"3do/sample.3do",      "3do/key/walk.key", "3do/key/jump.key",
                        "3do/mat/skin.mat",    "mat/cloth.mat",    "mat/boots.mat",
                        "misc/cmp/sample.cmp", "sample.gob"};

class Sample : public testing::Test {
protected:
    void SetUp() override {
        AssignDefaults();
        ClearContainerCache();
        ProjectDir = kSample + "/";
    }
    void TearDown() override {
        ProjectDir.clear();
        ClearContainerCache();
        AssignDefaults();
    }
};

} // namespace

TEST_F(Sample, OpensWithoutWarnings) {
    test::RecordingSink sink;
    T3DO model(kSample + "/3do/sample.3do");
    EXPECT_EQ(model.Meshes.Count(), 10);
    EXPECT_EQ(model.Materials, (std::vector<std::string>{"CLOTH.MAT", "SKIN.MAT", "BOOTS.MAT"}));
    // Every material reads through the resource search, as the renderer reads it.
    for (const std::string& name : model.Materials) {
        TMAT mat(FindResource(name));
        EXPECT_EQ(ImageToRGB(mat, BuiltInPalette()).size(),
                  size_t(mat.Info.width) * mat.Info.height * 3);
    }
    for (const char* key : {"walk.key", "jump.key"}) {
        auto doc = TKEYFile::CreateFromFile(kSample + "/3do/key/" + key);
        EXPECT_EQ(doc->Nodes.Count(), model.HNodes.Count());
        for (int f = 0; f < doc->Frames; ++f)
            doc->ApplyToModel(model, f); // every node has an entry at frame 0
    }
    EXPECT_TRUE(sink.messages.empty());
}

TEST_F(Sample, KeysAreWrittenAsTheEditorWritesThem) {
    test::TempDir dir;
    for (const char* key : {"walk.key", "jump.key"}) {
        std::string original = kSample + "/3do/key/" + key;
        auto doc = TKEYFile::CreateFromFile(original);
        EXPECT_FALSE(doc->IsModified());
        doc->RecalcAll();
        std::string copy = dir.file(key);
        doc->SaveToFile(copy);
        EXPECT_EQ(test::ReadAll(copy), test::ReadAll(original)) << key;
    }
    auto jump = TKEYFile::CreateFromFile(kSample + "/3do/key/jump.key");
    EXPECT_EQ(jump->Flags, 0u);
    EXPECT_EQ(jump->Markers.Count(), 3);
}

TEST_F(Sample, ContainerHoldsTheSameFiles) {
    TGOB2Directory gob(kSample + "/sample.gob");
    for (const char* file : kFiles) {
        std::string name = file;
        if (name == "sample.gob") continue;
        std::replace(name.begin(), name.end(), '/', '\\');
        auto f = gob.OpenFile(name);
        std::string bytes(size_t(f->FileSize()), '\0');
        f->Read(bytes.data(), f->FileSize());
        EXPECT_EQ(bytes, test::ReadAll(kSample + "/" + file)) << file;
    }
    // A project that only has the container finds everything through it.
    ProjectDir.clear();
    Settings.JKGOB = kSample + "/sample.gob";
    test::RecordingSink sink;
    T3DO model("sample.3do");
    EXPECT_EQ(model.HNodes.Count(), 11);
    for (const std::string& name : model.Materials)
        EXPECT_NO_THROW(FindResource(name));
    EXPECT_TRUE(sink.messages.empty());
}

TEST_F(Sample, GeneratorRebuildsItByteForByte) {
    test::TempDir dir;
    fs::copy_file(kSample + "/make_sample.py", dir.file("make_sample.py"));
    auto r = test::RunCommand("python3 " + test::ShellQuote(dir.file("make_sample.py")));
    ASSERT_EQ(r.status, 0) << r.err;
    for (const char* file : kFiles)
        EXPECT_EQ(test::ReadAll(dir.file(file)), test::ReadAll(kSample + "/" + file)) << file;
}
