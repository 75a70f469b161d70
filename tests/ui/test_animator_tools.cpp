// The animator's tools in the editor, on the sample: Mirror Animation through its dialog, Paste
// Mirrored, Match Loop and Tween as one undo step each (Escape and Cancel change nothing), and
// onion skins, which change the picture and never the document.
#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QSlider>
#include <QStatusBar>
#include <QTableWidget>
#include <QToolButton>
#include <QTreeWidget>

#include "app/autosave.h"
#include "app/file_commands.h"
#include "app/vorlinform.h"
#include "panels/transport/transport_panel.h"
#include "panels/view/view_panel.h"
#include "edit/breakdown.h"
#include "edit/mirror.h"
#include "key/key_check.h"
#include "model/u_3dos.h"
#include "panels/view/paint_box.h"
#include "ui_helpers.h"

using namespace vorlin;
using namespace vorlin::test;

class TestAnimatorTools : public QObject, public UiTestBase {
    Q_OBJECT

    std::unique_ptr<TVorlinForm> form_;

    TVorlinForm& F() { return *form_; }
    std::string Text() { return F().Document.KeyFile->ToText(); }
    void Open(const QString& key = VORLIN_SAMPLE_DIR "/3do/key/walk.key") {
        form_ = std::make_unique<TVorlinForm>();
        form_->show();
        QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
        form_->Files().Load3DO(VORLIN_SAMPLE_DIR "/3do/sample.3do");
        form_->Files().LoadKEY(key);
    }
    void Select(int node, int entry) {
        auto* tree = Get<QTreeWidget>(form_.get(), "TV3DO");
        tree->setCurrentItem(tree->topLevelItem(node));
        auto* list = Get<QListWidget>(form_.get(), "LBKEY");
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(list->item(entry)).center());
    }
    void Menu(const char* name) { Get<QAction>(form_.get(), name)->trigger(); }

private slots:
    void init() { InitBase(); }
    void cleanup() {
        form_.reset();
        CleanupBase();
    }

    // The dialog lists the pairs the names give; a partner changed there is what is mirrored;
    // Cancel changes nothing; the mirror is one step.
    void mirrorAnimationThroughItsDialog() {
        SETUP(Open());
        const std::string before = Text();
        WhenModal([](QWidget* d) {
            QCOMPARE(Get<QLabel>(d, "LBUnpaired")->text(), "No partner: ROOT, TORSO, HEAD");
            Get<QAbstractButton>(d, "BNCancel")->click();
        });
        Menu("MirrorAnimation1");
        QCOMPARE(Text(), before);
        QVERIFY(!F().isWindowModified());

        // Unpair the arms in the dialog (joint 3 mirrors onto itself): they keep their own
        // keys, mirrored; the legs swap.
        WhenModal([](QWidget* d) {
            auto* arm = Get<QComboBox>(d, "CBPartner3");
            arm->setCurrentIndex(0);
            QVERIFY(Get<QLabel>(d, "LBUnpaired")->text().contains("L_UPPER_ARM, R_UPPER_ARM"));
            Get<QAbstractButton>(d, "BNOK")->click();
        });
        Menu("MirrorAnimation1");
        auto expected = TKEYFile::CreateFromFile(VORLIN_SAMPLE_DIR "/3do/key/walk.key");
        const std::vector<std::string> names = JointNames(*expected, F().Document.Model.get());
        TMirrorPairs pairs = FindMirrorPairs(names);
        pairs.Set(3, 3);
        MirrorKey(*expected, pairs, names);
        expected->Name = F().Document.KeyFile->Name;
        expected->FullName = F().Document.KeyFile->FullName;
        QCOMPARE(Text(), expected->ToText());
        QVERIFY(F().isWindowModified());
        QCOMPARE(UndoText(F().Document), "Mirror Animation");
        F().Document.Undo();
        QCOMPARE(Text(), before);
    }

    // Copy an entry of the left thigh, Paste Mirrored at frame 12: the right thigh has a key
    // there with the pose mirrored.
    void pasteMirroredOntoThePartner() {
        SETUP(Open());
        Select(7, 1); // l_thigh, its entry at frame 8
        const TKEYEntry copied = F().Document.SelectedKeyEntry();
        Menu("CopyEntry1");
        F().Document.SetFrame(12);
        Menu("PasteMirrored1");
        const TKEYFile& doc = *F().Document.KeyFile;
        const int right = doc.NodeOfJoint(9); // r_thigh
        const int at = doc.EntryForFrame(right, 12);
        const TKEYEntry& e = doc.Nodes[right].Entries[at];
        QCOMPARE(e.Frame, 12);
        QCOMPARE(e.Pitch, copied.Pitch);
        QCOMPARE(e.Yaw, copied.Yaw == 0 ? 0.0 : -copied.Yaw);
        QCOMPARE(e.X, copied.X == 0 ? 0.0 : -copied.X);
        QCOMPARE(UndoText(F().Document), "Paste Mirrored");
    }

    // A loop that does not close: Match Loop closes it as one step, and Check KEY no longer
    // warns of it.
    void matchLoopClosesTheLoop() {
        SETUP(Open(VORLIN_TEST_DATA "/check/loop_open/input.key"));
        QCOMPARE(LoopSeams(*F().Document.KeyFile).size(), size_t(1));
        Menu("MatchLoop1");
        QVERIFY(LoopSeams(*F().Document.KeyFile).empty());
        QCOMPARE(UndoText(F().Document), "Match Loop");
        // Only what needed it is changed and counted; once closed, there is nothing to do.
        QCOMPARE(F().statusBar()->currentMessage(),
                 QString("Match Loop: the last key of 1 node runs on to frame 0"));
        const int steps = int(F().Document.History().Count());
        Menu("MatchLoop1");
        QCOMPARE(F().statusBar()->currentMessage(),
                 QString("Match Loop: every node's end meets frame 0 already"));
        QCOMPARE(int(F().Document.History().Count()), steps); // no step that changes nothing
        F().Document.Undo();
        QCOMPARE(LoopSeams(*F().Document.KeyFile).size(), size_t(1));
    }

    // The slider sets the key while it moves; Cancel puts it back; OK keeps it as one step.
    void tweenFollowsTheSlider() {
        SETUP(Open());
        Select(0, 2); // root's key at 16, between keys at 8 and 24 (z 0.015 both)
        const std::string before = Text();
        const int steps = int(F().Document.History().Count());
        auto z = [this] { return F().Document.KeyFile->Nodes[0].Entries[2].Z; };
        WhenModal([&](QWidget* d) {
            QCOMPARE(z(), 0.015); // the slider starts half way
            Get<QSlider>(d, "TBTween")->setValue(0);
            QCOMPARE(z(), 0.015);
            Get<QAbstractButton>(d, "BNCancel")->click();
        });
        Menu("Tween1");
        QCOMPARE(Text(), before);
        QCOMPARE(int(F().Document.History().Count()), steps);
        WhenModal([](QWidget* d) {
            Get<QSlider>(d, "TBTween")->setValue(100);
            Get<QAbstractButton>(d, "BNOK")->click();
        });
        Menu("Tween1");
        QCOMPARE(z(), 0.015);
        QCOMPARE(int(F().Document.History().Count()), steps + 1);
        QCOMPARE(UndoText(F().Document), "Tween");
    }

    // Onion skins draw the neighbouring keys' poses: the view's pixels change, the document and
    // its title do not; off again, the picture is as before.
    void onionSkinsChangeThePictureNotTheDocument() {
        if (!OpenGLAvailable()) QSKIP("no OpenGL on this display");
        SETUP(Open());
        F().Document.SetFrame(16);
        auto shot = [this] {
            F().View().PaintBox()->Repaint();
            QApplication::processEvents();
            return F().View().PaintBox()->grabFramebuffer();
        };
        const QImage plain = shot();
        const std::string before = Text();
        Menu("OnionSkin1");
        QVERIFY(Get<QAction>(form_.get(), "OnionSkin1")->isChecked());
        const QImage onion = shot();
        QVERIFY(onion != plain);
        QCOMPARE(Text(), before);
        QVERIFY(!F().isWindowModified());
        QCOMPARE(F().View().Renderer()->Onions.size(), size_t(2));
        // Not while the animation plays.
        Get<QAbstractButton>(form_.get(), "BNPlay")->click();
        shot();
        QVERIFY(F().View().Renderer()->Onions.empty());
        F().Document.SetPlaying(false);
        F().Document.SetFrame(16);
        Menu("OnionSkin1");
        QCOMPARE(shot(), plain);
    }

    // The skins lie behind the pose on show: wherever the pose is drawn, its pixels are as
    // without them (parts that stay still are not tinted). Playback leaves them out, and as
    // soon as it stops (Space) the view is drawn with them again, without a frame change.
    void onionSkinsLieBehindThePoseAndReturnWhenPlaybackStops() {
        if (!OpenGLAvailable()) QSKIP("no OpenGL on this display");
        SETUP(Open());
        Select(3, 1); // the left arm's key at 8: skins of its keys at 0 and 16
        F().Document.SetFrame(8);
        auto shot = [this] {
            F().View().PaintBox()->Repaint();
            QApplication::processEvents();
            return F().View().PaintBox()->grabFramebuffer();
        };
        const QImage plain = shot();
        Menu("OnionSkin1");
        const QImage onion = shot();
        QCOMPARE(F().View().Renderer()->Onions.size(), size_t(2));
        QHash<QRgb, int> count;
        for (int y = 0; y < plain.height(); ++y)
            for (int x = 0; x < plain.width(); ++x)
                ++count[plain.pixel(x, y)];
        QRgb background = 0;
        for (auto it = count.begin(); it != count.end(); ++it)
            if (it.value() > count.value(background)) background = it.key();
        int tinted = 0, pose = 0, changed = 0;
        for (int y = 0; y < plain.height(); ++y)
            for (int x = 0; x < plain.width(); ++x) {
                const bool drawn = plain.pixel(x, y) != background;
                pose += drawn;
                if (onion.pixel(x, y) != plain.pixel(x, y)) (drawn ? tinted : changed)++;
            }
        QVERIFY(pose > 500);
        QVERIFY2(changed > 100, "the skins show round the pose");
        QCOMPARE(tinted, 0);

        // Played, then stopped with Space: the next frame drawn has its skins again.
        int paints = 0;
        size_t skins = 0;
        F().View().PaintBox()->onPaint = [this, &paints, &skins, paint = F().View().PaintBox()->onPaint] {
            paint();
            ++paints;
            skins = F().View().Renderer()->Onions.size();
        };
        Get<QAbstractButton>(form_.get(), "BNPlay")->click();
        QTRY_VERIFY(paints > 2);
        QCOMPARE(skins, size_t(0));
        F().View().PaintBox()->setFocus();
        QTest::keyClick(F().View().PaintBox(), Qt::Key_Space);
        QVERIFY(Get<QAbstractButton>(form_.get(), "BNEdit")->isChecked());
        const int stoppedAt = paints;
        QTRY_VERIFY(paints > stoppedAt);
        QCOMPARE(skins, size_t(2));
    }
};

QTEST_MAIN(TestAnimatorTools)
#include "test_animator_tools.moc"
