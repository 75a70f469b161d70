// The timeline's and the curves' commands on a large animation, each measured from its key to
// the view's frame on screen (run under xvfb-run): 50 nodes, a key every other frame of 2,000
// (50,000 keys), every key picked, the window at a maximised size, after a long session (many
// steps on the undo stack). A command that acts on the picked keys has 100 ms, a drag step 16.
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QSplitter>
#include <benchmark/benchmark.h>
#include <functional>
#include <memory>

#include "app/autosave.h"
#include "app/file_commands.h"
#include "app/vorlinform.h"
#include "panels/transport/transport_panel.h"
#include "panels/view/view_panel.h"
#include "bench_inputs.h"
#include "panels/timeline/timeline_panel.h"
#include "panels/view/view_panel.h"
#include "panels/view/paint_box.h"
#include "settings/GlobalVars.h"

using namespace vorlin;

namespace {

// Counts the frames the view draws, to wait until a step is on screen.
struct FrameCounter {
    explicit FrameCounter(TPaintBox* view) {
        view->onPaint = [this, paint = view->onPaint] {
            paint();
            ++frames;
        };
    }
    void WaitPast(int before) const {
        while (frames == before)
            QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    int frames = 0;
};

struct FreshSettings {
    FreshSettings() {
        AssignDefaults();
        Settings.AUTOSAVE_SECONDS = 0; // a copy for recovery would fall into some steps
    }
};

constexpr int kNodes = 50, kKeys = 1000, kGap = 2;

struct LargeSession {
    LargeSession() {
        form.resize(1280, 960);
        form.show();
        while (!form.View().Renderer())
            QApplication::processEvents();
        form.Document.Model = bench::LargeModel(kNodes, 10000, 4);
        form.Document.Changed(chModel);
        form.Document.SetKey(bench::LargeKey(*form.Document.Model, kNodes, kKeys, kGap));
        form.View().ViewZoom = 20;
        auto* split = form.findChild<QSplitter*>("ViewSplit");
        split->setSizes({split->height() - 400, 400});
        QApplication::processEvents();
        strip()->Fit();
        strip()->setFocus();
        drawn = std::make_unique<FrameCounter>(form.View().PaintBox());
        // A long session: a hundred steps done before.
        Key(Qt::Key_A);
        for (int i = 0; i < 50; ++i) {
            Action("NudgeKeysLater1");
            Action("NudgeKeysEarlier1");
        }
        Key(Qt::Key_A);
        QApplication::processEvents();
    }
    TTimelinePanel* strip() { return form.TimelinePanel(); }
    void Key(int key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QKeyEvent press(QEvent::KeyPress, key, mods);
        QApplication::sendEvent(strip(), &press);
        QKeyEvent release(QEvent::KeyRelease, key, mods);
        QApplication::sendEvent(strip(), &release);
    }
    void Action(const char* name) { form.findChild<QAction*>(name)->trigger(); }
    void Mouse(QEvent::Type type, QPointF at, Qt::MouseButtons held) {
        QMouseEvent e(type, at, strip()->mapToGlobal(at), Qt::LeftButton, held, Qt::NoModifier);
        QApplication::sendEvent(strip(), &e);
    }
    // Runs a command and waits for the view's frame after it and the panels' paints; the time
    // it took.
    double Timed(const std::function<void()>& command) {
        QApplication::processEvents();
        const int before = drawn->frames;
        QElapsedTimer t;
        t.start();
        command();
        // Commands that change nothing on screen draw no frame: a paint of the panels ends them.
        form.View().PaintBox()->Repaint();
        drawn->WaitPast(before);
        QApplication::processEvents();
        return double(t.nsecsElapsed()) / 1e9;
    }
    size_t Picked() const { return form.Document.SelectedKeys().size(); }
    FreshSettings fresh;
    TVorlinForm form;
    std::unique_ptr<FrameCounter> drawn;
};

// One session for every benchmark, as a user's long one; it goes before the application.
std::unique_ptr<LargeSession> session;
LargeSession& Session() {
    if (!session) session = std::make_unique<LargeSession>();
    return *session;
}

// A command on every key picked, its undo (not timed) between runs.
void Measure(benchmark::State& state, const std::function<void(LargeSession&)>& command,
             bool undo) {
    LargeSession& s = Session();
    for (auto _ : state) {
        s.Key(Qt::Key_A);
        const int steps = int(s.form.Document.History().Index());
        state.SetIterationTime(s.Timed([&] { command(s); }));
        if (undo && int(s.form.Document.History().Index()) > steps) s.Action("Undo1");
    }
    state.counters["picked"] = double(s.Picked());
}

void BM_NudgeAllKeys(benchmark::State& state) {
    Measure(
        state, [](LargeSession& s) { s.Action("NudgeKeysLater1"); }, true);
}
BENCHMARK(BM_NudgeAllKeys)->Unit(benchmark::kMillisecond)->UseManualTime();

void BM_SelectAll(benchmark::State& state) {
    LargeSession& s = Session();
    for (auto _ : state) {
        s.Key(Qt::Key_A, Qt::AltModifier);
        state.SetIterationTime(s.Timed([&] { s.Key(Qt::Key_A); }));
    }
    state.counters["picked"] = double(s.Picked());
}
BENCHMARK(BM_SelectAll)->Unit(benchmark::kMillisecond)->UseManualTime();

void BM_SelectNone(benchmark::State& state) {
    LargeSession& s = Session();
    for (auto _ : state) {
        s.Key(Qt::Key_A);
        state.SetIterationTime(s.Timed([&] { s.Key(Qt::Key_A, Qt::AltModifier); }));
    }
}
BENCHMARK(BM_SelectNone)->Unit(benchmark::kMillisecond)->UseManualTime();

// Insert Key with the summary row picked: a key on every node at a frame between keys.
void BM_InsertKeyOnSummary(benchmark::State& state) {
    LargeSession& s = Session();
    TTimelineLayout& l = s.strip()->Layout;
    for (auto _ : state) {
        const QPointF mark(l.X(1000), l.SummaryTop() + l.SummaryHeight / 2);
        s.Mouse(QEvent::MouseButtonPress, mark, Qt::LeftButton);
        s.Mouse(QEvent::MouseButtonRelease, mark, Qt::NoButton);
        s.form.Document.SetFrame(1001);
        state.SetIterationTime(s.Timed([&] { s.Action("InsertKey1"); }));
        state.counters["made"] = double(s.Picked());
        s.Action("Undo1");
    }
}
BENCHMARK(BM_InsertKeyOnSummary)->Unit(benchmark::kMillisecond)->UseManualTime();

void BM_DeleteAllKeys(benchmark::State& state) {
    Measure(
        state, [](LargeSession& s) { s.Key(Qt::Key_Delete); }, true);
}
BENCHMARK(BM_DeleteAllKeys)->Unit(benchmark::kMillisecond)->UseManualTime();

void BM_CopyAllKeys(benchmark::State& state) {
    Measure(
        state, [](LargeSession& s) { s.Key(Qt::Key_C, Qt::ControlModifier); }, false);
}
BENCHMARK(BM_CopyAllKeys)->Unit(benchmark::kMillisecond)->UseManualTime();

void BM_PasteAllKeys(benchmark::State& state) {
    Measure(
        state,
        [](LargeSession& s) {
            s.form.Document.SetFrame(0);
            s.Key(Qt::Key_C, Qt::ControlModifier);
            s.Key(Qt::Key_V, Qt::ControlModifier);
        },
        true);
}
BENCHMARK(BM_PasteAllKeys)->Unit(benchmark::kMillisecond)->UseManualTime();

// S, a factor typed, Enter: every key scaled about frame 0.
void BM_ScaleAllKeys(benchmark::State& state) {
    Measure(
        state,
        [](LargeSession& s) {
            s.form.Document.SetFrame(0);
            s.Key(Qt::Key_S);
            QWidget* field = s.strip()->findChild<QLineEdit*>();
            for (int key : {Qt::Key_Backspace, Qt::Key_0, Qt::Key_Period, Qt::Key_5}) {
                QKeyEvent k(QEvent::KeyPress, key, Qt::NoModifier,
                            key == Qt::Key_Backspace ? QString() : QString(QChar(key)));
                QApplication::sendEvent(field, &k);
            }
            QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
            QApplication::sendEvent(field, &enter);
        },
        true);
}
BENCHMARK(BM_ScaleAllKeys)->Unit(benchmark::kMillisecond)->UseManualTime();

void BM_UndoRedoAllKeys(benchmark::State& state) {
    LargeSession& s = Session();
    s.Key(Qt::Key_A);
    s.Action("NudgeKeysLater1");
    bool undo = true;
    for (auto _ : state) {
        state.SetIterationTime(s.Timed([&] { s.Action(undo ? "Undo1" : "Redo1"); }));
        undo = !undo;
    }
    if (!undo) s.Action("Undo1");
    state.counters["picked"] = double(s.Picked());
}
BENCHMARK(BM_UndoRedoAllKeys)->Unit(benchmark::kMillisecond)->UseManualTime();

// One step of dragging every key on the timeline, to the view's frame on screen.
void BM_DragAllKeysStep(benchmark::State& state) {
    LargeSession& s = Session();
    s.Key(Qt::Key_A);
    TTimelineLayout& l = s.strip()->Layout;
    l.PixelsPerFrame = 8;
    l.FirstFrame = 900;
    s.strip()->update();
    const TKEYEntry& e = s.form.Document.KeyFile->Nodes[0].Entries[500];
    const QPointF at(l.X(e.Frame), l.RowTop(0) + l.RowHeight / 2);
    s.Mouse(QEvent::MouseButtonPress, at, Qt::LeftButton);
    s.Mouse(QEvent::MouseMove, at + QPointF(8, 0), Qt::LeftButton);
    int step = 0;
    for (auto _ : state) {
        ++step;
        state.SetIterationTime(s.Timed([&] {
            s.Mouse(QEvent::MouseMove, at + QPointF(8.0 * (1 + step % 2), 0), Qt::LeftButton);
        }));
    }
    s.Mouse(QEvent::MouseButtonRelease, at + QPointF(8, 0), Qt::NoButton);
    state.counters["picked"] = double(s.Picked());
    s.Action("Undo1");
    s.strip()->Fit();
}
BENCHMARK(BM_DragAllKeysStep)->Unit(benchmark::kMillisecond)->UseManualTime();

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    session.reset();
    return 0;
}
