// vorlin-cli as a pipeline runs it, process start included, with no display: an animated
// preview of the sample's walk, one large picture of a 20,000-vertex model, and a check of a
// container of 2,400 KEYs.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

#include "fixtures/fixtures.h"

namespace {

using vorlin::test::ShellQuote;
using vorlin::test::TempDir;

const std::string kSample = VORLIN_SAMPLE_DIR;

void Run(benchmark::State& state, const std::string& args) {
    const std::string command =
        "env -u DISPLAY " + std::string(VORLIN_CLI) + " " + args + " >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0) state.SkipWithError(("failed: " + command).c_str());
}

// The 3DO text of a model of `meshes` meshes, each a grid of quads, `vertices` vertices in
// all, hung in a binary tree of nodes.
std::string LargeModelText(int meshes, int vertices) {
    const int per = vertices / meshes;
    std::string t = "3DO 2.1\nSECTION: MODELRESOURCE\nMATERIALS 0\nSECTION: GEOMETRYDEF\n"
                    "RADIUS 1.0\nINSERT OFFSET 0 0 0\nGEOSETS 1\nGEOSET 0\nMESHES " +
                    std::to_string(meshes) + "\n";
    for (int k = 0; k < meshes; ++k) {
        t += "MESH " + std::to_string(k) + "\nNAME mesh" + std::to_string(k) +
             "\nRADIUS 0.2\nGEOMETRYMODE 4\nLIGHTINGMODE 3\nTEXTUREMODE 3\nVERTICES " +
             std::to_string(per) + "\n";
        for (int i = 0; i < per; ++i)
            t += std::to_string(i) + ": " + std::to_string(0.02 * (i % 10) - 0.1) + " " +
                 std::to_string(0.02 * ((i / 10) % 10) - 0.1) + " " +
                 std::to_string(0.001 * (i / 100)) + " 0\n";
        t += "TEXTURE VERTICES 1\n0: 0 0\nVERTEX NORMALS\n";
        for (int i = 0; i < per; ++i)
            t += std::to_string(i) + ": 0 0 1\n";
        std::string faces;
        int count = 0;
        for (int i = 0; i + 11 < per; i += 2, ++count)
            faces += std::to_string(count) + ": -1 0x0000 4 3 0 0.0 4 " + std::to_string(i) +
                     ",0 " + std::to_string(i + 1) + ",0 " + std::to_string(i + 11) + ",0 " +
                     std::to_string(i + 10) + ",0\n";
        t += "FACES " + std::to_string(count) + "\n" + faces + "FACE NORMALS\n";
        for (int i = 0; i < count; ++i)
            t += std::to_string(i) + ": 0 0 1\n";
    }
    t += "SECTION: HIERARCHYDEF\nHIERARCHY NODES " + std::to_string(meshes) + "\n";
    for (int k = 0; k < meshes; ++k)
        t += std::to_string(k) + ": 0x0000 0x00001 " + std::to_string(k) + " " +
             std::to_string(k == 0 ? -1 : (k - 1) / 2) + " -1 -1 0 " +
             std::to_string(0.05 * (k % 3)) + " 0 0.1 0 " + std::to_string(10 * (k % 7)) +
             " 0 0 0 0 node" + std::to_string(k) + "\n";
    return t;
}

// 32 frames of the walk at 320 x 240 into an animated WebP.
void BM_RenderWalkWebP(benchmark::State& state) {
    TempDir dir;
    const std::string args = "render " + ShellQuote(kSample + "/3do/sample.3do") + " " +
                             ShellQuote(kSample + "/3do/key/walk.key") + " --size 320x240 --out " +
                             ShellQuote(dir.file("walk.webp"));
    for (auto _ : state)
        Run(state, args);
}
BENCHMARK(BM_RenderWalkWebP)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

// One frame of a 20,000-vertex model at 1280 x 960, context creation included.
void BM_RenderLargeModel(benchmark::State& state) {
    TempDir dir;
    const std::string model = dir.write("large.3do", LargeModelText(60, 20000));
    const std::string args = "render " + ShellQuote(model) + " --size 1280x960 --wireframe --out " +
                             ShellQuote(dir.file("large.png"));
    for (auto _ : state)
        Run(state, args);
}
BENCHMARK(BM_RenderLargeModel)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

// A container of 2,400 KEYs (the sample's two, under new names), checked on all cores.
void BM_CheckLargeContainer(benchmark::State& state) {
    TempDir dir;
    const std::string walk = vorlin::test::ReadAll(kSample + "/3do/key/walk.key");
    const std::string jump = vorlin::test::ReadAll(kSample + "/3do/key/jump.key");
    std::vector<vorlin::test::GobEntry> entries;
    for (int i = 0; i < 2400; ++i)
        entries.push_back({"3do\\key\\k" + std::to_string(i) + ".key", i % 2 ? walk : jump});
    entries.push_back({"3do\\sample.3do", vorlin::test::ReadAll(kSample + "/3do/sample.3do")});
    const std::string gob = dir.write("large.gob", vorlin::test::BuildGob(entries));
    for (auto _ : state)
        Run(state, "check " + ShellQuote(gob) + " --models auto");
}
BENCHMARK(BM_CheckLargeContainer)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

} // namespace

BENCHMARK_MAIN();
