// Undo and redo of every change to the document: each command done, undone (the document as
// it was, byte for byte as saved) and redone (as it was after).
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QToolButton>
#include <QTreeWidget>

#include "app/autosave.h"
#include "app/file_commands.h"
#include "app/vorlinform.h"
#include "panels/transport/transport_panel.h"
#include "panels/view/view_panel.h"
#include "key/u_key.h"
#include "panels/timeline/timeline_panel.h"
#include "gl/ogl_PRender.h"
#include "ui_helpers.h"

using namespace vorlin;
using namespace vorlin::test;

namespace {

// LONE has five entries at frames 0, 10, 20, 25, 29 with x 0..4; a looping KEY with a marker.
const char* kKey =
    "SECTION: HEADER\nFLAGS 0x3\nFRAMES 30\nJOINTS 2\nSECTION: MARKERS\nMARKERS 1\n4 1\n"
    "SECTION: KEYFRAME NODES\nNODES 2\nNODE 0\n"
    "MESH NAME ROOT\nENTRIES 1\n0: 0 0x0 0 0 0 0 0 0\n0 0 0 0 0 0\nNODE 1\n"
    "MESH NAME LONE\nENTRIES 5\n0: 0 0x0 0 0 0 0 0 0\n0 0 0 0 0 0\n"
    "1: 10 0x0 1 0 0 0 0 0\n0 0 0 0 0 0\n2: 20 0x0 2 0 0 0 0 0\n0 0 0 0 0 0\n"
    "3: 25 0x0 3 0 0 0 0 0\n0 0 0 0 0 0\n4: 29 0x0 4 0 0 0 0 0\n0 0 0 0 0 0\n";

} // namespace

class TestUndo : public QObject, public UiTestBase {
    Q_OBJECT

    std::unique_ptr<TVorlinForm> form_;

    TVorlinForm& F() { return *form_; }
    std::string Text() { return F().Document.KeyFile->ToText(); }
    void Open() {
        form_ = std::make_unique<TVorlinForm>();
        form_->show();
        QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
        form_->Files().Load3DO(Write("m.3do", kTwoNodeModel));
        form_->Files().LoadKEY(Write("walk.key", kKey));
        Select(1, 2);
    }
    void Select(int node, int entry) {
        auto* tree = Get<QTreeWidget>(form_.get(), "TV3DO");
        tree->setCurrentItem(tree->topLevelItem(node));
        auto* list = Get<QListWidget>(form_.get(), "LBKEY");
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(list->item(entry)).center());
    }
    void Menu(const char* name) { Get<QAction>(form_.get(), name)->trigger(); }
    QAction* Undo() { return Get<QAction>(form_.get(), "Undo1"); }
    QAction* Redo() { return Get<QAction>(form_.get(), "Redo1"); }

    // Runs a command, then checks one step was recorded under its name, that undoing it gives
    // back the document and selection it started from and redoing gives the changed one.
    void Step(const char* what, const char* undoText, const std::function<void()>& command) {
        const std::string before = Text();
        const int node = F().Document.SelectedNode(), entry = F().Document.SelectedEntry();
        const int steps = int(F().Document.History().Index());
        command();
        const std::string after = Text();
        QVERIFY2(after != before, what);
        QVERIFY2(int(F().Document.History().Index()) == steps + 1, what);
        QCOMPARE(Undo()->text(), QString("U&ndo ") + undoText);
        QVERIFY(Undo()->isEnabled());
        Undo()->trigger();
        QVERIFY2(Text() == before, what);
        QVERIFY2(F().Document.SelectedNode() == node && F().Document.SelectedEntry() == entry, what);
        QCOMPARE(Redo()->text(), QString("&Redo ") + undoText);
        Redo()->trigger();
        QVERIFY2(Text() == after, what);
        Undo()->trigger(); // back where the next step starts
        QVERIFY2(Text() == before, what);
    }

private slots:
    void init() { InitBase(); }
    void cleanup() {
        form_.reset();
        CleanupBase();
    }

    void theEditMenuAndItsKeys() {
        SETUP(Open());
        auto* menu = Get<QMenu>(form_.get(), "EditKey1");
        QCOMPARE(menu->actions()[0], Undo());
        QCOMPARE(menu->actions()[1], Redo());
        QCOMPARE(menu->actions()[3]->objectName(), QString("CutEntry1"));
        QVERIFY(!Undo()->isEnabled() && !Redo()->isEnabled());
        QCOMPARE(Undo()->shortcuts(), QList<QKeySequence>{QKeySequence("Ctrl+Z")});
        QCOMPARE(Redo()->shortcuts(),
                 (QList<QKeySequence>{QKeySequence("Ctrl+Shift+Z"), QKeySequence("Ctrl+Y")}));
        Menu("AddEntry1");
        form_->activateWindow();
        VERIFY_ACTIVE(form_.get());
        QTest::keyClick(form_.get(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(F().Document.KeyFile->Nodes[1].Entries.Count(), 5);
        QTest::keyClick(form_.get(), Qt::Key_Y, Qt::ControlModifier);
        QCOMPARE(F().Document.KeyFile->Nodes[1].Entries.Count(), 6);
        QTest::keyClick(form_.get(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(F().Document.KeyFile->Nodes[1].Entries.Count(), 6); // nothing more to redo
        // The menu bar keeps the keys after a menu closed with Escape: they still undo and
        // redo (the menus' own keys and the window's are one command, not two that cancel).
        F().menuBar()->setFocus();
        QTest::keyClick(F().menuBar(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(F().Document.KeyFile->Nodes[1].Entries.Count(), 5);
        QTest::keyClick(F().menuBar(), Qt::Key_Y, Qt::ControlModifier);
        QCOMPARE(F().Document.KeyFile->Nodes[1].Entries.Count(), 6);
    }

    void everyCommandIsOneStep() {
        SETUP(Open());
        Settings.DEFAULT_FRAMEGAP = 10;
        Step("add", "Add Entry", [&] { Menu("AddEntry1"); });
        Step("insert", "Insert Entry", [&] { Menu("InsertEntry1"); });
        Step("delete", "Delete Entry", [&] { Menu("DeleteEntry1"); });
        Step("cut", "Cut Entry", [&] { Menu("CutEntry1"); });
        Menu("CopyEntry1");
        QCOMPARE(int(F().Document.History().Index()), 0); // copying changes nothing
        Select(1, 4);
        Step("paste", "Paste Entry", [&] { Menu("PasteEntry1"); });
        Step("entry dialog", "Edit Entry", [&] {
            WhenModal([](QWidget* d) {
                Get<QLineEdit>(d, "EVZ")->setText("7");
                Get<QPushButton>(d, "BNOK")->click();
            });
            Menu("CurrentEntry1");
        });
        Step("markers", "Edit Markers", [&] {
            WhenModal([](QWidget* d) {
                Get<QPushButton>(d, "BNDouble")->click();
                Get<QPushButton>(d, "BNOk")->click();
            });
            Menu("Markers1");
        });
        Step("summary", "KEY Summary", [&] {
            WhenModal([](QWidget* d) {
                Get<QLineEdit>(d, "EBShift")->setText("2");
                Get<QTableWidget>(d, "SGFrame")->setCurrentCell(1, 1);
                Get<QPushButton>(d, "BNKeyShift")->click();
                Get<QPushButton>(d, "BNOk")->click();
            });
            Menu("KEYSummary1");
        });
        // Clicking the entry on show again carries it forward onto the later ones.
        Select(1, 3);
        Settings.AUTOCOPY_FWD = true;
        Step("auto copy", "Auto Copy", [&] {
            Get<QToolButton>(form_.get(), "BNAutoCopy")->setChecked(true);
            Select(1, 3);
        });
        Get<QToolButton>(form_.get(), "BNAutoCopy")->setChecked(false);
        // A whole drag is one step, however many moves it takes (where there is a view).
        if (F().View().PaintBox()) {
            Get<QToolButton>(form_.get(), "BNMove")->click();
            Settings.MOVE_STEP = 0.25;
            Step("drag", "Move Entry", [&] {
                Drag(F().View().PaintBox(), QPoint(40, 40),
                     {QPoint(41, 40), QPoint(44, 40), QPoint(50, 40), QPoint(52, 40)});
            });
            Get<QToolButton>(form_.get(), "BNRotate")->click();
            Step("rotate", "Rotate Entry",
                 [&] { Drag(F().View().PaintBox(), QPoint(40, 40), {QPoint(45, 40)}); });
        }
        // A dialog cancelled, a click without Auto Copy: no step.
        WhenModal([](QWidget* d) { Get<QPushButton>(d, "BNCancel")->click(); });
        Menu("CurrentEntry1");
        Select(1, 1);
        QCOMPARE(int(F().Document.History().Index()), 0);
        QCOMPARE(int(F().Document.History().Count()), 1); // the last step, undone and ready to redo
    }

    // What the window shows follows the document: an entry past the last frame lengthens
    // the slider, the frame label and the timeline, and undo shortens them again. OK on a
    // summary that changed nothing is no step and keeps the selection.
    void theWindowFollowsWhatAStepChanged() {
        SETUP(Open());
        Select(1, 4); // the last entry, on the last frame (29)
        auto* slider = Get<QScrollBar>(form_.get(), "SBFrame");
        auto* label = Get<QLabel>(form_.get(), "LBFrame");
        Settings.DEFAULT_FRAMEGAP = 10;
        Menu("InsertEntry1");
        QCOMPARE(F().Document.KeyFile->Frames, 40);
        QCOMPARE(slider->maximum(), 39);
        QVERIFY(label->text().endsWith("/39"));
        const TTimelineLayout& strip = F().TimelinePanel()->Layout;
        QVERIFY(strip.X(39) < F().TimelinePanel()->width()); // the whole of it still on show
        Undo()->trigger();
        QCOMPARE(slider->maximum(), 29);
        QVERIFY(label->text().endsWith("/29"));

        Select(1, 2);
        const int steps = int(F().Document.History().Count());
        WhenModal([](QWidget* d) { Get<QPushButton>(d, "BNOk")->click(); });
        Menu("KEYSummary1");
        QCOMPARE(int(F().Document.History().Count()), steps);
        QVERIFY(!F().isWindowModified());
        QCOMPARE(F().Document.SelectedEntry(), 2);
        QCOMPARE(slider->value(), 20);
    }

    void recalculatingRatesIsOneStep() {
        SETUP(Open());
        // Stale rates from the file: the check dialog's button fixes them all.
        Step("recalculate", "Recalculate Rates", [&] {
            WhenModal([](QWidget* d) {
                Get<QPushButton>(d, "BNRecalc")->click();
                Get<QPushButton>(d, "BNClose")->click();
            });
            Menu("CheckKEY1");
        });
    }

    void savingMarksTheCleanState() {
        SETUP(Open());
        QVERIFY(F().Document.History().AtClean());
        Menu("AddEntry1");
        QVERIFY(!F().Document.History().AtClean());
        Menu("SaveKEY1");
        QVERIFY(F().Document.History().AtClean());
        QVERIFY(!F().Document.KeyFile->IsModified());
        Undo()->trigger(); // past the save: modified
        QVERIFY(F().Document.KeyFile->IsModified());
        answer_ = IDCANCEL;
        QVERIFY(!F().close()); // asked
        QCOMPARE(boxes_.size(), size_t(1));
        Redo()->trigger(); // back at the save: nothing to ask
        QVERIFY(!F().Document.KeyFile->IsModified());
        boxes_.clear();
        QVERIFY(F().close());
        QVERIFY(boxes_.empty());
    }

    void anotherDocumentClearsTheSteps() {
        SETUP(Open());
        Menu("AddEntry1");
        Menu("DeleteEntry1");
        QCOMPARE(int(F().Document.History().Count()), 2);
        answer_ = IDNO;
        F().Files().LoadKEY(Write("other.key", kKey));
        QCOMPARE(int(F().Document.History().Count()), 0);
        QVERIFY(!Undo()->isEnabled());
        Menu("AddEntry1");
        ConfirmNext("BNOk");
        Menu("NewKEY1");
        QCOMPARE(int(F().Document.History().Count()), 0);
    }

    void undoingADeletionBringsTheSameEntryBack() {
        SETUP(Open());
        Menu("CopyEntry1"); // entry 2 is the copy source
        Menu("DeleteEntry1");
        Undo()->trigger();
        QVERIFY(F().Document.CopiedEntry == F().Document.KeyFile->Nodes[1].Entries.Get(2));
        QCOMPARE(F().Document.SelectedEntry(), 2);
        QCOMPARE(Get<QListWidget>(form_.get(), "LBKEY")->count(), 5);
    }
};

QTEST_MAIN(TestUndo)
#include "test_undo.moc"
