// Playback: the timer, the frame slider and label, and the edit and play modes.
#include <QApplication>
#include <QContextMenuEvent>
#include <QLabel>
#include <QScrollBar>
#include <QToolButton>

#include "app/autosave.h"
#include "app/file_commands.h"
#include "app/vorlinform.h"
#include "panels/transport/transport_panel.h"
#include "panels/view/view_panel.h"
#include "key/u_key.h"
#include "ui_helpers.h"

using namespace vorlin;
using namespace vorlin::test;

class TestPlayback : public QObject, public UiTestBase {
    Q_OBJECT

    // A form with the two-node model and a new KEY of frames frames at fps.
    std::unique_ptr<TVorlinForm> Playing(int frames, int fps) {
        auto form = std::make_unique<TVorlinForm>();
        form->Files().Load3DO(Write("m.3do", kTwoNodeModel));
        Settings.DEFAULT_NUMFRAMES = frames;
        ConfirmNext("BNOk");
        form->Files().CreateNewKEY();
        form->Document.KeyFile->FPS = fps;
        form->Document.SetPlaying(true);
        return form;
    }

private slots:
    void init() { InitBase(); }
    void cleanup() { CleanupBase(); }

    void aFrameRateAboveAThousandDoesNotTick() {
        auto form = Playing(30, 2000);
        auto* slider = Get<QScrollBar>(form.get(), "SBFrame");
        QVERIFY(Get<QToolButton>(form.get(), "BNPlay")->isChecked()); // play mode, visibly
        QVERIFY(!form->Transport().Timer()->isActive());
        QTest::qWait(30);
        QCOMPARE(slider->value(), 0); // nothing advances
        form->Document.Hold(); // a hold and its end do not start it either
        form->Document.Release();
        QVERIFY(!form->Transport().Timer()->isActive());
        form->Document.KeyFile->FPS = 1000; // one frame per millisecond still plays
        form->Document.Changed(chHeader);
        form->Document.SetPlaying(true);
        QCOMPARE(form->Transport().Timer()->interval(), 1);
        QVERIFY(form->Transport().Timer()->isActive());
    }

    void everyScrollActionPausesPlayback() {
        auto form = Playing(30, 15);
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        auto* slider = Get<QScrollBar>(form.get(), "SBFrame");
        QVERIFY(form->Transport().Timer()->isActive());
        const int y = slider->height() / 2;
        // The right arrow, then the track right of the handle: each pauses while held.
        for (QPoint at : {QPoint(slider->width() - 3, y), QPoint(slider->width() * 3 / 4, y)}) {
            const int before = slider->value();
            SendMouse(slider, QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton);
            QVERIFY(!form->Transport().Timer()->isActive());
            QVERIFY(slider->value() > before); // the click moved the slider
            SendMouse(slider, QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton);
            QVERIFY(form->Transport().Timer()->isActive()); // letting go resumes
        }
        // A key is a whole scroll: paused for the step, then playing again.
        slider->setFocus();
        QTest::keyClick(slider, Qt::Key_Right);
        QVERIFY(!form->Transport().Timer()->isActive());
        QTRY_VERIFY(form->Transport().Timer()->isActive());
        // A right-click opens the slider's menu, which takes the release: once the menu
        // closes, playback goes on.
        const QPoint middle(slider->width() / 2, y);
        SendMouse(slider, QEvent::MouseButtonPress, middle, Qt::RightButton, Qt::RightButton);
        QVERIFY(!form->Transport().Timer()->isActive());
        QTimer::singleShot(50, [] {
            if (QWidget* menu = QApplication::activePopupWidget()) menu->close();
        });
        QContextMenuEvent menu(QContextMenuEvent::Mouse, middle, slider->mapToGlobal(middle));
        QApplication::sendEvent(slider, &menu);
        QVERIFY(form->Transport().Timer()->isActive());
        QVERIFY(Get<QToolButton>(form.get(), "BNPlay")->isChecked());
        // In edit mode letting go starts nothing.
        form->Document.SetPlaying(false);
        SendMouse(slider, QEvent::MouseButtonPress, QPoint(3, y), Qt::LeftButton, Qt::LeftButton);
        SendMouse(slider, QEvent::MouseButtonRelease, QPoint(3, y), Qt::LeftButton, Qt::NoButton);
        QVERIFY(!form->Transport().Timer()->isActive());
    }

    // A node whose first entry comes late plays from the start, posed as the game poses it,
    // without a message.
    void aLateFirstEntryPlays() {
        TVorlinForm form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.Files().Load3DO(Write("m.3do", kTwoNodeModel));
        form.Files().LoadKEY(Write("late.key", "SECTION: HEADER\nFLAGS 0x3\nTYPE 0xFFFF\nFRAMES 10\n"
                                       "FPS 100\nJOINTS 2\nSECTION: KEYFRAME NODES\nNODES 1\n"
                                       "NODE 0\nMESH NAME ROOT\nENTRIES 1\n"
                                       "0: 5 0x1 1 0 0 0 0 0\n0.5 0 0 0 0 0\n"));
        form.Document.SetPlaying(true);
        QTRY_VERIFY(Get<QScrollBar>(&form, "SBFrame")->value() >= 6);
        form.Document.SetPlaying(false);
        QVERIFY(boxes_.empty());
        form.Document.SetFrame(1);
        QCOMPARE(form.Document.Model->HNodes[0].CurX, -1.0); // 1 + (1 - 5) * 0.5
    }
};

QTEST_MAIN(TestPlayback)
#include "test_playback.moc"
