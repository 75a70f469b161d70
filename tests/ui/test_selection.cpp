// Every command acts on the entry the user sees selected: focus, menus, dialogs and refills
// never pick an entry or run Auto Copy; what is highlighted is what is selected; a drag in the
// view is one clean step. Driven on the bundled sample with the mouse and keys, under a
// window manager (focus comes back to the list after a menu or dialog, as on a desktop).
#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QToolButton>
#include <QTreeWidget>

#include "app/autosave.h"
#include "app/file_commands.h"
#include "app/vorlinform.h"
#include "panels/transport/transport_panel.h"
#include "panels/view/view_panel.h"
#include "key/u_key.h"
#include "gl/ogl_PRender.h"
#include "ui_helpers.h"

using namespace vorlin;
using namespace vorlin::test;

namespace {

const QString kSample = VORLIN_SAMPLE_DIR;
constexpr int kArm = 3; // L_UPPER_ARM: entries at frames 0, 8, 16, 24, pitch 340, 0, 20, 0

} // namespace

class TestSelection : public QObject, public UiTestBase {
    Q_OBJECT

    std::unique_ptr<TVorlinForm> form_;

    TVorlinForm& F() { return *form_; }
    QListWidget* List() { return Get<QListWidget>(form_.get(), "LBKEY"); }
    QTreeWidget* Tree() { return Get<QTreeWidget>(form_.get(), "TV3DO"); }
    void Open() {
        form_ = std::make_unique<TVorlinForm>();
        form_->show();
        VERIFY_ACTIVE(form_.get());
        form_->Files().Load3DO(kSample + "/3do/sample.3do");
        form_->Files().LoadKEY(kSample + "/3do/key/walk.key");
    }
    void Node(int row) {
        Tree()->scrollToItem(Tree()->topLevelItem(row)); // as a user scrolls to a row below
        QTest::mouseClick(Tree()->viewport(), Qt::LeftButton, {},
                          Tree()->visualItemRect(Tree()->topLevelItem(row)).center());
    }
    QPoint Row(int row) { return List()->visualItemRect(List()->item(row)).center(); }
    void Entry(int row, Qt::MouseButton button = Qt::LeftButton) {
        QTest::mouseClick(List()->viewport(), button, {}, Row(row));
    }
    TKEYNode& KeyNode(int node) { return F().Document.KeyFile->Nodes[node]; }
    std::vector<std::pair<int, double>> FramesAndPitches(int node) {
        std::vector<std::pair<int, double>> out;
        for (const auto& e : KeyNode(node).Entries)
            out.emplace_back(e->Frame, e->Pitch);
        return out;
    }
    // The highlighted row is the selected entry.
    void CheckHighlight() {
        QCOMPARE(List()->currentRow(), F().Document.SelectedEntry());
        QVERIFY(List()->item(F().Document.SelectedEntry())->isSelected());
    }
    // Gives the window's focus to the list again the way a desktop does: after a menu closed.
    void OpenAndCloseAMenu() {
        QMenu* edit = Get<QMenu>(form_.get(), "EditKey1");
        QTimer::singleShot(0, edit, [edit] { edit->close(); });
        F().menuBar()->setActiveAction(edit->menuAction());
        QTRY_VERIFY(!edit->isVisible());
        QTRY_VERIFY(List()->hasFocus());
    }

    // The user turns to another window and back.
    void ActivateAgain() {
        QWidget other;
        other.setWindowTitle("other");
        other.show();
        VERIFY_ACTIVE(&other);
        other.close();
        F().activateWindow();
        VERIFY_ACTIVE(form_.get());
        QTRY_VERIFY(List()->hasFocus());
    }

private slots:
    void init() { InitBase(); }
    void cleanup() {
        form_.reset();
        CleanupBase();
    }

    void focusMenusAndDialogsNeverPickAnEntry() {
        if (QGuiApplication::platformName() == "offscreen")
            QSKIP("focus coming back to a window needs a window system");
        SETUP(Open());
        const auto walk = [&] {
            std::vector<std::vector<std::pair<int, double>>> all;
            for (int n = 0; n < F().Document.KeyFile->Nodes.Count(); ++n)
                all.push_back(FramesAndPitches(n));
            return all;
        }();
        Node(kArm);
        Entry(2);
        Get<QToolButton>(form_.get(), "BNAutoCopy")->click();
        QVERIFY(List()->hasFocus());
        // Tab away and back, a menu, the KEY summary closed with OK: nothing is picked, nothing
        // copied.
        QTest::keyClick(List(), Qt::Key_Tab, Qt::ShiftModifier);
        QTRY_VERIFY(!List()->hasFocus());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QTRY_VERIFY(List()->hasFocus());
        OpenAndCloseAMenu();
        QCOMPARE(F().Document.SelectedEntry(), 2);
        ConfirmNext("BNOk");
        Get<QAction>(form_.get(), "KEYSummary1")->trigger();
        QTRY_VERIFY(List()->hasFocus());
        ActivateAgain();
        for (int n = 0; n < F().Document.KeyFile->Nodes.Count(); ++n)
            QCOMPARE(FramesAndPitches(n), walk[size_t(n)]);
        QVERIFY(UndoText(F().Document) != "Auto Copy");
        Get<QToolButton>(form_.get(), "BNAutoCopy")->click();

        // Insert after entry 2, then Delete from the Edit menu: entry 2 goes, the list had
        // lost its current row in the refill and the menu gave it the focus back.
        Entry(2);
        Get<QToolButton>(form_.get(), "BNInsertEntry")->click();
        CheckHighlight();
        OpenAndCloseAMenu();
        Get<QAction>(form_.get(), "DeleteEntry1")->trigger();
        QCOMPARE(F().PanelText(1), QString("Entry 2"));
        QCOMPARE(KeyNode(kArm).Entries.Count(), 4);
        QCOMPARE(KeyNode(kArm).Entries[0].Frame, 0);
        QCOMPARE(KeyNode(kArm).Entries[0].Pitch, 340.0);
        CheckHighlight();
        // Saved and read back: the node lost entry 2's values (its copy at frame 24 stays).
        const std::string saved = files_->file("saved.key");
        SetFileDialogHandler(
            [&](const FileDialogRequest&) { return std::optional<QString>(saved.c_str()); });
        Get<QAction>(form_.get(), "SaveAsKEY1")->trigger();
        auto back = TKEYFile::CreateFromFile(saved);
        std::vector<double> pitches;
        for (const auto& e : back->Nodes[kArm].Entries)
            pitches.push_back(e->Pitch);
        QCOMPARE(pitches, (std::vector<double>{340, 0, 20, 0}));
    }

    void theHighlightedRowIsTheSelection() {
        SETUP(Open());
        Node(kArm);
        // Press on entry 0, drag to entry 2, let go: entry 2 is picked.
        SendMouse(List()->viewport(), QEvent::MouseButtonPress, Row(0), Qt::LeftButton,
                  Qt::LeftButton);
        QCOMPARE(F().Document.SelectedEntry(), 0);
        for (int row : {1, 2})
            SendMouse(List()->viewport(), QEvent::MouseMove, Row(row), Qt::NoButton,
                      Qt::LeftButton);
        QCOMPARE(F().Document.SelectedEntry(), 0); // the highlight follows, the selection waits
        SendMouse(List()->viewport(), QEvent::MouseButtonRelease, Row(2), Qt::LeftButton,
                  Qt::NoButton);
        QCOMPARE(F().Document.SelectedEntry(), 2);
        QCOMPARE(F().PanelText(1), QString("Entry: 2"));
        Get<QAction>(form_.get(), "DeleteEntry1")->trigger();
        QCOMPARE(FramesAndPitches(kArm),
                 (std::vector<std::pair<int, double>>{{0, 340}, {8, 0}, {24, 0}}));
        CheckHighlight();
        // A right-click picks the row under the pointer; the menu then acts on it, Cut too.
        Entry(0, Qt::RightButton);
        QCOMPARE(F().Document.SelectedEntry(), 0);
        auto* menu = Get<QMenu>(form_.get(), "PMEntry");
        QContextMenuEvent opens(QContextMenuEvent::Mouse, Row(0),
                                List()->viewport()->mapToGlobal(Row(0))); // as the desktop sends it
        QApplication::sendEvent(List()->viewport(), &opens);
        QTRY_VERIFY(menu->isVisible());
        menu->close();
        emit menu->aboutToShow();
        QVERIFY(Get<QAction>(form_.get(), "Cut1")->isEnabled());
        Get<QAction>(form_.get(), "Cut1")->trigger();
        QCOMPARE(FramesAndPitches(kArm), (std::vector<std::pair<int, double>>{{8, 0}, {24, 0}}));
        CheckHighlight();
        Get<QAction>(form_.get(), "Paste1")->trigger();
        QCOMPARE(KeyNode(kArm).Entries[0].Pitch, 340.0);
        CheckHighlight();
        // The keys that move through the rows pick; Home and End stay in the list.
        Get<QAction>(form_.get(), "Add1")->trigger();
        List()->setFocus();
        QTest::keyClick(List(), Qt::Key_End);
        QCOMPARE(F().Document.SelectedEntry(), 2);
        QTest::keyClick(List(), Qt::Key_Up);
        QCOMPARE(F().Document.SelectedEntry(), 1);
        QCOMPARE(F().PanelText(1), QString("Entry: 1"));
        QTest::keyClick(List(), Qt::Key_Home);
        QCOMPARE(F().Document.SelectedEntry(), 0);
        CheckHighlight();
        // Another node with as many rows keeps the list and the frame; the status bar shows
        // that node's values.
        Node(5);  // R_UPPER_ARM
        Entry(2); // frame 16: pitch 340
        QVERIFY2(F().PanelText(3).contains("Pitch: 340"), qPrintable(F().PanelText(3)));
        Node(9); // R_THIGH: four entries, pitch 25 at frame 16
        QCOMPARE(F().Document.SelectedEntry(), 2);
        QVERIFY2(F().PanelText(3).contains("Pitch: 25"), qPrintable(F().PanelText(3)));
    }

    void aDragInTheViewIsOneCleanStep() {
        SETUP(Open());
        if (!F().View().PaintBox()) QSKIP("no OpenGL view on this display");
        constexpr int kTorso = 1, kHead = 2;
        const auto torso = FramesAndPitches(kTorso);
        const auto head = FramesAndPitches(kHead);
        Node(kTorso);
        Get<QAction>(form_.get(), "AddEntry1")->trigger();
        Get<QToolButton>(form_.get(), "BNRotate")->click();
        QWidget* view = F().View().PaintBox();
        SendMouse(view, QEvent::MouseButtonPress, {50, 50}, Qt::LeftButton, Qt::LeftButton);
        SendMouse(view, QEvent::MouseMove, {60, 50}, Qt::NoButton, Qt::LeftButton);
        // Down in the tree and Ctrl+Z wait for the release.
        QTest::keyClick(Tree(), Qt::Key_Down);
        QCOMPARE(F().Document.SelectedNode(), kTorso);
        QCOMPARE(Tree()->currentItem(), Tree()->topLevelItem(kTorso));
        QTest::keyClick(F().windowHandle(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(KeyNode(kTorso).Entries.Count(), 3);
        SendMouse(view, QEvent::MouseMove, {70, 50}, Qt::NoButton, Qt::LeftButton);
        SendMouse(view, QEvent::MouseButtonRelease, {70, 50}, Qt::LeftButton, Qt::NoButton);
        // Once everything queued has run, the tree, the status bar and the commands agree.
        QTest::qWait(20);
        QCOMPARE(Tree()->currentItem(), Tree()->topLevelItem(kTorso));
        QCOMPARE(F().PanelText(0), QString("torso"));
        QVERIFY(view->hasFocus()); // the press took the keys
        QCOMPARE(FramesAndPitches(kHead), head);
        QCOMPARE(int(F().Document.History().Count()), 2);
        QCOMPARE(UndoText(F().Document), QString("Rotate Entry"));
        while (F().Document.History().CanUndo())
            F().Document.Undo();
        QCOMPARE(FramesAndPitches(kTorso), torso);
        QCOMPARE(FramesAndPitches(kHead), head);
        QVERIFY(!F().isWindowModified());
    }
};

QTEST_MAIN(TestSelection)
#include "test_selection.moc"
