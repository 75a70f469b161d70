// The node tree, the entry list and the Edit menu's commands in the main window.
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QStatusBar>
#include <QTableWidget>
#include <QToolButton>
#include <QTreeWidget>

#include "app/autosave.h"
#include "app/file_commands.h"
#include "app/vorlinform.h"
#include "gl/ogl_PRender.h"
#include "key/u_key.h"
#include "panels/transport/transport_panel.h"
#include "panels/view/view_panel.h"
#include "ui_helpers.h"

using namespace vorlin;
using namespace vorlin::test;

namespace {

// Node ROOT with one entry; node LONE with five, at frames 0, 10, 20, 25, 29 and x 0..4.
const char* kFiveEntries =
    "SECTION: HEADER\nFRAMES 30\nSECTION: KEYFRAME NODES\nNODES 2\nNODE 0\n"
    "MESH NAME ROOT\nENTRIES 1\n0: 0 0x0 0 0 0 0 0 0\n0 0 0 0 0 0\nNODE 1\n"
    "MESH NAME LONE\nENTRIES 5\n0: 0 0x0 0 0 0 0 0 0\n0 0 0 0 0 0\n"
    "1: 10 0x0 1 0 0 0 0 0\n0 0 0 0 0 0\n2: 20 0x0 2 0 0 0 0 0\n0 0 0 0 0 0\n"
    "3: 25 0x0 3 0 0 0 0 0\n0 0 0 0 0 0\n4: 29 0x0 4 0 0 0 0 0\n0 0 0 0 0 0\n";

} // namespace

class TestEntryCommands : public QObject, public UiTestBase {
    Q_OBJECT

    std::unique_ptr<TVorlinForm> form_;

    TVorlinForm& F() { return *form_; }
    void Open(const char* key = kFiveEntries) {
        form_ = std::make_unique<TVorlinForm>();
        form_->show();
        QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
        form_->Files().Load3DO(Write("m.3do", kTwoNodeModel));
        form_->Files().LoadKEY(Write("walk.key", key));
    }
    void Node(int row) {
        auto* tree = Get<QTreeWidget>(form_.get(), "TV3DO");
        tree->scrollToItem(tree->topLevelItem(row)); // as a user scrolls to a row below
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {},
                          tree->visualItemRect(tree->topLevelItem(row)).center());
    }
    void Entry(int row, Qt::MouseButton button = Qt::LeftButton) {
        auto* list = Get<QListWidget>(form_.get(), "LBKEY");
        QTest::mouseClick(list->viewport(), button, {},
                          list->visualItemRect(list->item(row)).center());
    }
    void Menu(const char* name) { Get<QAction>(form_.get(), name)->trigger(); }
    TKEYEntry& E(int i, int node = 1) { return F().Document.KeyFile->Nodes[node].Entries[i]; }
    int Rows() { return Get<QListWidget>(form_.get(), "LBKEY")->count(); }
    int Frame() { return Get<QScrollBar>(form_.get(), "SBFrame")->value(); }

private slots:
    void init() { InitBase(); }
    void cleanup() {
        form_.reset();
        CleanupBase();
    }

    void selectingNodesAndEntries() {
        Open();
        QCOMPARE(Rows(), 1); // ROOT's one entry
        Node(1);
        QCOMPARE(F().Document.SelectedNode(), 1);
        QCOMPARE(F().PanelText(0), QString("lone"));
        QCOMPARE(Rows(), 5);
        Entry(3);
        QCOMPARE(F().Document.SelectedEntry(), 3);
        QCOMPARE(F().PanelText(1), QString("Entry: 3"));
        QCOMPARE(Frame(), 25);
        // Another node: the frame stays, and its entry in effect there is picked.
        Node(0);
        QCOMPARE(F().Document.SelectedEntry(), 0);
        QCOMPARE(F().PanelText(1), QString("Entry: 0"));
        QCOMPARE(Frame(), 25);
        Node(1);
        QCOMPARE(F().Document.SelectedEntry(), 3);
        QCOMPARE(Frame(), 25);
        // Clicking an entry during playback ends it.
        F().Document.SetPlaying(true);
        Entry(2);
        QVERIFY(Get<QToolButton>(form_.get(), "BNEdit")->isChecked());
        QCOMPARE(Frame(), 20);
        // The right button picks the row under it, for the menu it opens.
        Entry(3, Qt::RightButton);
        QCOMPARE(F().Document.SelectedEntry(), 3);
        QCOMPARE(Frame(), 25);
        Entry(2);
        // Arrow keys pick entries too.
        auto* list = Get<QListWidget>(form_.get(), "LBKEY");
        list->setFocus();
        QTest::keyClick(list, Qt::Key_Down);
        QCOMPARE(F().Document.SelectedEntry(), 3);
        QCOMPARE(Frame(), 25);
    }

    void pickingANodeKeepsTheFrameAndPicksItsEntryThere() {
        Open("SECTION: HEADER\nFRAMES 30\nJOINTS 2\nSECTION: KEYFRAME NODES\nNODES 2\nNODE 0\n"
             "MESH NAME ROOT\nENTRIES 2\n0: 0 0x0 0 0 0 0 0 0\n0 0 0 0 0 0\n"
             "1: 5 0x0 0 0 0 0 0 0\n0 0 0 0 0 0\nNODE 1\nMESH NAME LONE\nENTRIES 2\n"
             "0: 0 0x0 0 0 0 0 0 0\n0 0 0 0 0 0\n1: 12 0x0 0 0 0 0 0 0\n0 0 0 0 0 0\n");
        Entry(1);
        QCOMPARE(Frame(), 5);
        Node(1); // its entries at 0 and 12: the one at 0 poses frame 5
        QCOMPARE(F().Document.SelectedEntry(), 0);
        QCOMPARE(Frame(), 5);
        QCOMPARE(F().PanelText(0), QString("lone"));
        // The frame set on the slider stays too, whatever entry was picked before.
        Get<QScrollBar>(form_.get(), "SBFrame")->setValue(14);
        Node(0);
        QCOMPARE(F().Document.SelectedEntry(), 1);
        QCOMPARE(Frame(), 14);
        QCOMPARE(Get<QListWidget>(form_.get(), "LBKEY")->currentRow(), 1);
    }

    void autoCopyOnAClick() {
        Open();
        Node(1);
        Settings.AUTOCOPY_X = true;
        Settings.AUTOCOPY_Y = Settings.AUTOCOPY_Z = Settings.AUTOCOPY_PCH = false;
        Settings.AUTOCOPY_ROL = Settings.AUTOCOPY_YAW = false;
        Settings.AUTOCOPY_FWD = true;
        Entry(1);
        Get<QToolButton>(form_.get(), "BNAutoCopy")->click();
        Entry(2); // entry 1's x goes into entries 2 to the last
        for (int i = 2; i < 5; ++i)
            QCOMPARE(E(i).X, 1.0);
        QCOMPARE(E(0).X, 0.0);
        QCOMPARE(E(4).Frame, 29);
    }

    void theContextMenuAndItsEnabling() {
        Open();
        auto* menu = Get<QMenu>(form_.get(), "PMEntry");
        emit menu->aboutToShow(); // ROOT: one entry
        for (const char* name : {"Copy1", "Paste1", "Insert1", "Delete1"})
            QVERIFY(!Get<QAction>(form_.get(), name)->isEnabled());
        QVERIFY(Get<QAction>(form_.get(), "Add1")->isEnabled());
        Node(1);
        emit menu->aboutToShow();
        for (const char* name : {"Copy1", "Paste1", "Add1", "Insert1", "Delete1"})
            QVERIFY(Get<QAction>(form_.get(), name)->isEnabled());
        Entry(4);
        Get<QAction>(form_.get(), "Delete1")->trigger();
        QCOMPARE(Rows(), 4);
        QCOMPARE(Get<QListWidget>(form_.get(), "LBKEY")->contextMenuPolicy(),
                 Qt::CustomContextMenu);
    }

    void addInsertAndDelete() {
        Open();
        Node(1);
        Settings.DEFAULT_FRAMEGAP = 10;
        Entry(2);
        Get<QToolButton>(form_.get(), "BNAddEntry")->click();
        QCOMPARE(Rows(), 6);
        QCOMPARE(Get<QListWidget>(form_.get(), "LBKEY")->item(5)->text(), QString("Entry 5 (39)"));
        QCOMPARE(E(5).Frame, 39);
        QCOMPARE(F().Document.KeyFile->Frames, 40);
        QCOMPARE(Get<QScrollBar>(form_.get(), "SBFrame")->maximum(), 39);
        QCOMPARE(Get<QLabel>(form_.get(), "LBFrame")->text(), QString("20/39"));
        QCOMPARE(F().Document.SelectedEntry(), 2); // the selection and the frame stay
        Menu("InsertEntry1");
        QCOMPARE(Rows(), 7);
        QCOMPARE(E(3).X, 2.0); // entry 2's values in the slot after it
        QCOMPARE(E(3).Frame, 25);
        QCOMPARE(E(6).Frame, 49);
        QCOMPARE(F().Document.KeyFile->Frames, 50);
        // Delete the last entry: the one before it is selected.
        Entry(6);
        Get<QToolButton>(form_.get(), "BNDeleteEntry")->click();
        QCOMPARE(Rows(), 6);
        QCOMPARE(F().Document.SelectedEntry(), 5);
        QCOMPARE(F().PanelText(1), QString("Entry 5"));
        QCOMPARE(Frame(), E(5).Frame);              // shown at its frame
        QCOMPARE(F().Document.KeyFile->Frames, 50); // frames are not moved back
        // A node keeps its last entry, and the status bar says why nothing happened.
        Node(0);
        Menu("DeleteEntry1");
        QCOMPARE(Rows(), 1);
        QVERIFY(F().statusBar()->currentMessage().contains("keeps at least one entry"));
    }

    void copyMoveAndPaste() {
        Open();
        if (!F().View().PaintBox()) QSKIP("no 3D view to drag in on this display");
        Node(1);
        Entry(2);
        Get<QToolButton>(form_.get(), "BNCopyEntry")->click();
        // Entry 2 moved with the mouse after it was copied.
        Get<QToolButton>(form_.get(), "BNMove")->click();
        Get<QToolButton>(form_.get(), "BNXAxis")->click();
        Settings.MOVE_STEP = 0.5;
        Drag(F().View().PaintBox(), QPoint(50, 50), {QPoint(54, 50)});
        QCOMPARE(E(2).X, 4.0);
        Entry(4);
        Get<QToolButton>(form_.get(), "BNPasteEntry")->click();
        QCOMPARE(E(4).X, 4.0); // the moved values: the copy is a reference
        QCOMPARE(E(4).Frame, 29);
        QCOMPARE(Frame(), 29); // the frame on show
        // Cut: the entry leaves, its values stay to paste.
        Entry(1);
        Menu("CutEntry1");
        QCOMPARE(Rows(), 4);
        Entry(0);
        Menu("PasteEntry1");
        QCOMPARE(E(0).X, 1.0);
    }

    void currentEntryMarkersAndSummary() {
        Open();
        Node(1);
        Entry(1);
        WhenModal([](QWidget* d) {
            QCOMPARE(d->windowTitle(), QString("Entry 1 for lone"));
            Get<QLineEdit>(d, "EVY")->setText("2.5");
            Get<QLineEdit>(d, "EDY")->setText("9");
            Get<QPushButton>(d, "BNOK")->click();
        });
        Menu("CurrentEntry1");
        QCOMPARE(E(1).Y, 2.5);
        QCOMPARE(E(1).DY, 9.0); // typed rates stay as typed
        // Opened again, the dialog hints the rate the next key implies beside the typed one.
        WhenModal([](QWidget* d) {
            QCOMPARE(Get<QLabel>(d, "HintEDY")->text(), QString("next key: -0.25"));
            QCOMPARE(Get<QLabel>(d, "HintEDX")->text(), QString("next key: 0.1")); // stale file
            QCOMPARE(Get<QLabel>(d, "HintEDZ")->text(), QString());
            Get<QPushButton>(d, "BNCancel")->click();
        });
        Menu("CurrentEntry1");
        // A double-click edits the entry clicked.
        WhenModal([](QWidget* d) {
            QCOMPARE(d->windowTitle(), QString("Entry 3 for lone"));
            Get<QPushButton>(d, "BNCancel")->click();
        });
        auto* list = Get<QListWidget>(form_.get(), "LBKEY");
        const QPoint at = list->visualItemRect(list->item(3)).center();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
        // Markers: OK replaces them, Cancel leaves them.
        WhenModal([](QWidget* d) {
            Get<QPushButton>(d, "BNDouble")->click();
            Get<QPushButton>(d, "BNOk")->click();
        });
        Menu("Markers1");
        QCOMPARE(F().Document.KeyFile->Markers.Count(), 5);
        QCOMPARE(F().Document.KeyFile->Markers[2].MarkerType, 14);
        WhenModal([](QWidget* d) {
            Get<QPushButton>(d, "BNSingle")->click();
            Get<QPushButton>(d, "BNCancel")->click();
        });
        Menu("Markers1");
        QCOMPARE(F().Document.KeyFile->Markers.Count(), 5);
        // KEY Summary: Cancel keeps the document; OK takes the re-timed one, rates and all.
        const TKEYFile* doc = F().Document.KeyFile.get();
        WhenModal([](QWidget* d) {
            Get<QLineEdit>(d, "EBShift")->setText("1");
            Get<QTableWidget>(d, "SGFrame")->setCurrentCell(1, 1);
            Get<QPushButton>(d, "BNNodeShift")->click();
            Get<QPushButton>(d, "BNCancel")->click();
        });
        Menu("KEYSummary1");
        QCOMPARE(F().Document.KeyFile.get(), doc);
        QCOMPARE(E(1).Frame, 10);
        WhenModal([](QWidget* d) {
            Get<QLineEdit>(d, "EBShift")->setText("1");
            Get<QTableWidget>(d, "SGFrame")->setCurrentCell(1, 1);
            Get<QPushButton>(d, "BNNodeShift")->click();
            Get<QPushButton>(d, "BNOk")->click();
        });
        Menu("KEYSummary1");
        QCOMPARE(E(1).Frame, 11);
        QCOMPARE(E(1).DY, (0 - 2.5) / 10); // derived again
        QCOMPARE(F().Document.SelectedEntry(), 0);
        QCOMPARE(Frame(), 0);
        QVERIFY(boxes_.empty());
    }
};

QTEST_MAIN(TestEntryCommands)
#include "test_entry_commands.moc"
