#include <benchmark/benchmark.h>
#include <sys/time.h>

#include "bench_inputs.h"
#include "model/Images.h"
#include "model/graph_files.h"
#include "settings/GlobalVars.h"
#include "support/Containers.h"
#include "support/FileOperations.h"
#include "support/fixtures.h"

using namespace vorlin;

namespace {

// Inputs live in one temporary folder for the whole run.
test::TempDir& Dir() {
    static test::TempDir dir;
    return dir;
}

class NullSink : public MessageSink {
public:
    void Log(TMsgType, const std::string&) override {}
    int Ask(const std::string&, const std::string&, unsigned) override { return IDOK; }
};

const std::string& KeyPath() {
    static const std::string path = [] {
        auto model = bench::LargeModel(100, 100 * 4, 1);
        auto key = bench::LargeKey(*model, 100, 2000);
        std::string p = Dir().file("large.key");
        key->SaveToFile(p);
        return p;
    }();
    return path;
}

void BM_KeyRead(benchmark::State& state) {
    const std::string& path = KeyPath();
    const int64_t bytes = int64_t(test::ReadAll(path).size());
    for (auto _ : state) {
        auto doc = TKEYFile::CreateFromFile(path);
        benchmark::DoNotOptimize(doc->Nodes.Count());
    }
    state.SetBytesProcessed(state.iterations() * bytes);
    state.counters["file_MB"] = double(bytes) / 1e6;
}
BENCHMARK(BM_KeyRead)->Unit(benchmark::kMillisecond);

void BM_KeyWrite(benchmark::State& state) {
    auto doc = TKEYFile::CreateFromFile(KeyPath());
    const std::string out = Dir().file("written.key");
    int64_t bytes = 0;
    for (auto _ : state) {
        doc->SaveToFile(out);
        state.PauseTiming();
        bytes = int64_t(test::ReadAll(out).size());
        state.ResumeTiming();
    }
    state.SetBytesProcessed(state.iterations() * bytes);
}
BENCHMARK(BM_KeyWrite)->Unit(benchmark::kMillisecond);

void BM_GobOpen12000(benchmark::State& state) {
    std::vector<test::GobEntry> entries;
    for (int i = 0; i < 12000; ++i)
        entries.push_back({"3do\\mat\\material" + std::to_string(i) + ".mat", "x"});
    const std::string path = Dir().write("big.gob", test::BuildGob(entries));
    for (auto _ : state) {
        TGOB2Directory gob(path);
        benchmark::DoNotOptimize(gob.FileList.size());
    }
}
BENCHMARK(BM_GobOpen12000)->Unit(benchmark::kMillisecond);

void BM_FindResource100Warm(benchmark::State& state) {
    std::vector<test::GobEntry> entries;
    std::vector<std::string> names;
    for (int i = 0; i < 100; ++i) {
        names.push_back("tex" + std::to_string(i) + ".mat");
        entries.push_back({"3do\\mat\\" + names.back(), "MAT "});
    }
    for (int i = 0; i < 3000; ++i) // the rest of a game container
        entries.push_back({"3do\\other" + std::to_string(i) + ".3do", "x"});
    Settings.JKGOB = Dir().write("res2.gob", test::BuildGob(entries));
    ProjectDir = Dir().file("project") + "/";
    Dir().write("project/3do/model.3do", "");
    // A project folder as users have it: not changed in the last moments.
    struct timeval hourAgo[2] = {{::time(nullptr) - 3600, 0}, {::time(nullptr) - 3600, 0}};
    for (const char* folder : {"project", "project/3do"})
        ::utimes(Dir().file(folder).c_str(), hourAgo);
    NullSink quiet;
    MessageSink* old = SetMessageSink(&quiet);
    for (const auto& n : names) // warm the cache
        FindResource(n);
    for (auto _ : state)
        for (const auto& n : names)
            benchmark::DoNotOptimize(FindResource(n));
    state.SetItemsProcessed(state.iterations() * 100);
    SetMessageSink(old);
    ClearContainerCache();
    ProjectDir.clear();
}
BENCHMARK(BM_FindResource100Warm)->Unit(benchmark::kMillisecond);

void BM_PoseFrame20000(benchmark::State& state) {
    auto model = bench::LargeModel(60, 20000, 4);
    auto key = bench::LargeKey(*model, 60, 10);
    int frame = 0;
    for (auto _ : state) {
        key->ApplyToModel(*model, frame);
        frame = (frame + 1) % key->Frames;
        benchmark::DoNotOptimize(model->Meshes[59].Faces.Vertices[0].tz);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_PoseFrame20000)->Unit(benchmark::kMicrosecond);

void BM_MatToRGB256(benchmark::State& state) {
    std::string pixels(256 * 256, '\0');
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = char(i * 7);
    const std::string path = Dir().write("big.mat", test::BuildTextureMat(256, 256, 8, 0, pixels));
    for (auto _ : state) {
        TMAT mat(OpenFile(path));
        auto rgb = ImageToRGB(mat, BuiltInPalette());
        benchmark::DoNotOptimize(rgb.data());
    }
    state.SetBytesProcessed(state.iterations() * int64_t(pixels.size()));
}
BENCHMARK(BM_MatToRGB256)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
