// Drawing the large model, textured, in an 800 x 600 view (run under xvfb-run).
#include <QApplication>
#include <benchmark/benchmark.h>

#include "bench_inputs.h"
#include "edit/onion.h"
#include "panels/view/paint_box.h"
#include "settings/GlobalVars.h"
#include "fixtures/fixtures.h"

using namespace vorlin;

namespace {

void BM_DrawSceneTextured(benchmark::State& state) {
    test::TempDir dir;
    for (int i = 0; i < 4; ++i) {
        std::string pixels(64 * 64, char(64 + 16 * i));
        dir.write("mat/m" + std::to_string(i) + ".mat",
                  test::BuildTextureMat(64, 64, 8, 0, pixels));
    }
    ProjectDir = dir.path().string() + "/";
    auto model = bench::LargeModel(60, 20000, 4);
    TPaintBox box;
    box.resize(800, 600);
    box.show();
    while (!box.isValid())
        QApplication::processEvents();
    TOGLRenderer renderer(&box);
    renderer.UpdateColours();
    renderer.SetViewport(0, 0, 800, 600);
    renderer.RebuildLists();
    renderer.LoadTextures(model->Materials);
    renderer.SetCamera(20, 30, 2);
    renderer.Options.SelectedNode = 5;
    for (auto _ : state)
        renderer.DrawScene(model.get(), nullptr, true); // ends with glFinish
    state.SetItemsProcessed(state.iterations());
    state.counters["fps"] =
        benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
    ProjectDir.clear();
}
BENCHMARK(BM_DrawSceneTextured)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same with onion skins on, as the editor draws a frame: the model posed at the keys before
// and after, their silhouettes taken, the frame on show posed again, all drawn.
void BM_DrawSceneOnionSkins(benchmark::State& state) {
    auto model = bench::LargeModel(60, 20000, 4);
    auto key = bench::LargeKey(*model, 60, 20);
    TPaintBox box;
    box.resize(800, 600);
    box.show();
    while (!box.isValid())
        QApplication::processEvents();
    TOGLRenderer renderer(&box);
    renderer.UpdateColours();
    renderer.SetViewport(0, 0, 800, 600);
    renderer.RebuildLists();
    renderer.SetCamera(20, 30, 2);
    for (auto _ : state) {
        renderer.Onions.clear();
        const TOnionFrames frames = OnionFrames(*key, 5, 55, 0);
        for (int32_t at : {*frames.Before, *frames.After}) {
            key->ApplyToModel(*model, at);
            renderer.Onions.push_back({{0.3f, 0.55f, 1.0f, 0.35f}, SilhouetteTriangles(*model)});
        }
        key->ApplyToModel(*model, 55);
        renderer.DrawScene(model.get(), key.get(), false);
    }
    state.counters["fps"] =
        benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_DrawSceneOnionSkins)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
