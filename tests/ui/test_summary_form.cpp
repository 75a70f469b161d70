// The KEY summary dialog driven by its controls, and New KEY through it.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTableWidget>

#include "app/autosave.h"
#include "app/file_commands.h"
#include "app/vorlinform.h"
#include "panels/transport/transport_panel.h"
#include "panels/view/view_panel.h"
#include "dialogs/summary_form.h"
#include "key/u_key.h"
#include "ui_helpers.h"

using namespace vorlin;
using namespace vorlin::test;

namespace {

// Nodes with entries at the given frames, 101 frames at 15 fps.
TKEYFile Doc(const std::vector<std::vector<int>>& nodes) {
    TKEYFile doc;
    doc.Name = "walk.key";
    doc.Frames = 101;
    doc.FPS = 15;
    for (size_t n = 0; n < nodes.size(); ++n) {
        TKEYNode& node = doc.Nodes.Add();
        node.MeshName = "NODE" + std::to_string(n);
        for (int f : nodes[n])
            node.Entries.Add().Frame = f;
    }
    return doc;
}

} // namespace

class TestSummaryForm : public QObject, public UiTestBase {
    Q_OBJECT

    TSummaryForm* form_ = nullptr;
    QTableWidget* grid_ = nullptr;

    void Bind(const TKEYFile& doc) {
        delete form_;
        form_ = new TSummaryForm;
        form_->ShowSummary(doc);
        form_->show();
        form_->activateWindow();
        VERIFY_ACTIVE(form_);
        grid_ = Get<QTableWidget>(form_, "SGFrame");
    }
    void SetCell(int node, int entry, const QString& text) {
        grid_->item(node, entry)->setText(text);
    }
    void Press(const char* button) { Get<QPushButton>(form_, button)->click(); }
    void Field(const char* name, const QString& text) {
        Get<QLineEdit>(form_, name)->setText(text);
    }

private slots:
    void init() { InitBase(); }
    void cleanup() {
        delete form_;
        form_ = nullptr;
        CleanupBase();
    }

    void showsTheDocument() {
        Settings.DEFAULT_FRAMEGAP = 7;
        TKEYFile doc = Doc({{0, 10, 20}, {0, 50}});
        doc.Flags = 3;
        doc.KeyType = 0xF;
        SETUP(Bind(doc));
        QCOMPARE(form_->windowTitle(), QString("KEY Summary - walk.key"));
        QCOMPARE(Get<QLabel>(form_, "STTime")->text(), QString("Time = 6.7333 sec"));
        QCOMPARE(Get<QLineEdit>(form_, "EBLast")->text(), QString("100"));
        QCOMPARE(Get<QLineEdit>(form_, "EBFrameRate")->text(), QString("15"));
        QCOMPARE(Get<QLineEdit>(form_, "EBGap")->text(), QString("7"));
        QCOMPARE(Get<QComboBox>(form_, "CBFlags")->currentText(), QString("Looping (0x3)"));
        QCOMPARE(Get<QComboBox>(form_, "CBType")->currentText(), QString("Low Priority (0xf)"));
        QCOMPARE(form_->CellText(0, 0), QString("Nodes \\ Entries"));
        QCOMPARE(form_->CellText(0, 2), QString("node1"));
        QCOMPARE(form_->CellText(3, 0), QString("2"));
        QCOMPARE(form_->CellText(3, 1), QString("20"));
        QCOMPARE(form_->CellText(2, 2), QString("50"));
        QCOMPARE(form_->CellText(3, 2), QString("")); // past the node's last entry
        QFont bold = grid_->verticalHeader()->font(); // the current row's name shows whole
        bold.setBold(true);
        QVERIFY(grid_->verticalHeader()->width() > QFontMetrics(bold).horizontalAdvance("node1"));
        // A header value not in the list selects nothing new; picking an item sets it.
        doc.Flags = 2;
        SETUP(Bind(doc));
        auto* flags = Get<QComboBox>(form_, "CBFlags");
        QCOMPARE(flags->currentIndex(), 0);
        QCOMPARE(form_->Document().Flags, 2u);
        flags->setCurrentIndex(4);
        emit flags->activated(4);
        QCOMPARE(form_->Document().Flags, 0xBu);
        // The current cell stays from one opening to the next, within the grid.
        grid_->setCurrentCell(1, 2);
        form_->ShowSummary(doc);
        QCOMPARE(grid_->currentRow(), 1);
        QCOMPARE(grid_->currentColumn(), 2);
        grid_->setCurrentCell(1, 3);
        form_->ShowSummary(Doc({{0}}));
        QCOMPARE(grid_->currentRow(), 0);
        QVERIFY(grid_->currentColumn() <= 1);
    }

    void cellChecksShowEachMessageAndKeepTheEntry() {
        SETUP(Bind(Doc({{0, 10, 20}})));
        SetCell(0, 0, "-5");
        Press("BNOk");
        QCOMPARE(TakeMessages(), (QStringList{"Frame number cannot be less than zero.",
                                              "First entry must be at frame zero."}));
        QCOMPARE(boxes_.size(), size_t(0));
        QVERIFY(form_->isVisible());
        QCOMPARE(grid_->currentRow(), 0);
        QCOMPARE(grid_->currentColumn(), 0);
        QCOMPARE(form_->Document().Nodes[0].Entries[0].Frame, 0);
        SetCell(0, 0, "0");
        // Typed with the keyboard: not a whole number.
        grid_->setCurrentCell(0, 2);
        grid_->setFocus();
        QTest::keyClick(grid_, Qt::Key_F2);
        auto* editor = qobject_cast<QLineEdit*>(form_->focusWidget());
        QVERIFY(editor);
        editor->selectAll();
        QTest::keyClicks(editor, "2.5");
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_COMPARE(form_->CellText(3, 1), QString("2.5")); // committed after the key
        Press("BNOk");
        // The later checks see the 2 read before the failure.
        QCOMPARE(TakeMessages(), (QStringList{"Frame is not a whole number.",
                                              "Frame numbers must be increasing."}));
        QCOMPARE(grid_->currentColumn(), 2);
        QCOMPARE(form_->focusWidget(), grid_);
        SetCell(0, 2, "10");
        Press("BNOk");
        QCOMPARE(TakeMessages(), QStringList{"Frame numbers must be increasing."});
        SetCell(0, 2, "30");
        Press("BNOk");
        QVERIFY(!form_->isVisible());
        QCOMPARE(test::EntryFrames(form_->Document(), 0), (std::vector<int>{0, 10, 30}));
    }

    void headerFieldChecks() {
        SETUP(Bind(Doc({{0, 10}})));
        auto check = [&](const char* field, const char* text, const char* message) {
            Field(field, text);
            Press("BNOk");
            QCOMPARE(TakeMessages(), QStringList{message});
            QCOMPARE(form_->focusWidget(), Get<QLineEdit>(form_, field));
            QVERIFY(form_->isVisible());
        };
        check("EBLast", "x", "Last frame is not a whole number.");
        check("EBLast", "-2", "Last frame cannot be less than zero.");
        Field("EBLast", "50");
        check("EBFrameRate", "0", "Frame rate cannot be less than 1.");
        check("EBFrameRate", "7.5", "Frame rate is not a whole number.");
        Field("EBFrameRate", "30");
        Press("BNOk");
        QCOMPARE(form_->Document().Frames, 51);
        QCOMPARE(form_->Document().FPS, 30);
        // The gap is checked against the frames before anything else.
        SETUP(Bind(Doc({{0, 10}})));
        auto gap = [&](const char* text, const char* message) {
            Field("EBGap", text);
            Press("BNNodeGap");
            QCOMPARE(TakeMessages(), QStringList{message});
            QCOMPARE(form_->focusWidget(), Get<QLineEdit>(form_, "EBGap"));
        };
        gap("0", "Entry gap cannot be less than one frame.");
        gap("102", "Entry gap is more than total number of frames.");
        gap("a", "Entry gap is not a whole number.");
        Field("EBShift", "1.5");
        Press("BNNodeShift");
        QCOMPARE(TakeMessages(), QStringList{"Shift value is not a whole number of frames."});
    }

    void gapsAndShifts() {
        // Gap 10 with Add/Remove Entries and last frame 100 on a node of 3 entries.
        SETUP(Bind(Doc({{0, 3, 20}, {0, 5}})));
        Field("EBGap", "10");
        Get<QCheckBox>(form_, "CBEntries")->setChecked(true);
        grid_->setCurrentCell(0, 0);
        Press("BNNodeGap");
        QCOMPARE(test::EntryFrames(form_->Document(), 0),
                 (std::vector<int>{0, 10, 20, 30, 40, 50, 60, 70, 80, 90, 100}));
        QCOMPARE(test::EntryFrames(form_->Document(), 1), (std::vector<int>{0, 5}));
        QCOMPARE(form_->CellText(11, 1), QString("100")); // the grid grew
        // The whole KEY from entry 1, without fitting: a typed cell in that column counts.
        Get<QCheckBox>(form_, "CBEntries")->setChecked(false);
        Field("EBGap", "4");
        SetCell(1, 1, "8");
        grid_->setCurrentCell(1, 1);
        Press("BNKeyGap");
        QCOMPARE(test::EntryFrames(form_->Document(), 0)[2], 14);
        QCOMPARE(test::EntryFrames(form_->Document(), 1), (std::vector<int>{0, 8}));
        // Shift -5 from entry 1 of 0, 3, 20: 0, 0, 15, which OK then refuses.
        SETUP(Bind(Doc({{0, 3, 20}, {0, 10, 12}})));
        grid_->setCurrentCell(0, 1);
        Field("EBShift", "-5");
        Press("BNNodeShift");
        QCOMPARE(test::EntryFrames(form_->Document(), 0), (std::vector<int>{0, 0, 15}));
        Press("BNOk");
        QCOMPARE(TakeMessages(), QStringList{"Frame numbers must be increasing."});
        // Shift 10 from entry 0 of every node: first entries stay at 0.
        SETUP(Bind(Doc({{0, 3, 20}, {0, 10, 12}})));
        grid_->setCurrentCell(1, 0);
        Field("EBShift", "10");
        Press("BNKeyShift");
        QCOMPARE(test::EntryFrames(form_->Document(), 0), (std::vector<int>{0, 13, 30}));
        QCOMPARE(test::EntryFrames(form_->Document(), 1), (std::vector<int>{0, 20, 22}));
    }

    // Cells are made as their columns come into view; a cell not made yet reads as the
    // document's frame, so every operation sees the same numbers.
    void aLongDocumentFillsAsItScrolls() {
        std::vector<int> frames(300);
        for (int i = 0; i < 300; ++i)
            frames[size_t(i)] = 2 * i;
        TKEYFile doc = Doc({frames, {0}});
        doc.Frames = 600;
        SETUP(Bind(doc));
        QCOMPARE(grid_->columnCount(), 300);
        QVERIFY(grid_->item(0, 299) == nullptr);
        QCOMPARE(form_->CellText(300, 1), QString("598"));
        QCOMPARE(form_->CellText(300, 2), QString(""));
        grid_->setCurrentCell(0, 299);
        QCOMPARE(grid_->item(0, 299)->text(), QString("598"));
        QCOMPARE(grid_->horizontalHeaderItem(299)->text(), QString("299"));
        Field("EBShift", "1");
        grid_->setCurrentCell(0, 100);
        Press("BNNodeShift"); // entries 100 on move a frame, read from cells made or not
        QCOMPARE(form_->Document().Nodes[0].Entries[299].Frame, 599);
        QCOMPARE(form_->Document().Nodes[0].Entries[99].Frame, 198);
        QVERIFY(boxes_.empty());
    }

    void gridCommands() {
        SETUP(Bind(Doc({{0, 10, 20}, {0, 12, 25}, {0, 7, 30}})));
        auto action = [&](const char* name) { Get<QAction>(form_, name)->trigger(); };
        grid_->setCurrentCell(1, 1);
        action("ApplyFrameToEntry1");
        for (int n = 0; n < 3; ++n)
            QCOMPARE(form_->Document().Nodes[n].Entries[1].Frame, 12);
        // A node without the entry ends it with the document's message.
        SETUP(Bind(Doc({{0, 10, 20}, {0}, {0, 7, 30}})));
        grid_->setCurrentCell(0, 2);
        action("ApplyFrameToEntry1");
        QCOMPARE(TakeMessages(), QStringList{"KEY Entry Index is out of bounds: 2"});
        // Get: the last frame follows the highest entry.
        SETUP(Bind(Doc({{0, 10, 140}, {0, 12}})));
        Press("BNGet");
        QCOMPARE(Get<QLineEdit>(form_, "EBLast")->text(), QString("140"));
        QCOMPARE(form_->Document().Frames, 141);
        QCOMPARE(Get<QLabel>(form_, "STTime")->text(), QString("Time = 9.4 sec"));
        // Ending entries on the last frame, added and removed.
        SETUP(Bind(Doc({{0, 50}, {0, 100}})));
        action("AddEndingEntries1");
        QCOMPARE(test::EntryFrames(form_->Document(), 0), (std::vector<int>{0, 50, 100}));
        QCOMPARE(test::EntryFrames(form_->Document(), 1), (std::vector<int>{0, 100}));
        grid_->setCurrentCell(0, 2);
        action("DeleteEndingEntries1");
        QCOMPARE(test::EntryFrames(form_->Document(), 0), (std::vector<int>{0, 50}));
        QCOMPARE(test::EntryFrames(form_->Document(), 1), (std::vector<int>{0}));
        QCOMPARE(grid_->currentColumn(), 1); // the remembered cell, as near as it exists
    }

    void cancelLeavesTheDocumentAsItWas() {
        TKEYFile doc = Doc({{0, 3, 20}});
        SETUP(Bind(doc));
        Field("EBShift", "10");
        grid_->setCurrentCell(0, 1);
        Press("BNNodeShift");
        Press("BNCancel");
        QCOMPARE(test::EntryFrames(doc, 0), (std::vector<int>{0, 3, 20}));
    }

    void newKEYThroughTheSummary() {
        TVorlinForm form;
        form.Files().Load3DO(Write("m.3do", kTwoNodeModel));
        form.Files().LoadKEY(Write("walk.key", kTwoNodeKey));
        form.Document.Select(form.Document.SelectedNode(), 1);
        Settings.DEFAULT_NUMFRAMES = 30;
        Settings.DEFAULT_FRAMEGAP = 10;
        // Cancel in the summary: the document on show stays, at entry 0.
        const TKEYFile* before = form.Document.KeyFile.get();
        answer_ = IDNO; // do not save walk.key (it is unchanged anyway)
        WhenModal([](QWidget* d) {
            QCOMPARE(d->windowTitle(), QString("KEY Summary - Untitled.key"));
            QCOMPARE(d->focusWidget(), Get<QPushButton>(d, "BNCancel"));
            Get<QPushButton>(d, "BNCancel")->click();
        });
        Get<QAction>(&form, "NewKEY1")->trigger();
        QCOMPARE(form.Document.KeyFile.get(), before);
        QCOMPARE(form.Document.SelectedEntry(), 0);
        QCOMPARE(Get<QLabel>(&form, "PLKEY")->text(), QString("KEY: walk.key"));
        // OK: re-timed in the dialog, the rates follow the new frames.
        WhenModal([](QWidget* d) {
            auto* grid = Get<QTableWidget>(d, "SGFrame");
            grid->setCurrentCell(0, 0);
            Get<QLineEdit>(d, "EBGap")->setText("5");
            Get<QPushButton>(d, "BNKeyGap")->click();
            Get<QPushButton>(d, "BNOk")->click();
        });
        Get<QAction>(&form, "NewKEY1")->trigger();
        const TKEYFile& doc = *form.Document.KeyFile;
        QCOMPARE(doc.Name, std::string("Untitled.key"));
        QCOMPARE(test::EntryFrames(doc, 1), (std::vector<int>{0, 5, 10, 15}));
        QCOMPARE(Get<QLabel>(&form, "PLKEY")->text(), QString("KEY: Untitled.key"));
        QCOMPARE(Get<QListWidget>(&form, "LBKEY")->count(), 2 * 0 + 4);
    }

    void cancelInTheSaveQuestionOpensNoDialog() {
        TVorlinForm form;
        form.Files().Load3DO(Write("m.3do", kTwoNodeModel));
        ConfirmNext("BNOk");
        form.Files().CreateNewKEY(); // never saved: always asks
        form.Document.SetPlaying(true);
        answer_ = IDCANCEL;
        for (const char* command : {"NewKEY1", "OpenKEY1"}) {
            boxes_.clear();
            Get<QAction>(&form, command)->trigger();
            QCOMPARE(boxes_.size(), size_t(1));
            QCOMPARE(boxes_[0].text, QString("Save changes to Untitled.key?"));
            QVERIFY(QApplication::activeModalWidget() == nullptr);
            QVERIFY(form.Transport().Timer()->isActive()); // playback resumes
        }
    }
};

QTEST_MAIN(TestSummaryForm)
#include "test_summary_form.moc"
