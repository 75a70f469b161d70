// The animator's keys on the timeline, with real mouse and key events on a copy of the bundled
// sample: keys grabbed by a typed offset, columns and the keys between markers picked without
// Alt, a box from B; markers added, retyped, dragged and deleted on the strip, each one step,
// the ninth refused; a preview range that playback, Home and End keep to, kept for the file and
// never written into it.
#include <QCursor>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QScrollBar>
#include <QStatusBar>
#include <QTableWidget>
#include <QTreeWidget>

#include "app/file_commands.h"
#include "app/vorlinform.h"
#include "common/action_table.h"
#include "edit/marker_edit.h"
#include "key/u_key.h"
#include "panels/timeline/timeline_panel.h"
#include "ui_helpers.h"

using namespace vorlin;
using namespace vorlin::test;

namespace {

const std::string kSample = VORLIN_SAMPLE_DIR;
constexpr int kArm = 3; // entries at frames 0, 8, 16, 24; markers at 2 (type 1) and 18 (type 2)

std::vector<int> Frames(const TKEYFile& doc, int node) {
    std::vector<int> frames;
    for (const auto& e : doc.Nodes[node].Entries)
        frames.push_back(e->Frame);
    return frames;
}

std::vector<std::pair<double, int>> Markers(const TKEYFile& doc) {
    std::vector<std::pair<double, int>> out;
    for (const auto& m : doc.Markers)
        out.emplace_back(m->Frame, m->MarkerType);
    return out;
}

} // namespace

class TestTimelineEditing : public QObject, public UiTestBase {
    Q_OBJECT

    std::unique_ptr<TVorlinForm> form_;
    std::string keyPath_;

    TVorlinForm& F() { return *form_; }
    TKeyDocument& D() { return F().Document; }
    TKEYFile& Doc() { return *D().KeyFile; }
    TTimelinePanel* Strip() { return F().TimelinePanel(); }
    const TTimelineLayout& L() { return Strip()->Layout; }
    QString Status() { return F().statusBar()->currentMessage(); }

    void Open() {
        keyPath_ = files_->write("walk.key", ReadAll(kSample + "/3do/key/walk.key"));
        Settings.TIMELINE_HEIGHT = 280;
        Settings.VORLIN_HEIGHT = 720;
        Settings.VORLIN_WIDTH = 900;
        form_ = std::make_unique<TVorlinForm>();
        form_->show();
        VERIFY_ACTIVE(form_.get());
        form_->Files().Load3DO(QString::fromStdString(kSample + "/3do/sample.3do"));
        form_->Files().LoadKEY(QString::fromStdString(keyPath_));
        QVERIFY(Strip()->isVisible());
    }
    QPoint Key(int row, int frame) {
        return QPointF(L().X(frame), L().RowTop(row) + L().RowHeight / 2).toPoint();
    }
    QPoint Marker(double frame) {
        return QPointF(L().X(frame), L().RulerHeight + L().MarkerHeight / 2).toPoint();
    }
    QPoint Ruler(int frame) { return QPointF(L().X(frame), L().RulerHeight / 2).toPoint(); }
    void Click(QPoint at, Qt::KeyboardModifiers keys = {}, Qt::MouseButton b = Qt::LeftButton) {
        QTest::mouseClick(Strip(), b, keys, at);
        QApplication::processEvents();
    }
    void Press(QWidget* w, Qt::Key key, Qt::KeyboardModifiers mods = {}) {
        w->setFocus();
        QTest::keyClick(w, key, mods);
        QApplication::processEvents();
    }
    // The menu of marker types that opened, its entry of that name chosen.
    void Choose(const char* name) {
        QMenu* menu = nullptr;
        QTRY_VERIFY((menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())));
        QCOMPARE(menu->objectName(), QString("MarkerMenu"));
        QAction* a = menu->findChild<QAction*>(name);
        QVERIFY2(a, name);
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(a).center());
        QTRY_VERIFY(!QApplication::activePopupWidget());
    }

private slots:
    void init() { InitBase(); }
    void cleanup() {
        form_.reset();
        CleanupBase();
    }

    // G with -4 typed, the pointer then ignored; G given up by Escape and by a right click;
    // K, Ctrl+K between two markers and B, without Alt.
    void keysAreGrabbedAndPickedFromTheKeyboard() {
        SETUP(Open());
        const std::string original = Doc().ToText();
        Click(Key(kArm, 16));
        Click(Key(kArm, 24), Qt::ShiftModifier);
        QTest::mouseMove(Strip(), Key(kArm, 20));
        Press(Strip(), Qt::Key_G);
        auto* field = Get<QLineEdit>(Strip(), "EBScaleFactor");
        QVERIFY(field->isVisible());
        QTest::keyClicks(field, "-4");
        QCOMPARE(Frames(Doc(), kArm), (std::vector<int>{0, 8, 12, 20})); // shown as typed
        QTest::mouseMove(Strip(), Key(kArm, 28)); // typed: the pointer no longer moves them
        QCOMPARE(Frames(Doc(), kArm), (std::vector<int>{0, 8, 12, 20}));
        QTest::keyClick(field, Qt::Key_Return);
        QVERIFY(!field->isVisible());
        QCOMPARE(Frames(Doc(), kArm), (std::vector<int>{0, 8, 12, 20}));
        QCOMPARE(UndoText(D()), QString("Move Keys"));
        // No key passes another of its node: -9 stops after 8.
        Press(Strip(), Qt::Key_G);
        QTest::keyClicks(field, "-9");
        QTest::keyClick(field, Qt::Key_Return);
        QCOMPARE(Frames(Doc(), kArm), (std::vector<int>{0, 8, 9, 17}));
        D().Undo();
        QCOMPARE(Frames(Doc(), kArm), (std::vector<int>{0, 8, 12, 20}));
        const size_t steps = D().History().Count();
        // Followed by the pointer, then given up: Escape, a right click; no step either time.
        const int frame = D().Frame();
        for (bool escape : {true, false}) {
            QCursor::setPos(Strip()->mapToGlobal(Key(kArm, 20)));
            QTRY_COMPARE(Strip()->mapFromGlobal(QCursor::pos()), Key(kArm, 20));
            Press(Strip(), Qt::Key_G);
            SendMouse(Strip(), QEvent::MouseMove, Key(kArm, 23), Qt::NoButton, Qt::NoButton);
            QCOMPARE(Frames(Doc(), kArm), (std::vector<int>{0, 8, 15, 23}));
            if (escape)
                QTest::keyClick(field, Qt::Key_Escape);
            else
                Click(Key(kArm, 23), {}, Qt::RightButton);
            QCOMPARE(Frames(Doc(), kArm), (std::vector<int>{0, 8, 12, 20}));
            QCOMPARE(D().History().Count(), steps);
            QCOMPARE(D().Frame(), frame);
            QVERIFY(!QApplication::activePopupWidget()); // the right click opened no menu
        }
        D().Undo();
        QCOMPARE(Doc().ToText(), original);

        // K: every key at the picked key's frame; Shift+click on an empty place keeps them.
        Click(Key(kArm, 8));
        Press(Strip(), Qt::Key_K);
        QCOMPARE(D().SelectedKeys(), KeysAtFrame(Doc(), 8));
        Click(Key(kArm, 4), Qt::ShiftModifier);
        QCOMPARE(D().SelectedKeys(), KeysAtFrame(Doc(), 8));
        // ... and I then keys their nodes, not every node (as the summary row would).
        Get<QScrollBar>(form_.get(), "SBFrame")->setValue(6);
        Press(Strip(), Qt::Key_I);
        QCOMPARE(KeysAtFrame(Doc(), 6).size(), NodesOf(KeysAtFrame(Doc(), 8)).size());
        D().Undo();
        // While playing, keys do not move and the status bar says why.
        Press(Strip(), Qt::Key_Space);
        QVERIFY(D().Playing());
        Press(Strip(), Qt::Key_G);
        QVERIFY(!field->isVisible());
        QVERIFY2(Status().contains("Space stops"), qPrintable(Status()));
        Press(Strip(), Qt::Key_Space);
        QVERIFY(!D().Playing());
        Click(Key(kArm, 8));
        Press(Strip(), Qt::Key_K);
        // Ctrl+K: the markers at 2 and 18 picked, the keys between them (Check KEY elsewhere).
        Click(Marker(2));
        Click(Marker(18), Qt::ShiftModifier);
        QCOMPARE(D().PickedMarkers(), (std::vector<int>{0, 1}));
        Press(Strip(), Qt::Key_K, Qt::ControlModifier);
        QCOMPARE(D().SelectedKeys(), KeysBetween(Doc(), 2, 18));
        QVERIFY(D().PickedMarkers().empty());
        QVERIFY(!QApplication::activeModalWidget());
        // B: a drag that starts on a key draws a box instead of moving it.
        Click(Key(kArm, 0));
        Press(Strip(), Qt::Key_B);
        Drag(Strip(), Key(kArm, 8) + QPoint(-3, -5), {Key(kArm, 12), Key(kArm, 16) + QPoint(3, 5)});
        QCOMPARE(D().SelectedKeys(), (std::vector<TKeyRef>{{kArm, 1}, {kArm, 2}}));
        QCOMPARE(Doc().ToText(), original);
        // Escape gives up a box to come: the next drag on a key moves it again.
        Press(Strip(), Qt::Key_B);
        Press(Strip(), Qt::Key_Escape);
        Drag(Strip(), Key(kArm, 16), {Key(kArm, 18), Key(kArm, 19)});
        QCOMPARE(Frames(Doc(), kArm), (std::vector<int>{0, 11, 19, 24}));
    }

    // M then Ctrl+Z; a marker added from the right-click menu sets the type M gives; a
    // double-click retypes; a drag moves by whole frames, Ctrl to a key; Delete removes the
    // picked one; the ninth is refused; the Markers dialog shows the same list.
    void markersAreEditedOnTheStrip() {
        SETUP(Open());
        const std::string original = Doc().ToText();
        auto* slider = Get<QScrollBar>(form_.get(), "SBFrame");
        auto* list = Get<QListWidget>(form_.get(), "LBKEY");
        slider->setValue(12);
        Press(list, Qt::Key_M);
        QCOMPARE(Markers(Doc()), (std::vector<std::pair<double, int>>{{2, 1}, {12, 1}, {18, 2}}));
        QCOMPARE(UndoText(D()), QString("Add Marker"));
        QTest::keySequence(form_.get(), QKeySequence("Ctrl+Z"));
        QCOMPARE(Doc().ToText(), original);
        QVERIFY(!D().Modified());
        QCOMPARE(UndoText(D()), QString()); // one step, and it is undone

        Click(Marker(6), {}, Qt::RightButton);
        Choose("MarkerType9"); // Right running footstep
        QCOMPARE(Markers(Doc()), (std::vector<std::pair<double, int>>{{2, 1}, {6, 9}, {18, 2}}));
        QCOMPARE(Settings.MARKER_TYPE, 9);
        slider->setValue(20);
        Press(Strip(), Qt::Key_M);
        QCOMPARE(Markers(Doc()).back(), (std::pair<double, int>{20, 9}));
        QTest::mouseDClick(Strip(), Qt::LeftButton, {}, Marker(18));
        Choose("MarkerType12");
        QCOMPARE(Markers(Doc())[2], (std::pair<double, int>{18, 12}));
        QCOMPARE(UndoText(D()), QString("Change Marker Type"));

        // Dragged 3 frames and a bit: whole frames; with Ctrl, onto the key at 24.
        Drag(Strip(), Marker(18),
             {Marker(19), Marker(21) + QPoint(int(L().PixelsPerFrame / 3), 0)});
        QCOMPARE(Markers(Doc())[2], (std::pair<double, int>{21, 12}));
        QCOMPARE(UndoText(D()), QString("Move Marker"));
        SendMouse(Strip(), QEvent::MouseButtonPress, Marker(21), Qt::LeftButton, Qt::LeftButton);
        SendMouse(Strip(), QEvent::MouseMove, Marker(23), Qt::NoButton, Qt::LeftButton,
                  Qt::ControlModifier);
        SendMouse(Strip(), QEvent::MouseButtonRelease, Marker(23), Qt::LeftButton, Qt::NoButton,
                  Qt::ControlModifier);
        QCOMPARE(Markers(Doc())[2].first, 24.0);
        // Past the last frame it stops at it.
        Drag(Strip(), Marker(24), {Marker(28), Marker(40)});
        QCOMPARE(Markers(Doc())[2].first, double(Doc().Frames - 1));
        const size_t steps = D().History().Count();
        Click(Marker(6));
        Press(Strip(), Qt::Key_Delete);
        QCOMPARE(Markers(Doc()).size(), size_t(3));
        QCOMPARE(UndoText(D()), QString("Delete Marker"));
        QCOMPARE(D().History().Count(), steps + 1);
        // Delete with keys picked, not markers, deletes keys as before.
        Click(Key(kArm, 16));
        Press(Strip(), Qt::Key_Delete);
        QCOMPARE(Frames(Doc(), kArm), (std::vector<int>{0, 8, 24}));
        QCOMPARE(Markers(Doc()).size(), size_t(3));

        // The game reads eight: the ninth is refused by name.
        for (int f : {3, 4, 5, 7, 9}) {
            slider->setValue(f);
            Press(Strip(), Qt::Key_M);
        }
        QCOMPARE(Doc().Markers.Count(), 8);
        const std::string full = Doc().ToText();
        slider->setValue(10);
        Press(Strip(), Qt::Key_M);
        QCOMPARE(Doc().ToText(), full);
        QCOMPARE(Status(), QString::fromStdString(MarkerLimitText()));

        // Edit > Markers opens on the same list, at the marker picked on the strip.
        Click(Marker(9));
        const int picked = D().PickedMarkers().front();
        WhenModal([&](QWidget* dialog) {
            auto* grid = Get<QTableWidget>(dialog, "MarkersGrid");
            QCOMPARE(grid->rowCount(), 8);
            QCOMPARE(grid->currentRow(), picked);
            // M gave it the type chosen last, from the double-click's menu.
            QCOMPARE(grid->item(picked, 0)->text(), QString("Jumping"));
            QCOMPARE(grid->item(picked, 1)->text(), QString("Frame = 9"));
            qobject_cast<QDialog*>(dialog)->reject();
        });
        F().Actions().Trigger("Markers1");
        QCOMPARE(Doc().ToText(), full);
    }

    // P and a drag on the ruler set the range; Home and End go to its ends; playback wraps
    // within it; saved, the file has no word of it; opened again, it is back; Alt+P clears it.
    void playbackKeepsToThePreviewRange() {
        SETUP(Open());
        const std::string onDisk = ReadAll(keyPath_);
        auto* list = Get<QListWidget>(form_.get(), "LBKEY");
        auto* slider = Get<QScrollBar>(form_.get(), "SBFrame");
        Press(Strip(), Qt::Key_P);
        Drag(Strip(), Ruler(16), {Ruler(12), Ruler(8)});
        QCOMPARE(D().PreviewRange(), (TFrameRange{8, 16}));
        QCOMPARE(D().History().Count(), size_t(0));
        QVERIFY(!D().Modified());
        Press(slider, Qt::Key_End);
        QCOMPARE(D().Frame(), 16);
        Press(slider, Qt::Key_Home);
        QCOMPARE(D().Frame(), 8);
        // A plain drag on the ruler still scrubs: the range stays.
        Drag(Strip(), Ruler(3), {Ruler(5)});
        QCOMPARE(D().Frame(), 5);
        QCOMPARE(D().PreviewRange(), (TFrameRange{8, 16}));

        std::vector<int> shown;
        const int watch = D().Observe([&](const TDocumentChange& c) {
            if (c.Has(chFrame)) shown.push_back(D().Frame());
        });
        Press(list, Qt::Key_Space);
        QTRY_VERIFY_WITH_TIMEOUT(std::count(shown.begin(), shown.end(), 8) >= 2, 10000);
        Press(list, Qt::Key_Space);
        D().Forget(watch);
        QVERIFY(!D().Playing());
        for (int f : shown)
            QVERIFY2(f >= 8 && f <= 16, qPrintable(QString::number(f)));
        QVERIFY(std::find(shown.begin(), shown.end(), 16) != shown.end());

        QTest::keySequence(form_.get(), QKeySequence("Ctrl+S"));
        QCOMPARE(ReadAll(keyPath_), onDisk);
        F().Files().LoadKEY(QString::fromStdString(keyPath_));
        QCOMPARE(D().PreviewRange(), (TFrameRange{8, 16}));
        Press(list, Qt::Key_P, Qt::AltModifier);
        QCOMPARE(D().PreviewRange(), std::nullopt);
        Press(slider, Qt::Key_End);
        QCOMPARE(D().Frame(), D().LastFrame());
        F().Files().LoadKEY(QString::fromStdString(keyPath_));
        QCOMPARE(D().PreviewRange(), std::nullopt);
        // Ctrl and a drag on the ruler set it too; a click with P sets none.
        Drag(Strip(), Ruler(20), {Ruler(30)});
        QCOMPARE(D().PreviewRange(), std::nullopt);
        SendMouse(Strip(), QEvent::MouseButtonPress, Ruler(20), Qt::LeftButton, Qt::LeftButton,
                  Qt::ControlModifier);
        SendMouse(Strip(), QEvent::MouseMove, Ruler(40), Qt::NoButton, Qt::LeftButton,
                  Qt::ControlModifier);
        SendMouse(Strip(), QEvent::MouseButtonRelease, Ruler(40), Qt::LeftButton, Qt::NoButton,
                  Qt::ControlModifier);
        QCOMPARE(D().PreviewRange(), (TFrameRange{20, 31}));
        Press(Strip(), Qt::Key_P);
        Click(Ruler(4));
        QCOMPARE(D().PreviewRange(), (TFrameRange{20, 31}));
        QVERIFY2(Status().contains("unchanged"), qPrintable(Status()));
    }
};

QTEST_MAIN(TestTimelineEditing)
#include "test_timeline_editing.moc"
