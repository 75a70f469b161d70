// The timeline under the 3D view, driven on a copy of the bundled sample: keys picked, moved
// and deleted with the mouse and keys, each change one step that undo takes back whole, and
// what is saved is what the strip showed.
#include <QAction>
#include <QLineEdit>
#include <QListWidget>
#include <QScrollBar>
#include <QStatusBar>
#include <QStyle>
#include <QToolButton>
#include <QTreeWidget>
#include <QWheelEvent>
#include <cmath>

#include "app/autosave.h"
#include "app/file_commands.h"
#include "app/vorlinform.h"
#include "panels/transport/transport_panel.h"
#include "panels/view/view_panel.h"
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
    TKEYFile& Doc() { return *F().Document.KeyFile; }
    TTimelinePanel* Strip() { return F().TimelinePanel(); }
    QListWidget* List() { return Get<QListWidget>(form_.get(), "LBKEY"); }
    QTreeWidget* Tree() { return Get<QTreeWidget>(form_.get(), "TV3DO"); }
    // The sample in a window with room for every row of the strip (the default size scrolls
    // them, which a test of its own covers).
    void Open(bool roomy = true) {
        keyPath_ = files_->write("walk.key", ReadAll(kSample + "/3do/key/walk.key"));
        if (roomy) {
            Settings.TIMELINE_HEIGHT = 280;
            Settings.VORLIN_HEIGHT = 720;
            Settings.VORLIN_WIDTH = 900;
        }
        form_ = std::make_unique<TVorlinForm>();
        form_->show();
        VERIFY_ACTIVE(form_.get());
        form_->Files().Load3DO(QString::fromStdString(kSample + "/3do/sample.3do"));
        form_->Files().LoadKEY(QString::fromStdString(keyPath_));
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
        QCOMPARE(int(F().Document.History().Count()), 0);

        Keys("Ctrl+Right");
        QCOMPARE(F().Document.SelectedEntry(), 1);
        QCOMPARE(F().Document.Frame(), 16);
        Keys("Alt+Right");
        QCOMPARE(Frames(Doc(), kTorso), (std::vector<int>{0, 17}));
        QCOMPARE(F().Document.Frame(), 17);
        QCOMPARE(List()->item(1)->text(), QString("Entry 1 (17)"));
        QCOMPARE(UndoText(F().Document), QString("Move Keys"));
        Keys("Ctrl+Left");
        QCOMPARE(F().Document.SelectedEntry(), 0);

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
        QCOMPARE(F().Document.Frame(), 16);
        QCOMPARE(UndoText(F().Document), QString("Auto Copy")); // as a click in the list
        Get<QToolButton>(form_.get(), "BNAutoCopy")->click();
        F().Document.Undo();
        const std::string before = Doc().ToText();
        // Undone, the keys the step changed are picked: Auto Copy carried values forward.
        QCOMPARE(F().Document.SelectedKeys(), (std::vector<TKeyRef>{{kArm, 2}, {kArm, 3}}));
        Click(Key(kArm, 16));

        Click(Key(kArm, 24), Qt::ShiftModifier);
        QCOMPARE(F().Document.SelectedKeys().size(), size_t(2));
        // Two frames to the right: both keys go, the last one stops at the last frame.
        const int frame = int(Strip()->Layout.PixelsPerFrame);
        Drag(Strip(), Key(kArm, 16),
             {Key(kArm, 16) + QPoint(frame, 0), Key(kArm, 16) + QPoint(2 * frame + 1, 0)});
        QCOMPARE(Frames(Doc(), kArm), (std::vector<int>{0, 8, 18, 26}));
        QVERIFY(RatesDerived(Doc()));
        QCOMPARE(UndoText(F().Document), QString("Move Keys"));
        QCOMPARE(List()->item(3)->text(), QString("Entry 3 (26)"));
        F().Document.Undo();
        QCOMPARE(Doc().ToText(), before);

        // A band over root and torso from frame 7 to 17, then Delete on the strip.
        Drag(Strip(), Key(kRoot, 7) - QPoint(0, 6), {Key(kTorso, 17) + QPoint(0, 6)});
        QCOMPARE(F().Document.SelectedKeys(),
                 (std::vector<TKeyRef>{{kRoot, 1}, {kRoot, 2}, {kTorso, 1}}));
        Strip()->setFocus();
        QTest::keyClick(Strip(), Qt::Key_Delete);
        QCOMPARE(Frames(Doc(), kRoot), (std::vector<int>{0, 24}));
        QCOMPARE(Frames(Doc(), kTorso), (std::vector<int>{0}));
        QVERIFY(RatesDerived(Doc()));
        QCOMPARE(UndoText(F().Document), QString("Delete Keys"));
        F().Document.Undo();
        QCOMPARE(Doc().ToText(), before);

        // The ruler scrubs; an empty place of a row selects its node; the wheel zooms.
        Click(QPointF(Strip()->Layout.X(5), 5).toPoint());
        QCOMPARE(Get<QScrollBar>(form_.get(), "SBFrame")->value(), 5);
        Click(Key(kTorso, 4));
        QCOMPARE(F().Document.SelectedNode(), kTorso);
        const double zoom = Strip()->Layout.PixelsPerFrame;
        QWheelEvent wheel(QPointF(Key(kTorso, 4)), Strip()->mapToGlobal(QPointF(Key(kTorso, 4))),
                          {}, QPoint(0, 120), Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase,
                          false);
        QApplication::sendEvent(Strip(), &wheel);
        QCOMPARE(Strip()->Layout.PixelsPerFrame, zoom * 1.25);
        QCOMPARE(Doc().ToText(), before);
    }

    // An animator's session on the strip, as in a dope sheet: keys inserted at the playhead, a
    // column from the summary row, all and none picked, keys scaled by a typed factor (and a
    // factor refused by name), copied and pasted, duplicated and put with a click, dragged with
    // Ctrl to a marker; each one step, the motion through the other keys kept.
    void anAnimatorWorksOnTheStrip() {
        SETUP(Open());
        auto* slider = Get<QScrollBar>(form_.get(), "SBFrame");
        auto pressKeys = [&](QWidget* w, Qt::Key key, Qt::KeyboardModifiers mods = {}) {
            w->setFocus();
            QTest::keyClick(w, key, mods);
            QApplication::processEvents();
        };
        auto motion = [&](int node) {
            std::vector<TKEYPose> poses;
            for (int f = 0; f < Doc().Frames; ++f)
                poses.push_back(Doc().EvaluateNode(node, f));
            return poses;
        };
        auto sameMotion = [](const std::vector<TKEYPose>& a, const std::vector<TKEYPose>& b) {
            for (size_t i = 0; i < a.size(); ++i)
                if (std::abs(a[i].X - b[i].X) > 1e-6 ||
                    std::abs(std::remainder(a[i].Pitch - b[i].Pitch, 360)) > 1e-5 ||
                    std::abs(std::remainder(a[i].Yaw - b[i].Yaw, 360)) > 1e-5)
                    return false;
            return true;
        };

        // I from the entry list: a key at the playhead, the motion as it was.
        QTest::mouseClick(Tree()->viewport(), Qt::LeftButton, {},
                          Tree()->visualItemRect(Tree()->topLevelItem(kArm)).center());
        slider->setValue(12);
        const auto armMotion = motion(kArm);
        pressKeys(List(), Qt::Key_I);
        QCOMPARE(Frames(Doc(), kArm), (std::vector<int>{0, 8, 12, 16, 24}));
        QVERIFY(sameMotion(motion(kArm), armMotion));
        QCOMPARE(Doc().Frames, 32);
        QCOMPARE(F().Document.SelectedEntry(), 2);
        QCOMPARE(UndoText(F().Document), QString("Insert Key"));
        F().Document.Undo();
        // Undone: the key it made is gone, the keys it changed are the ones picked.
        QCOMPARE(Frames(Doc(), kArm), (std::vector<int>{0, 8, 16, 24}));

        // The summary row: its mark at 16 picks every key there; I then keys every node.
        const TTimelineLayout& l = Strip()->Layout;
        const QPoint summary16 = QPointF(l.X(16), l.SummaryTop() + l.SummaryHeight / 2).toPoint();
        Click(summary16);
        QCOMPARE(F().Document.SelectedKeys(), KeysAtFrame(Doc(), 16));
        QVERIFY(Strip()->SummaryActive());
        slider->setValue(4);
        pressKeys(Strip(), Qt::Key_I);
        for (int n = 0; n < Doc().Nodes.Count(); ++n)
            QVERIFY2(Doc().Nodes[n].Entries.Count() > 1 || Frames(Doc(), n).front() == 4,
                     qPrintable(QString::number(n)));
        QCOMPARE(KeysAtFrame(Doc(), 4).size(), size_t(Doc().Nodes.Count()));
        F().Document.Undo();

        // A picks all, Alt+A none (the selected entry stays), Alt on the ruler a column.
        pressKeys(Strip(), Qt::Key_A);
        QCOMPARE(F().Document.SelectedKeys(), AllKeys(Doc()));
        pressKeys(Strip(), Qt::Key_A, Qt::AltModifier);
        QCOMPARE(F().Document.SelectedKeys().size(), size_t(1));
        Click(QPointF(l.X(8), 5).toPoint(), Qt::AltModifier);
        QCOMPARE(F().Document.SelectedKeys(), KeysAtFrame(Doc(), 8));

        // S: arm's keys at 8, 16 and 24 scaled by a half about the playhead at 8.
        Click(Key(kArm, 8));
        Click(Key(kArm, 16), Qt::ShiftModifier);
        Click(Key(kArm, 24), Qt::ShiftModifier);
        slider->setValue(8);
        const std::string before = Doc().ToText();
        pressKeys(Strip(), Qt::Key_S);
        auto* factor = Get<QLineEdit>(Strip(), "EBScaleFactor");
        QVERIFY(factor->isVisible());
        factor->setText("0");
        QTest::keyClick(factor, Qt::Key_Return);
        QVERIFY(factor->isVisible()); // refused: the field stays for another factor
        QVERIFY2(F().statusBar()->currentMessage().contains("at frame 8"),
                 qPrintable(F().statusBar()->currentMessage()));
        QTest::keyClicks(factor, "0.5");
        QTest::keyClick(factor, Qt::Key_Return);
        QVERIFY(!factor->isVisible());
        QCOMPARE(Frames(Doc(), kArm), (std::vector<int>{0, 8, 12, 16}));
        QCOMPARE(UndoText(F().Document), QString("Scale Keys"));
        QVERIFY(RatesDerived(Doc()));
        F().Document.Undo();
        QCOMPARE(Doc().ToText(), before);
        pressKeys(Strip(), Qt::Key_S); // Escape gives it up: no step
        const int steps = int(F().Document.History().Count());
        QTest::keyClick(factor, Qt::Key_Escape);
        QVERIFY(!factor->isVisible());
        QCOMPARE(int(F().Document.History().Count()), steps);
        QCOMPARE(Doc().ToText(), before);

        // Copied, pasted at the playhead: one node's keys go onto the selected node.
        Click(Key(kArm, 8));
        Click(Key(kArm, 16), Qt::ShiftModifier);
        pressKeys(Strip(), Qt::Key_C, Qt::ControlModifier);
        QTest::mouseClick(Tree()->viewport(), Qt::LeftButton, {},
                          Tree()->visualItemRect(Tree()->topLevelItem(kTorso)).center());
        slider->setValue(20);
        pressKeys(Strip(), Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(Frames(Doc(), kTorso), (std::vector<int>{0, 16, 20, 28}));
        QCOMPARE(UndoText(F().Document), QString("Paste Keys"));
        F().Document.Undo();

        // Shift+D: copies follow the pointer, a click puts them two frames later.
        Click(Key(kArm, 16));
        const QPoint at = Key(kArm, 16);
        QCursor::setPos(Strip()->mapToGlobal(at));
        pressKeys(Strip(), Qt::Key_D, Qt::ShiftModifier);
        SendMouse(Strip(), QEvent::MouseMove, at + QPointF(l.PixelsPerFrame * 2, 0).toPoint(),
                  Qt::NoButton, Qt::NoButton);
        QTest::mouseClick(Strip(), Qt::LeftButton, {},
                          at + QPointF(l.PixelsPerFrame * 2, 0).toPoint());
        QCOMPARE(Frames(Doc(), kArm), (std::vector<int>{0, 8, 16, 18, 24}));
        QCOMPARE(UndoText(F().Document), QString("Duplicate Keys"));
        F().Document.Undo();

        // A drag says where it is; Ctrl takes the key to the nearest marker (18).
        SendMouse(Strip(), QEvent::MouseButtonPress, Key(kArm, 16), Qt::LeftButton, Qt::LeftButton);
        SendMouse(Strip(), QEvent::MouseMove, Key(kArm, 19), Qt::NoButton, Qt::LeftButton);
        QCOMPARE(F().statusBar()->currentMessage(), QString("frame 19 (+3)"));
        SendMouse(Strip(), QEvent::MouseMove, Key(kArm, 20), Qt::NoButton, Qt::LeftButton,
                  Qt::ControlModifier);
        SendMouse(Strip(), QEvent::MouseButtonRelease, Key(kArm, 20), Qt::LeftButton, Qt::NoButton,
                  Qt::ControlModifier);
        QCOMPARE(Frames(Doc(), kArm), (std::vector<int>{0, 8, 18, 24}));
        QCOMPARE(F().statusBar()->currentMessage(), QString());

        // Zoomed in, the frames scroll; Home shows them all again.
        QWheelEvent zoom(QPointF(Key(kArm, 8)), Strip()->mapToGlobal(QPointF(Key(kArm, 8))), {},
                         QPoint(0, 600), Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase,
                         false);
        QApplication::sendEvent(Strip(), &zoom);
        auto* frames = Get<QScrollBar>(Strip(), "SBTimelineFrames");
        QVERIFY(frames->isVisible());
        frames->setValue(frames->maximum());
        QVERIFY(l.X(31) < Strip()->width());
        pressKeys(Strip(), Qt::Key_Home);
        QVERIFY(!frames->isVisible());
        QVERIFY(l.X(0) > l.Left && l.X(31) < Strip()->width());
    }

    // At the default size the rows that do not fit scroll, by the bar or the wheel.
    // Keys of the left arm copied and pasted onto the right arm stay at the right arm's pivot
    // and carry the left arm's swing; pasted back onto the left arm they are as copied. The
    // status bar says what each step did; Add Entry never puts a key on a frame that has one.
    void keysPastedOntoAnotherNodeKeepItsPivot() {
        SETUP(Open());
        constexpr int kRightArm = 5; // rest x 0.11, the left arm's -0.11
        auto status = [this] { return F().statusBar()->currentMessage(); };
        auto press = [this](Qt::Key key) {
            Strip()->setFocus();
            QTest::keyClick(Strip(), key, Qt::ControlModifier);
            QApplication::processEvents();
        };
        Strip()->setFocus();
        Click(Key(kArm, 8));
        press(Qt::Key_C);
        QCOMPARE(status(), QString("1 key copied"));
        Click(Key(kArm, 16), Qt::ShiftModifier);
        press(Qt::Key_C);
        QCOMPARE(status(), QString("2 keys copied"));
        const TKEYEntry at8 = Doc().Nodes[kArm].Entries[1], at16 = Doc().Nodes[kArm].Entries[2];

        // The right arm's row (an empty place of it), the playhead at 4 from the ruler.
        const TTimelineLayout& l = Strip()->Layout;
        Click(Key(kRightArm, 5));
        QCOMPARE(F().Document.SelectedNode(), kRightArm);
        Click(QPointF(l.X(4), l.RulerHeight / 2).toPoint());
        QCOMPARE(F().Document.Frame(), 4);
        press(Qt::Key_V);
        QCOMPARE(Frames(Doc(), kRightArm), (std::vector<int>{0, 4, 8, 12, 16, 24}));
        QCOMPARE(status(), QString("2 keys pasted at frame 4"));
        QCOMPARE(UndoText(F().Document), QString("Paste Keys"));
        const TKEYEntries& right = Doc().Nodes[kRightArm].Entries;
        for (auto [entry, from] : {std::pair{1, at8}, std::pair{3, at16}}) {
            QCOMPARE(right[entry].X, 0.11); // its own pivot, not the left arm's -0.11
            QCOMPARE(right[entry].Y, from.Y);
            QCOMPARE(right[entry].Z, from.Z);
            QCOMPARE(right[entry].Pitch, from.Pitch); // the swing, from a rest pitch of 0
        }
        QVERIFY(RatesDerived(Doc()));
        // Onto the left arm itself at 4: as copied.
        Click(Key(kArm, 5));
        press(Qt::Key_V);
        QCOMPARE(Doc().Nodes[kArm].Entries[1].Frame, 4);
        QCOMPARE(Doc().Nodes[kArm].Entries[1].X, at8.X);
        QCOMPARE(Doc().Nodes[kArm].Entries[1].Pitch, at8.Pitch);

        // Add Entry with a gap of 0 (a settings file edited by hand) still goes a frame on.
        Settings.DEFAULT_FRAMEGAP = 0;
        const std::vector<int> armFrames = Frames(Doc(), kArm);
        Get<QToolButton>(form_.get(), "BNAddEntry")->click();
        std::vector<int> more = armFrames;
        more.push_back(armFrames.back() + 1);
        QCOMPARE(Frames(Doc(), kArm), more);
        Get<QToolButton>(form_.get(), "BNInsertEntry")->click();
        more.push_back(more.back() + 1);
        QCOMPARE(Frames(Doc(), kArm), more);
    }

    void theRowsScrollAtTheDefaultSize() {
        SETUP(Open(false));
        QCOMPARE(F().size(), QSize(660, 450));
        auto* rows = Get<QScrollBar>(Strip(), "SBTimelineRows");
        QTRY_VERIFY(rows->isVisible());
        QCOMPARE(rows->maximum(),
                 11 - int((Strip()->height() - Strip()->Layout.RowsTop() -
                           Get<QScrollBar>(Strip(), "SBTimelineFrames")->isVisible() *
                               Strip()->style()->pixelMetric(QStyle::PM_ScrollBarExtent)) /
                          Strip()->Layout.RowHeight));
        rows->setValue(rows->maximum());
        QCOMPARE(Strip()->Layout.FirstRow, rows->maximum());
        // The last row's keys are there to pick.
        Click(Key(10, 16));
        QCOMPARE(F().Document.SelectedNode(), 10);
    }
};

QTEST_MAIN(TestTimeline)
#include "test_timeline.moc"
