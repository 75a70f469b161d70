// Export to glTF and import of motion: the sample's two KEYs exported (target under 0.2 s), and a
// 3,000-frame BVH imported onto the sample, reduction included (target under 1 s); CMU's
// 01_01 capture (2,752 frames) as it is shipped, where assimp's test models are installed.
#include <benchmark/benchmark.h>

#include <cmath>
#include <filesystem>

#include "edit/key_document.h"
#include "interop/gltf_export.h"
#include "interop/motion_import.h"
#include "interop_helpers.h"
#include "model/graph_files.h"
#include "settings/GlobalVars.h"
#include "fixtures/fixtures.h"

using namespace vorlin;

namespace {

test::TempDir& Dir() {
    static test::TempDir dir;
    return dir;
}

std::unique_ptr<T3DO> Sample() {
    const std::string path = test::SamplePath("3do/sample.3do");
    ProjectDir = TKeyDocument::ProjectDirOf(path);
    return std::make_unique<T3DO>(path);
}

// 3,000 frames at 120 a second of the test skeleton: every joint swinging on its own slow
// waves with a capture's small tremor, the root walking forward.
const std::string& LongBvh() {
    static const std::string path = [] {
        const std::vector<test::TBvhBone> bones = test::TestSkeleton();
        const int channels = test::ChannelCount(bones);
        std::vector<std::vector<double>> frames;
        uint32_t seed = 12345;
        auto jitter = [&seed] {
            seed = seed * 1664525u + 1013904223u;
            return (double(seed >> 8) / double(1u << 24) - 0.5) * 0.4;
        };
        for (int f = 0; f < 3000; ++f) {
            const double t = f / 120.0;
            std::vector<double> v(static_cast<size_t>(channels));
            v[0] = 0.5 * std::sin(t);
            v[1] = 17 + 0.5 * std::sin(t * 6);
            v[2] = 5 * t;
            for (int c = 3; c < channels; ++c)
                v[size_t(c)] = 30 * std::sin(t * (1 + 0.37 * c) + c) + jitter();
            frames.push_back(v);
        }
        return Dir().write("long.bvh", test::BvhText(bones, frames, 1 / 120.0));
    }();
    return path;
}

void BM_ExportSample(benchmark::State& state) {
    const auto model = Sample();
    const auto walk = TKEYFile::CreateFromFile(test::SamplePath("3do/key/walk.key"));
    const auto jump = TKEYFile::CreateFromFile(test::SamplePath("3do/key/jump.key"));
    const std::string out = Dir().file("sample.glb");
    for (auto _ : state)
        ExportGltf(*model, {walk.get(), jump.get()}, BuiltInPalette(), out);
    state.counters["bytes"] = double(std::filesystem::file_size(out));
}
BENCHMARK(BM_ExportSample)->Unit(benchmark::kMillisecond);

void Import(benchmark::State& state, const std::string& path) {
    const auto model = Sample();
    int keys = 0, frames = 0;
    for (auto _ : state) {
        const auto motion = ReadMotion(path);
        const TImportResult result = ImportMotion(*model, *motion, {});
        keys = result.Keys;
        frames = result.Frames;
    }
    state.counters["frames"] = frames;
    state.counters["keys"] = keys;
}

void BM_ImportBvh3000Frames(benchmark::State& state) {
    Import(state, LongBvh());
}
BENCHMARK(BM_ImportBvh3000Frames)->Unit(benchmark::kMillisecond);

void BM_ImportCmu0101(benchmark::State& state) {
    const std::string path = "/usr/share/assimp/models/BVH/01_01.bvh";
    if (!std::filesystem::exists(path)) {
        state.SkipWithError("assimp-testmodels is not installed");
        return;
    }
    Import(state, path);
}
BENCHMARK(BM_ImportCmu0101)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
