// The timeline under the 3D view, driven on a copy of the bundled sample: keys picked, moved
// and deleted with the mouse and keys, each change one step that undo takes back whole, and
// what is saved is what the strip showed.
#include <QAction>
#include <QListWidget>
#include <QScrollBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QUndoStack>

#include "app/vorlinform.h"
#include "key/u_key.h"
#include "panels/timeline/timeline_panel.h"
#include "ui_helpers.h"

using namespace vorlin;
using namespace vorlin::test;

namespace {

const std::string kSample = VORLIN_SAMPLE_DIR;
constexpr int kRoot = 0, kTorso = 1, kArm = 3; // arm: entries at frames 0, 8, 16, 24

std::vector<int> Frames(const TKEYFile& doc, int node) {
    std::vector<int> frames;
    for (const auto& e : doc.Nodes[node].Entries)
        frames.push_back(e->Frame);
    return frames;
}

// The document's rates are the ones its values and frames lead to.
bool RatesDerived(const TKEYFile& doc) {
    auto again = doc.Clone();
    again->RecalcAll();
    return again->ToText() == doc.ToText();
}

} // namespace

class TestTimeline : public QObject, public UiTestBase {
    Q_OBJECT

    std::unique_ptr<TVorlinForm> form_;
    std::string keyPath_;

    TVorlinForm& F() { return *form_; }
    TKEYFile& Doc() { return *F().Session.KeyFile; }
    TTimelinePanel* Strip() { return F().TimelinePanel(); }
    QListWidget* List() { return Get<QListWidget>(form_.get(), "LBKEY"); }
    QTreeWidget* Tree() { return Get<QTreeWidget>(form_.get(), "TV3DO"); }
    // The sample in a window with room for every row of the strip (the default size scrolls
    // them, which a test of its own covers).
    void Open() {
        keyPath_ = files_->write("walk.key", ReadAll(kSample + "/3do/key/walk.key"));
        Settings.TIMELINE_HEIGHT = 280;
        Settings.VORLIN_HEIGHT = 720;
        Settings.VORLIN_WIDTH = 900;
        form_ = std::make_unique<TVorlinForm>();
        form_->show();
        VERIFY_ACTIVE(form_.get());
        form_->Load3DO(QString::fromStdString(kSample + "/3do/sample.3do"));
        form_->LoadKEY(QString::fromStdString(keyPath_));
        QVERIFY(Strip()->isVisible());
    }
    // The middle of a key's mark on the strip.
    QPoint Key(int row, int frame) {
        const TTimelineLayout& l = Strip()->Layout;
        return QPointF(l.X(frame), l.RowTop(row) + l.RowHeight / 2).toPoint();
    }
    void Click(QPoint at, Qt::KeyboardModifiers keys = {}) {
        QTest::mouseClick(Strip(), Qt::LeftButton, keys, at);
    }
    void Keys(const char* keys) {
        QTest::keySequence(form_.get(), QKeySequence(keys));
        QApplication::processEvents();
    }

private slots:
    void init() { InitBase(); }
    void cleanup() {
        form_.reset();
        CleanupBase();
    }

    // Torso selected in the tree, its next key, a frame later, saved; undone; the panel hidden
    // and shown, all from the keyboard with the focus in the entry list.
    void theKeyboardStepsNudgesAndSaves() {
        SETUP(Open());
        const std::string original = ReadAll(keyPath_);
        QTest::mouseClick(Tree()->viewport(), Qt::LeftButton, {},
                          Tree()->visualItemRect(Tree()->topLevelItem(kTorso)).center());
        List()->setFocus();
        QCOMPARE(List()->item(1)->text(), QString("Entry 1 (16)"));

        Keys("Alt+Right"); // the first entry stays at frame 0
        QCOMPARE(Frames(Doc(), kTorso), (std::vector<int>{0, 16}));
        QCOMPARE(F().UndoStack->count(), 0);

        Keys("Ctrl+Right");
        QCOMPARE(SelectedEntry, 1);
        QCOMPARE(F().CurrentFrame(), 16);
        Keys("Alt+Right");
        QCOMPARE(Frames(Doc(), kTorso), (std::vector<int>{0, 17}));
        QCOMPARE(F().CurrentFrame(), 17);
        QCOMPARE(List()->item(1)->text(), QString("Entry 1 (17)"));
        QCOMPARE(F().UndoStack->undoText(), QString("Move Keys"));
        Keys("Ctrl+Left");
        QCOMPARE(SelectedEntry, 0);

        Keys("Ctrl+S");
        auto saved = TKEYFile::CreateFromFile(keyPath_);
        QCOMPARE(Frames(*saved, kTorso), (std::vector<int>{0, 17}));
        QVERIFY(RatesDerived(*saved));
        QVERIFY(
            saved->Nodes[kTorso].Entries[0].DYaw !=
            TKEYFile::CreateFromFile(kSample + "/3do/key/walk.key")->Nodes[kTorso].Entries[0].DYaw);

        Keys("Ctrl+Z");
        QCOMPARE(Frames(Doc(), kTorso), (std::vector<int>{0, 16}));
        Keys("Ctrl+S");
        QCOMPARE(ReadAll(keyPath_), original);

        Keys("Ctrl+T");
        QVERIFY(!Strip()->isVisible());
        QVERIFY(!Get<QAction>(form_.get(), "Timeline1")->isChecked());
        Keys("Ctrl+T");
        QVERIFY(Strip()->isVisible());
    }

    // A click picks a key as the entry list does; Shift+click and a band pick several; a drag
    // moves them together; Delete deletes them; each one step.
    void theMousePicksMovesAndDeletesKeys() {
        SETUP(Open());
        Get<QToolButton>(form_.get(), "BNAutoCopy")->click();
        Click(Key(kArm, 16));
        QCOMPARE(Tree()->currentItem()->text(0), QString("l_upper_arm"));
        QCOMPARE(List()->currentRow(), 2);
        QCOMPARE(F().CurrentFrame(), 16);
        QCOMPARE(F().UndoStack->undoText(), QString("Auto Copy")); // as a click in the list
        Get<QToolButton>(form_.get(), "BNAutoCopy")->click();
        F().UndoStack->undo();
        const std::string before = Doc().ToText();
        // Undone, the keys the step changed are picked: Auto Copy carried values forward.
        QCOMPARE(F().Session.SelectedKeys(), (std::vector<TKeyRef>{{kArm, 2}, {kArm, 3}}));
        Click(Key(kArm, 16));

        Click(Key(kArm, 24), Qt::ShiftModifier);
        QCOMPARE(F().Session.SelectedKeys().size(), size_t(2));
        // Two frames to the right: both keys go, the last one stops at the last frame.
        const int frame = int(Strip()->Layout.PixelsPerFrame);
        Drag(Strip(), Key(kArm, 16),
             {Key(kArm, 16) + QPoint(frame, 0), Key(kArm, 16) + QPoint(2 * frame + 1, 0)});
        QCOMPARE(Frames(Doc(), kArm), (std::vector<int>{0, 8, 18, 26}));
        QVERIFY(RatesDerived(Doc()));
        QCOMPARE(F().UndoStack->undoText(), QString("Move Keys"));
        QCOMPARE(List()->item(3)->text(), QString("Entry 3 (26)"));
        F().UndoStack->undo();
        QCOMPARE(Doc().ToText(), before);

        // A band over root and torso from frame 7 to 17, then Delete on the strip.
        Drag(Strip(), Key(kRoot, 7) - QPoint(0, 6), {Key(kTorso, 17) + QPoint(0, 6)});
        QCOMPARE(F().Session.SelectedKeys(),
                 (std::vector<TKeyRef>{{kRoot, 1}, {kRoot, 2}, {kTorso, 1}}));
        Strip()->setFocus();
        QTest::keyClick(Strip(), Qt::Key_Delete);
        QCOMPARE(Frames(Doc(), kRoot), (std::vector<int>{0, 24}));
        QCOMPARE(Frames(Doc(), kTorso), (std::vector<int>{0}));
        QVERIFY(RatesDerived(Doc()));
        QCOMPARE(F().UndoStack->undoText(), QString("Delete Keys"));
        F().UndoStack->undo();
        QCOMPARE(Doc().ToText(), before);

        // The ruler scrubs; an empty place of a row selects its node; the wheel zooms.
        Click(QPointF(Strip()->Layout.X(5), 5).toPoint());
        QCOMPARE(Get<QScrollBar>(form_.get(), "SBFrame")->value(), 5);
        Click(Key(kTorso, 4));
        QCOMPARE(SelectedNode, kTorso);
        const double zoom = Strip()->Layout.PixelsPerFrame;
        QWheelEvent wheel(QPointF(Key(kTorso, 4)), Strip()->mapToGlobal(QPointF(Key(kTorso, 4))),
                          {}, QPoint(0, 120), Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase,
                          false);
        QApplication::sendEvent(Strip(), &wheel);
        QCOMPARE(Strip()->Layout.PixelsPerFrame, zoom * 1.25);
        QCOMPARE(Doc().ToText(), before);
    }
};

QTEST_MAIN(TestTimeline)
#include "test_timeline.moc"
