// The curves under the 3D view, driven on a copy of the bundled sample: a key point picks its
// entry, a drag changes exactly that value (the rates around it derived again) as one step,
// and the panel's keys and toggles do what they say without reaching the rest of the window.
#include <QAction>
#include <QHelpEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QSignalSpy>
#include <QToolButton>
#include <QToolTip>
#include <QTreeWidget>

#include "app/autosave.h"
#include "app/file_commands.h"
#include "app/vorlinform.h"
#include "panels/transport/transport_panel.h"
#include "panels/view/view_panel.h"
#include "key/u_key.h"
#include "model/u_3dos.h"
#include "panels/curves/curves_panel.h"
#include "panels/timeline/timeline_panel.h"
#include "ui_helpers.h"

using namespace vorlin;
using namespace vorlin::test;

namespace {

const std::string kSample = VORLIN_SAMPLE_DIR;
constexpr int kTorso = 1; // entries at frames 0 and 16, yaw 4 turning to 356
constexpr int kYaw = 4;

} // namespace

class TestCurves : public QObject, public UiTestBase {
    Q_OBJECT

    std::unique_ptr<TVorlinForm> form_;
    std::string keyPath_;

    TVorlinForm& F() { return *form_; }
    TKEYFile& Doc() { return *F().Document.KeyFile; }
    TCurvesPanel* Curves() { return F().CurvesPanel(); }
    // The middle of a key point.
    QPoint Point(int entry, int channel) {
        const TCurveLayout& l = Curves()->Layout;
        const TKEYEntry& e = Doc().Nodes[kTorso].Entries[entry];
        return QPointF(l.Frames.X(e.Frame),
                       l.Y(TCurveLayout::PlotOf(channel), ShownValue(e, channel)))
            .toPoint();
    }
    // The value a drag of a point from y0 to y1 gives.
    double Moved(int channel, double from, int y0, int y1) {
        const TCurveLayout& l = Curves()->Layout;
        const int plot = TCurveLayout::PlotOf(channel);
        return from + l.ValueAt(plot, y1) - l.ValueAt(plot, y0);
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

    void aDraggedKeyValueIsOneStepAndSavesExactlyThatValue() {
        keyPath_ = files_->write("walk.key", ReadAll(kSample + "/3do/key/walk.key"));
        const std::string original = ReadAll(keyPath_);
        Settings.TIMELINE_HEIGHT = 280; // plots tall enough to aim at
        Settings.VORLIN_HEIGHT = 720;
        form_ = std::make_unique<TVorlinForm>();
        form_->show();
        VERIFY_ACTIVE(form_.get());
        F().Files().Load3DO(QString::fromStdString(kSample + "/3do/sample.3do"));
        F().Files().LoadKEY(QString::fromStdString(keyPath_));
        auto* tree = Get<QTreeWidget>(form_.get(), "TV3DO");
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {},
                          tree->visualItemRect(tree->topLevelItem(kTorso)).center());

        // Ctrl+G puts the curves where the timeline was; View > Curves says so.
        Keys("Ctrl+G");
        QVERIFY(Curves()->isVisible());
        QVERIFY(!F().TimelinePanel()->isVisible());
        QVERIFY(Get<QAction>(form_.get(), "Curves1")->isChecked());
        QVERIFY(!Get<QAction>(form_.get(), "Timeline1")->isChecked());

        // A click on a key point picks its entry: the list and the frame follow.
        QTest::mouseClick(Curves(), Qt::LeftButton, {}, Point(1, kYaw));
        QCOMPARE(F().Document.SelectedEntry(), 1);
        QCOMPARE(Get<QListWidget>(form_.get(), "LBKEY")->currentRow(), 1);
        QCOMPARE(F().Document.Frame(), 16);

        // A drag: the value and the posed model follow at each step; one step at the end.
        const TKEYEntry before = Doc().Nodes[kTorso].Entries[1];
        const QPoint from = Point(1, kYaw);
        const double wanted = Moved(kYaw, before.Yaw, from.y(), from.y() - 30);
        SendMouse(Curves(), QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
        SendMouse(Curves(), QEvent::MouseMove, from - QPoint(0, 15), Qt::NoButton, Qt::LeftButton);
        SendMouse(Curves(), QEvent::MouseMove, from - QPoint(0, 30), Qt::NoButton, Qt::LeftButton);
        QVERIFY(!Get<QAction>(form_.get(), "Undo1")->isEnabled());
        QVERIFY(std::abs(Doc().Nodes[kTorso].Entries[1].Yaw - wanted) < 1e-6);
        QCOMPARE(F().Document.Model->HNodes[kTorso].CurYaw, Doc().EvaluateNode(kTorso, 16).Yaw);
        SendMouse(Curves(), QEvent::MouseButtonRelease, from - QPoint(0, 30), Qt::LeftButton,
                  Qt::NoButton);
        QCOMPARE(int(F().Document.History().Count()), 1);
        QCOMPARE(UndoText(F().Document), QString("Edit Value"));

        // Saved: that value, the rates into and out of it derived again, nothing else.
        Keys("Ctrl+S");
        auto expected = TKEYFile::CreateFromFile(kSample + "/3do/key/walk.key");
        expected->Nodes[kTorso].Entries[1].Yaw = Doc().Nodes[kTorso].Entries[1].Yaw;
        expected->UpdateEntry(kTorso, 1);
        QCOMPARE(ReadAll(keyPath_), expected->ToText());
        QVERIFY(ReadAll(keyPath_) != original);
        Keys("Ctrl+Z");
        QCOMPARE(Doc().Nodes[kTorso].Entries[1].Yaw, before.Yaw);
        Keys("Ctrl+S");
        QCOMPARE(ReadAll(keyPath_), original);

        // Ctrl snaps the value to whole units (Z's point is on top of X's and Y's, all at 0).
        const QPoint x = Point(1, 2);
        const double free = Moved(2, 0, x.y(), x.y() + 20);
        SendMouse(Curves(), QEvent::MouseButtonPress, x, Qt::LeftButton, Qt::LeftButton);
        SendMouse(Curves(), QEvent::MouseMove, x + QPoint(0, 20), Qt::NoButton, Qt::LeftButton,
                  Qt::ControlModifier);
        SendMouse(Curves(), QEvent::MouseButtonRelease, x + QPoint(0, 20), Qt::LeftButton,
                  Qt::NoButton, Qt::ControlModifier);
        QCOMPARE(Doc().Nodes[kTorso].Entries[1].Z, std::round(free));
        Keys("Ctrl+Z");

        // The wheel zooms the values; F fits them again with the panel focused, and frames
        // the model elsewhere.
        QSignalSpy frameModel(Get<QAction>(form_.get(), "FrameModel1"), &QAction::triggered);
        const double high = Curves()->Layout.High[1];
        QWheelEvent wheel(QPointF(Point(1, kYaw)), Curves()->mapToGlobal(QPointF(Point(1, kYaw))),
                          {}, {0, 240}, Qt::NoButton, {}, Qt::NoScrollPhase, false);
        QApplication::sendEvent(Curves(), &wheel);
        QVERIFY(Curves()->Layout.High[1] < high);
        Curves()->setFocus();
        QTest::keyClick(form_.get()->focusWidget(), Qt::Key_F);
        QCOMPARE(Curves()->Layout.High[1], high);
        QCOMPARE(frameModel.count(), 0);
        Get<QListWidget>(form_.get(), "LBKEY")->setFocus();
        QTest::keyClick(form_.get()->focusWidget(), Qt::Key_F);
        QCOMPARE(frameModel.count(), 1);

        // A hidden channel's points are not there to pick; the choice is kept.
        Get<QToolButton>(form_.get(), "BNCurveYaw")->click();
        QCOMPARE(Settings.CURVES_CHANNELS, 0x2F);
        QTest::mouseClick(Curves(), Qt::LeftButton, {}, Point(0, kYaw));
        QCOMPARE(F().Document.SelectedEntry(), 1);
        QCOMPARE(F().Document.Frame(), 0); // a press off the keys sets the frame

        // Far off the animation and zoomed into large values, it still paints (and returns).
        Curves()->Layout.Frames.FirstFrame = 1e15;
        Curves()->Layout.Low[0] = 1e9;
        Curves()->Layout.High[0] = 1e9 + 1e-5;
        Curves()->repaint();
        Curves()->Layout.Frames.FirstFrame = -1e15;
        Curves()->repaint();

        Keys("Ctrl+T");
        QVERIFY(F().TimelinePanel()->isVisible());
        QVERIFY(!Curves()->isVisible());
        QVERIFY(!Settings.CURVES_VISIBLE);
    }

    // The curves as a graph editor: the ruler under the plots sets the frame, the legend shows
    // each channel at the playhead, a double-click types a value, Shift drags a key along the
    // frames, a band picks points, and a key whose flags hold a channel says so.
    void keysAreTypedDraggedInTimeAndPicked() {
        keyPath_ = files_->write("walk.key", ReadAll(kSample + "/3do/key/walk.key"));
        Settings.TIMELINE_HEIGHT = 280;
        Settings.VORLIN_HEIGHT = 720;
        Settings.CURVES_VISIBLE = true;
        form_ = std::make_unique<TVorlinForm>();
        form_->show();
        VERIFY_ACTIVE(form_.get());
        F().Files().Load3DO(QString::fromStdString(kSample + "/3do/sample.3do"));
        F().Files().LoadKEY(QString::fromStdString(keyPath_));
        auto* tree = Get<QTreeWidget>(form_.get(), "TV3DO");
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {},
                          tree->visualItemRect(tree->topLevelItem(kTorso)).center());
        QVERIFY(Curves()->isVisible());
        const TCurveLayout& l = Curves()->Layout;

        // The ruler: frame 8; the legend: Yaw there (torso turns from 4 to -4 over 16 frames).
        QTest::mouseClick(Curves(), Qt::LeftButton, {},
                          QPointF(l.Frames.X(8), Curves()->height() - l.Bottom / 2).toPoint());
        QCOMPARE(F().Document.Frame(), 8);
        QTRY_COMPARE(Get<QToolButton>(Curves(), "BNCurveYaw")->text(), QString("Yaw 0.00\u00b0"));

        // A double-click on Yaw's point of entry 1: a field; 12.5 and Enter set it, one step.
        QTest::mouseDClick(Curves(), Qt::LeftButton, {}, Point(1, kYaw));
        auto* field = Get<QLineEdit>(Curves(), "EBCurveValue");
        QVERIFY(field->isVisible());
        field->selectAll();
        QTest::keyClicks(field, "12.5");
        QTest::keyClick(field, Qt::Key_Return);
        QVERIFY(!field->isVisible());
        QCOMPARE(Doc().Nodes[kTorso].Entries[1].Yaw, 12.5);
        QCOMPARE(UndoText(F().Document), QString("Edit Value"));
        QCOMPARE(Doc().Nodes[kTorso].Entries[0].DYaw,
                 Doc().RecalculatedRates(kTorso, 0).DYaw); // the rates into it derived

        // Shift: along the frames only, whatever way the pointer goes.
        const QPoint from = Point(1, kYaw);
        const QPoint to = from + QPointF(l.Frames.PixelsPerFrame * 3, 40).toPoint();
        SendMouse(Curves(), QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
        SendMouse(Curves(), QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton, Qt::ShiftModifier);
        SendMouse(Curves(), QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton,
                  Qt::ShiftModifier);
        QCOMPARE(Doc().Nodes[kTorso].Entries[1].Frame, 19);
        QCOMPARE(Doc().Nodes[kTorso].Entries[1].Yaw, 12.5);
        QCOMPARE(UndoText(F().Document), QString("Move Keys"));

        // A band over both of the lower plot's keys picks their three angles each.
        const QPoint corner(int(l.Frames.Left) + 2, int(l.PlotTop(1)) + 2);
        Drag(Curves(), corner,
             {QPoint(Curves()->width() - 4, int(l.PlotTop(1) + l.PlotHeight()) - 2)});
        QCOMPARE(Curves()->Picked().size(), size_t(6));

        // Flags that leave out the rotation rates: the game holds the angles; the tooltip says.
        Doc().Nodes[kTorso].Entries[0].Flags = 1;
        QHelpEvent help(QEvent::ToolTip, Point(0, kYaw), Curves()->mapToGlobal(Point(0, kYaw)));
        QApplication::sendEvent(Curves(), &help);
        QVERIFY2(QToolTip::text().contains("leave out the rotation rates"),
                 qPrintable(QToolTip::text()));
    }

    // Picks as an animator makes them: Shift held at the press of a picked point keeps the
    // picks and drags them in time (a Shift+click alone takes the point out); each node keeps
    // its own picks; points drawn over one another give the one on top, a picked one before the
    // rest; the typed value is the one the legend shows.
    void picksStayOnTheirNodeAndShiftDragsThemInTime() {
        keyPath_ = files_->write("walk.key", ReadAll(kSample + "/3do/key/walk.key"));
        Settings.TIMELINE_HEIGHT = 280;
        Settings.VORLIN_HEIGHT = 720;
        Settings.CURVES_VISIBLE = true;
        form_ = std::make_unique<TVorlinForm>();
        form_->show();
        VERIFY_ACTIVE(form_.get());
        F().Files().Load3DO(QString::fromStdString(kSample + "/3do/sample.3do"));
        F().Files().LoadKEY(QString::fromStdString(keyPath_));
        auto* tree = Get<QTreeWidget>(form_.get(), "TV3DO");
        auto select = [&](int row) {
            tree->scrollToItem(tree->topLevelItem(row));
            QTest::mouseClick(tree->viewport(), Qt::LeftButton, {},
                              tree->visualItemRect(tree->topLevelItem(row)).center());
            QCOMPARE(F().Document.SelectedNode(), row);
        };
        constexpr int kLeft = 7, kRight = 9, kPitch = 3, kRoll = 5; // l_thigh, r_thigh
        select(kLeft);
        QVERIFY(Curves()->isVisible());
        // Yaw and roll (0 throughout) hidden, so that pitch's points are not under theirs.
        Get<QToolButton>(form_.get(), "BNCurveYaw")->click();
        Get<QToolButton>(form_.get(), "BNCurveRoll")->click();
        const TCurveLayout& l = Curves()->Layout;
        auto point = [&](int node, int entry, int channel) {
            const TKEYEntry& e = Doc().Nodes[node].Entries[entry];
            return QPointF(l.Frames.X(e.Frame),
                           l.Y(TCurveLayout::PlotOf(channel), ShownValue(e, channel)))
                .toPoint();
        };
        auto frames = [&](int node) {
            std::vector<int> out;
            for (const auto& e : Doc().Nodes[node].Entries)
                out.push_back(e->Frame);
            return out;
        };
        const QPoint twoLeft = QPointF(-2 * l.Frames.PixelsPerFrame, 0).toPoint();
        auto shiftDrag = [&](QPoint from) {
            SendMouse(Curves(), QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton,
                      Qt::ShiftModifier);
            SendMouse(Curves(), QEvent::MouseMove, from + twoLeft / 2 + QPoint(0, 9), Qt::NoButton,
                      Qt::LeftButton, Qt::ShiftModifier);
            SendMouse(Curves(), QEvent::MouseMove, from + twoLeft + QPoint(0, 9), Qt::NoButton,
                      Qt::LeftButton, Qt::ShiftModifier);
            SendMouse(Curves(), QEvent::MouseButtonRelease, from + twoLeft + QPoint(0, 9),
                      Qt::LeftButton, Qt::NoButton, Qt::ShiftModifier);
        };

        // The pitch point at 24 picked, then Shift-dragged two frames left: it moves in time,
        // its value stays, and it stays picked.
        QTest::mouseClick(Curves(), Qt::LeftButton, {}, point(kLeft, 3, kPitch));
        QCOMPARE(Curves()->Picked(), (std::vector<TCurveKey>{{3, kPitch}}));
        shiftDrag(point(kLeft, 3, kPitch));
        QCOMPARE(frames(kLeft), (std::vector<int>{0, 8, 16, 22}));
        QCOMPARE(Doc().Nodes[kLeft].Entries[3].Pitch, 0.0);
        QCOMPARE(Curves()->Picked(), (std::vector<TCurveKey>{{3, kPitch}}));
        QCOMPARE(UndoText(F().Document), QString("Move Keys"));
        Keys("Ctrl+Z");
        // A Shift+click without a drag still takes it out.
        QTest::mouseClick(Curves(), Qt::LeftButton, Qt::ShiftModifier, point(kLeft, 3, kPitch));
        QVERIFY(Curves()->Picked().empty());
        QCOMPARE(frames(kLeft), (std::vector<int>{0, 8, 16, 24}));

        // With 16 and 24 picked, a Shift-drag of 24 moves both, not the other one alone.
        QTest::mouseClick(Curves(), Qt::LeftButton, {}, point(kLeft, 2, kPitch));
        QTest::mouseClick(Curves(), Qt::LeftButton, Qt::ShiftModifier, point(kLeft, 3, kPitch));
        QCOMPARE(Curves()->Picked().size(), size_t(2));
        shiftDrag(point(kLeft, 3, kPitch));
        QCOMPARE(frames(kLeft), (std::vector<int>{0, 8, 14, 22}));
        QCOMPARE(Curves()->Picked().size(), size_t(2));
        Keys("Ctrl+Z");

        // The typed value is the one the plot and the legend show: -25, not 335.
        QTest::mouseDClick(Curves(), Qt::LeftButton, {}, point(kLeft, 2, kPitch));
        auto* field = Get<QLineEdit>(Curves(), "EBCurveValue");
        QVERIFY(field->isVisible());
        QCOMPARE(field->text(), QString("-25"));
        QTest::keyClick(field, Qt::Key_Escape);
        QVERIFY(!field->isVisible());

        // A band over the pitch points at 8 and 16, then the right thigh: none of its points are
        // picked, and a drag of its point at 8 moves that point alone.
        const QPoint a = point(kLeft, 1, kPitch), b = point(kLeft, 2, kPitch);
        Drag(Curves(), QPoint(a.x() - 5, a.y() - 5), {QPoint(b.x() + 5, b.y() + 5)});
        const std::vector<TCurveKey> leftPicks = Curves()->Picked();
        QCOMPARE(leftPicks, (std::vector<TCurveKey>{{1, kPitch}, {2, kPitch}}));
        select(kRight);
        QVERIFY(Curves()->Picked().empty());
        const TKEYEntry before8 = Doc().Nodes[kRight].Entries[1];
        const TKEYEntry before16 = Doc().Nodes[kRight].Entries[2];
        const QPoint r8 = point(kRight, 1, kPitch);
        Drag(Curves(), r8, {r8 - QPoint(0, 10), r8 - QPoint(0, 20)});
        QCOMPARE(Curves()->Picked().size(), size_t(1));
        QCOMPARE(Curves()->Picked().front().entry, 1);
        const int moved = Curves()->Picked().front().channel;
        QVERIFY(Channel(Doc().Nodes[kRight].Entries[1], moved) != Channel(before8, moved));
        for (int c = 0; c < kChannels; ++c)
            QCOMPARE(Channel(Doc().Nodes[kRight].Entries[2], c), Channel(before16, c));
        Keys("Ctrl+Z");
        select(kLeft); // its own picks again
        QCOMPARE(Curves()->Picked(), leftPicks);

        // Pitch, yaw and roll drawn one over another: a click takes the picked one (drawn on
        // top of the others), else roll, drawn last.
        Get<QToolButton>(form_.get(), "BNCurveYaw")->click();
        Get<QToolButton>(form_.get(), "BNCurveRoll")->click();
        QTest::mouseClick(Curves(), Qt::LeftButton, {}, point(kLeft, 1, kRoll));
        QCOMPARE(Curves()->Picked(), leftPicks);
        QTest::mouseClick(Curves(), Qt::LeftButton, {}, point(kLeft, 3, kRoll));
        QCOMPARE(Curves()->Picked(), (std::vector<TCurveKey>{{3, kRoll}}));

        // Another document: nothing of it is picked.
        F().Files().LoadKEY(QString::fromStdString(keyPath_));
        select(kLeft);
        QVERIFY(Curves()->Picked().empty());
    }
};

QTEST_MAIN(TestCurves)
#include "test_curves.moc"
