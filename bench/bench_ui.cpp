// The editor's interactive paths, measured with their widgets on screen (run under xvfb-run):
// listing and filtering a folder of a game-sized container in the file-open dialog.
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QListWidget>
#include <QMouseEvent>
#include <QSplitter>
#include <QToolButton>
#include <QWheelEvent>
#include <QWindow>
#include <benchmark/benchmark.h>
#include <malloc.h>

#include "app/autosave.h"
#include "app/file_commands.h"
#include "app/vorlinform.h"
#include "panels/transport/transport_panel.h"
#include "panels/view/view_panel.h"
#include "bench_inputs.h"
#include "dialogs/FileDialogs.h"
#include "dialogs/summary_form.h"
#include "edit/view_pick.h"
#include "panels/curves/curves_panel.h"
#include "panels/timeline/timeline_panel.h"
#include "panels/view/view_panel.h"
#include "panels/view/paint_box.h"
#include "support/FileOperations.h"
#include "fixtures/fixtures.h"

using namespace vorlin;

namespace {

test::TempDir& Dir() {
    static test::TempDir dir;
    return dir;
}

// A container shaped like the game's: 12,000 entries, the largest folder 5,000 materials.
const std::string& GameContainer() {
    static const std::string path = [] {
        std::vector<test::GobEntry> entries;
        auto add = [&](const std::string& folder, const char* stem, const char* ext, int n) {
            for (int i = 0; i < n; ++i)
                entries.push_back({folder + stem + std::to_string(i) + ext, "x"});
        };
        add("3do\\mat\\", "material", ".mat", 5000);
        add("mat\\", "texture", ".mat", 3500);
        add("3do\\", "model", ".3do", 2000);
        add("3do\\key\\", "kyanim", ".key", 1200);
        add("misc\\cmp\\", "colours", ".cmp", 300);
        return Dir().write("res2.gob", test::BuildGob(entries));
    }();
    return path;
}

// A file list as the dialog has it, on screen.
struct ShownList {
    ShownList() : control(&list) {
        list.setFlow(QListView::TopToBottom);
        list.setWrapping(true);
        list.setResizeMode(QListView::Adjust);
        list.setUniformItemSizes(true);
        list.setGridSize(QSize(117, 17));
        list.resize(420, 260);
        list.show();
        control.SetSource(GameContainer());
    }
    QListWidget list;
    TMaskedDirectoryControl control;
};

void BM_FileOpenListLargestFolder(benchmark::State& state) {
    ShownList shown;
    TContainerFile& gob = OpenCachedContainer(GameContainer());
    for (auto _ : state) {
        gob.ChDir("3do\\mat");
        shown.control.ApplyMask("", true); // sorted, as the dialog lists a folder
        QApplication::processEvents();     // laid out and painted
    }
    state.counters["items"] = double(shown.list.count());
}
BENCHMARK(BM_FileOpenListLargestFolder)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_FileOpenFilterPerKeystroke(benchmark::State& state) {
    ShownList shown;
    OpenCachedContainer(GameContainer()).ChDir("3do\\mat");
    const char* typed[] = {"m",        "ma",      "mat",       "mate",       "mater",
                           "materi",   "materia", "material1", "material12", "material1",
                           "material", "*.mat",   ""};
    size_t k = 0;
    for (auto _ : state) {
        shown.control.ApplyMask(typed[k++ % std::size(typed)]);
        QApplication::processEvents();
    }
}
BENCHMARK(BM_FileOpenFilterPerKeystroke)->Unit(benchmark::kMillisecond)->UseRealTime();

// Counts the frames the view draws, to wait until a step is on screen.
struct FrameCounter {
    explicit FrameCounter(TPaintBox* view) {
        view->onPaint = [this, paint = view->onPaint] {
            paint();
            ++frames;
        };
    }
    // Until a frame after the one counted as before is drawn: the window system asks for it a
    // moment after the change (several changes within that moment make one frame).
    void WaitPast(int before) const {
        while (frames == before)
            QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    int frames = 0;
};

// One step of dragging an entry in the view: the entry and its rates change, the model is
// posed at the entry's frame, and the view is drawn again (textured, 60 meshes, 20,000
// vertices).
void BM_DragStep(benchmark::State& state) {
    for (int i = 0; i < 4; ++i) {
        std::string pixels(64 * 64, char(64 + 16 * i));
        Dir().write("project/mat/m" + std::to_string(i) + ".mat",
                    test::BuildTextureMat(64, 64, 8, 0, pixels));
    }
    TVorlinForm form;
    form.resize(800, 600);
    form.show();
    while (!form.View().Renderer())
        QApplication::processEvents();
    ProjectDir = Dir().file("project") + "/";
    form.Document.Model = bench::LargeModel(60, 20000, 4);
    form.Document.Changed(chModel);
    form.Document.SetKey(bench::LargeKey(*form.Document.Model, 60, 50));
    form.View().Renderer()->LoadTextures(form.Document.Model->Materials);
    form.View().ViewZoom = 20;
    form.Document.PickNode(5);
    form.Document.Select(form.Document.SelectedNode(), 3);
    for (const char* name : {"BNMove", "BNXAxis", "BNTextured"})
        form.findChild<QToolButton*>(name)->click();
    TPaintBox* view = form.View().PaintBox();
    FrameCounter drawn(view);
    auto send = [&](QEvent::Type type, int x, Qt::MouseButtons held) {
        QMouseEvent e(type, QPointF(x, 100), view->mapToGlobal(QPointF(x, 100)), Qt::LeftButton,
                      held, Qt::NoModifier);
        QApplication::sendEvent(view, &e);
    };
    send(QEvent::MouseButtonPress, 100, Qt::LeftButton);
    // Past the click distance first: from then on every move edits.
    int x = 110;
    send(QEvent::MouseMove, x, Qt::LeftButton);
    drawn.WaitPast(0);
    for (auto _ : state) {
        x += (state.iterations() % 2) ? 1 : -1;
        const int before = drawn.frames;
        send(QEvent::MouseMove, x, Qt::LeftButton);
        drawn.WaitPast(before);
        QApplication::processEvents(); // the frame label and the status bar
    }
    if (drawn.frames < int(state.iterations()))
        state.SkipWithError("the view was not drawn each step");
    send(QEvent::MouseButtonRelease, x, Qt::NoButton);
    ProjectDir.clear();
}
BENCHMARK(BM_DragStep)->Unit(benchmark::kMillisecond)->UseRealTime();

// The undo stack after 1,000 drags on the 100-node, 2,000-entry KEY: what it holds, in heap
// bytes (each drag keeps the entries it changed, not the node or the document).
void BM_UndoStackOf1000Drags(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        TVorlinForm form;
        form.show();
        while (!form.View().Renderer())
            QApplication::processEvents();
        form.Document.Model = bench::LargeModel(60, 20000, 4);
        form.Document.Changed(chModel);
        form.Document.SetKey(bench::LargeKey(*form.Document.Model, 100, 2000));
        form.findChild<QToolButton*>("BNMove")->click();
        QWidget* view = form.View().PaintBox();
        auto send = [&](QEvent::Type type, int x, Qt::MouseButtons held) {
            QMouseEvent e(type, QPointF(x, 100), view->mapToGlobal(QPointF(x, 100)), Qt::LeftButton,
                          held, Qt::NoModifier);
            QApplication::sendEvent(view, &e);
        };
        const size_t before = mallinfo2().uordblks;
        state.ResumeTiming();
        for (int i = 0; i < 1000; ++i) {
            form.Document.PickNode(i % 100);
            form.Document.Select(form.Document.SelectedNode(), (i * 37) % 2000);
            send(QEvent::MouseButtonPress, 100, Qt::LeftButton);
            send(QEvent::MouseMove, 103, Qt::LeftButton);
            send(QEvent::MouseMove, 108, Qt::LeftButton);
            send(QEvent::MouseButtonRelease, 108, Qt::NoButton);
        }
        state.PauseTiming();
        const size_t after = mallinfo2().uordblks;
        state.counters["steps"] = double(int(form.Document.History().Count()));
        state.counters["stack_MB"] = double(after - before) / (1024.0 * 1024.0);
        if (int(form.Document.History().Count()) != 1000) state.SkipWithError("a drag is not one step");
        state.ResumeTiming();
    }
}
BENCHMARK(BM_UndoStackOf1000Drags)->Unit(benchmark::kMillisecond)->Iterations(1);

// The KEY summary opened on a document at the entry limit: 11 nodes of 100,000 entries.
void BM_SummaryAtTheEntryLimit(benchmark::State& state) {
    TKEYFile doc;
    for (int n = 0; n < 11; ++n) {
        TKEYNode& node = doc.Nodes.Add();
        node.MeshName = "NODE" + std::to_string(n);
        for (int e = 0; e < 100000; ++e)
            node.Entries.Add().Frame = e;
    }
    doc.Frames = 100000;
    TSummaryForm form;
    form.show();
    for (auto _ : state) {
        form.ShowSummary(doc);
        QApplication::processEvents();
    }
}
BENCHMARK(BM_SummaryAtTheEntryLimit)->Unit(benchmark::kMillisecond)->Iterations(1);

// A click's pick on the 20,000-vertex model: the ray through the pixel against every posed
// triangle.
void BM_PickNode20000(benchmark::State& state) {
    auto model = bench::LargeModel(60, 20000, 4);
    TViewCamera camera;
    camera.Pos = {0, -2, 0.3};
    camera.Aspect = 800.0 / 600;
    int x = 0;
    for (auto _ : state) {
        x = (x + 37) % 800;
        benchmark::DoNotOptimize(PickNode(*model, camera.RayAt(x, 300, 800, 600)));
    }
}
BENCHMARK(BM_PickNode20000)->Unit(benchmark::kMillisecond);

// A wheel step in the view to the repainted frame (textured, 60 meshes, 20,000 vertices).
void BM_WheelStep(benchmark::State& state) {
    TVorlinForm form;
    form.resize(800, 600);
    form.show();
    while (!form.View().Renderer())
        QApplication::processEvents();
    form.Document.Model = bench::LargeModel(60, 20000, 4);
    form.Document.Changed(chModel);
    form.View().ViewZoom = 20;
    form.findChild<QToolButton*>("BNTextured")->click();
    TPaintBox* view = form.View().PaintBox();
    FrameCounter drawn(view);
    int notch = 120;
    for (auto _ : state) {
        notch = -notch; // in and out again
        const int before = drawn.frames;
        QWheelEvent e(QPointF(100, 100), view->mapToGlobal(QPointF(100, 100)), QPoint(),
                      QPoint(0, notch), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(view, &e);
        drawn.WaitPast(before);
    }
    // Frames drawn per step, the last one settled: 1 when nothing is drawn twice.
    for (QElapsedTimer t; !t.isValid() || t.elapsed() < 50;) {
        if (!t.isValid()) t.start();
        QApplication::processEvents();
    }
    state.counters["frames_per_step"] = double(drawn.frames) / double(state.iterations());
}
BENCHMARK(BM_WheelStep)->Unit(benchmark::kMillisecond)->UseRealTime();

// The editor on the 100-node, 2,000-entry KEY, maximised, with a tall timeline.
// The settings a window leaves behind (which panel showed last, its height) start afresh: each
// benchmark sees the same window however many ran before it in this process.
struct FreshSettings {
    FreshSettings() { AssignDefaults(); }
};

struct LargeTimeline {
    LargeTimeline() {
        form.resize(1280, 960);
        form.show();
        while (!form.View().Renderer())
            QApplication::processEvents();
        form.Document.Model = bench::LargeModel(100, 20000, 4);
        form.Document.Changed(chModel);
        form.Document.SetKey(bench::LargeKey(*form.Document.Model, 100, 2000));
        form.View().ViewZoom = 20;
        auto* split = form.findChild<QSplitter*>("ViewSplit");
        split->setSizes({split->height() - 400, 400});
        QApplication::processEvents();
        strip()->Fit();
    }
    TTimelinePanel* strip() { return form.TimelinePanel(); }
    FreshSettings fresh; // before the window, which reads them
    TVorlinForm form;
};

// Painting the timeline: the whole animation fitted (thousands of keys a pixel), and zoomed to
// 8 pixels a frame (a mark per key). heap_MB: what the process holds more after the paints.
void BM_TimelinePaint(benchmark::State& state) {
    LargeTimeline t;
    if (state.range(0) == 1) {
        t.strip()->Layout.PixelsPerFrame = 8;
        t.strip()->Layout.FirstFrame = 9000;
    }
    QApplication::processEvents();
    malloc_trim(0);
    const size_t before = mallinfo2().uordblks;
    for (auto _ : state)
        t.strip()->repaint();
    state.counters["heap_MB"] = (double(mallinfo2().uordblks) - double(before)) / (1024.0 * 1024);
}
BENCHMARK(BM_TimelinePaint)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// One step of dragging 200 picked keys (two on each node) on the timeline, to the view's
// frame on screen: the keys and the rates around them change, the list, the model's pose and
// the view follow.
void BM_KeyDragStep(benchmark::State& state) {
    LargeTimeline t;
    TTimelineLayout& l = t.strip()->Layout;
    l.PixelsPerFrame = 8;
    l.FirstFrame = 9950;
    t.form.Document.PickNode(0);
    t.form.Document.Select(t.form.Document.SelectedNode(), 1000); // frame 10,000
    std::vector<TKeyRef> picks;
    for (int n = 0; n < 100; ++n)
        for (int e : {1000, 1001})
            picks.push_back({n, e});
    t.form.Document.SetPickedKeys(picks);
    FrameCounter drawn(t.form.View().PaintBox());
    const QPointF at(l.X(10000), l.RowTop(0) + l.RowHeight / 2);
    auto send = [&](QEvent::Type type, double dx, Qt::MouseButtons held) {
        const QPointF p = at + QPointF(dx, 0);
        QMouseEvent e(type, p, t.strip()->mapToGlobal(p), Qt::LeftButton, held, Qt::NoModifier);
        QApplication::sendEvent(t.strip(), &e);
    };
    send(QEvent::MouseButtonPress, 0, Qt::LeftButton);
    send(QEvent::MouseMove, 8, Qt::LeftButton);
    drawn.WaitPast(0);
    int step = 0;
    for (auto _ : state) {
        const int before = drawn.frames;
        send(QEvent::MouseMove, 8.0 * (1 + (++step % 2)), Qt::LeftButton);
        drawn.WaitPast(before);
        QApplication::processEvents(); // the timeline, the list and the status bar
    }
    send(QEvent::MouseButtonRelease, 8, Qt::NoButton);
    if (int(t.form.Document.History().Count()) != 1 || t.form.Document.SelectedKeys().size() != 200)
        state.SkipWithError("the drag did not move the 200 keys as one step");
}
BENCHMARK(BM_KeyDragStep)->Unit(benchmark::kMillisecond)->UseRealTime();

// The curves of node 0 of the same document in the same 400-pixel place, selected at entry
// 1,000 (frame 10,000), with 2,000 frames on show (Arg 0) or all 20,000 (Arg 1).
struct LargeCurves : LargeTimeline {
    LargeCurves(bool all) {
        if (!form.findChild<QAction*>("Curves1")->isChecked())
            form.findChild<QAction*>("Curves1")->trigger();
        form.Document.PickNode(0);
        form.Document.Select(form.Document.SelectedNode(), 1000);
        QApplication::processEvents();
        curves()->Fit();
        if (!all) {
            TTimelineLayout& l = curves()->Layout.Frames;
            l.PixelsPerFrame = (curves()->width() - l.Left) / 2000.0;
            l.FirstFrame = 9000;
        }
    }
    TCurvesPanel* curves() { return form.CurvesPanel(); }
};

// Sampling and painting the six curves.
void BM_CurvesPaint(benchmark::State& state) {
    LargeCurves c(state.range(0) == 1);
    QApplication::processEvents();
    if (!c.curves()->isVisible()) state.SkipWithError("the curves are not on show");
    for (auto _ : state)
        c.curves()->repaint();
}
BENCHMARK(BM_CurvesPaint)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// One step of dragging a key's Yaw up and down on the curves, to the view's frame on screen:
// the value and the rates around it change, the pose, the view and the curves follow.
void BM_CurveDragStep(benchmark::State& state) {
    LargeCurves c(false);
    const TCurveLayout& l = c.curves()->Layout;
    const TKEYEntry& e = c.form.Document.KeyFile->Nodes[0].Entries[1000];
    const QPointF at(l.Frames.X(e.Frame), l.Y(1, ShownValue(e, 4)));
    FrameCounter drawn(c.form.View().PaintBox());
    auto send = [&](QEvent::Type type, double dy, Qt::MouseButtons held) {
        const QPointF p = at + QPointF(0, dy);
        QMouseEvent m(type, p, c.curves()->mapToGlobal(p), Qt::LeftButton, held, Qt::NoModifier);
        QApplication::sendEvent(c.curves(), &m);
    };
    send(QEvent::MouseButtonPress, 0, Qt::LeftButton);
    send(QEvent::MouseMove, 6, Qt::LeftButton);
    drawn.WaitPast(0);
    int step = 0;
    for (auto _ : state) {
        const int before = drawn.frames;
        send(QEvent::MouseMove, 6.0 * (1 + (++step % 2)), Qt::LeftButton);
        drawn.WaitPast(before);
        QApplication::processEvents(); // the curves, the list and the status bar
    }
    send(QEvent::MouseButtonRelease, 6, Qt::NoButton);
    if (int(c.form.Document.History().Count()) != 1)
        state.SkipWithError("the drag did not change the value as one step");
}
BENCHMARK(BM_CurveDragStep)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
