// Check KEY in the editor: the findings after a load, the dialog, its table and its buttons.
#include <QAction>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QTreeWidget>

#include "app/autosave.h"
#include "app/file_commands.h"
#include "app/vorlinform.h"
#include "panels/transport/transport_panel.h"
#include "panels/view/view_panel.h"
#include "key/u_key.h"
#include "ui_helpers.h"

using namespace vorlin;
using namespace vorlin::test;

namespace {

// LONE's second entry carries a stale rate; a third node matches nothing in the model.
const char* kFlawed = "SECTION: HEADER\nFLAGS 0\nTYPE 0xFFFF\nFRAMES 30\nFPS 15\nJOINTS "
                      "3\nSECTION: KEYFRAME NODES\nNODES 3\nNODE 0\n"
                      "MESH NAME ROOT\nENTRIES 1\n0: 0 0x0 0 0 0 0 0 0\n0 0 0 0 0 0\nNODE 1\n"
                      "MESH NAME LONE\nENTRIES 3\n0: 0 0x1 0 0 0 0 0 0\n0.1 0 0 0 0 0\n"
                      "1: 10 0x1 1 0 0 0 0 0\n0.5 0 0 0 0 0\n2: 20 0x0 2 0 0 0 0 0\n0 0 0 0 0 0\n"
                      "NODE 2\nMESH NAME WING\nENTRIES 1\n0: 0 0x0 0 0 0 0 0 0\n0 0 0 0 0 0\n";

} // namespace

class TestCheckKey : public QObject, public UiTestBase {
    Q_OBJECT

private slots:
    void init() { InitBase(); }
    void cleanup() { CleanupBase(); }

    void mismatchesAreLoggedAfterALoad() {
        TVorlinForm form;
        RecordingSink sink;
        form.Files().Load3DO(Write("m.3do", kTwoNodeModel));
        form.Files().LoadKEY(Write("flawed.key", kFlawed));
        QCOMPARE(sink.warnings(),
                 std::vector<std::string>{"flawed.key node 2 (WING): NODE 2 drives no node of "
                                          "the model, which has 2: nothing moves with it"});
        // Many mismatches: twenty lines and a count.
        std::string many = "SECTION: HEADER\nFLAGS 0\nTYPE 0\nFRAMES 1\nFPS 15\nJOINTS 30\n"
                           "SECTION: KEYFRAME NODES\nNODES 30\n";
        for (int i = 0; i < 30; ++i)
            many += "NODE " + std::to_string(i) + "\nMESH NAME X" + std::to_string(i) +
                    "\nENTRIES 1\n0: 0 0x0 0 0 0 0 0 0\n0 0 0 0 0 0\n";
        sink.messages.clear();
        form.RunCommand([&] { form.Files().LoadKEY(Write("many.key", many)); });
        const auto lines = sink.warnings();
        QCOMPARE(lines.size(), size_t(21));
        QCOMPARE(lines.back(), std::string("many.key ... and 10 more"));
        // A model loaded under a KEY is checked as well.
        sink.messages.clear();
        form.RunCommand([&] { form.Files().Load3DO(Write("n.3do", kTwoNodeModel)); });
        QCOMPARE(sink.warnings().size(), size_t(21));
    }

    void theDialogListsSelectsAndRecalculates() {
        TVorlinForm form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        {
            RecordingSink quiet;
            form.Files().Load3DO(Write("m.3do", kTwoNodeModel));
            form.Files().LoadKEY(Write("flawed.key", kFlawed));
        }
        QVERIFY(!form.Document.KeyFile->IsModified());
        auto* check = Get<QAction>(&form, "CheckKEY1");
        QCOMPARE(check->shortcut(), QKeySequence("Ctrl+K"));
        WhenModal([&](QWidget* d) {
            auto* table = Get<QTableWidget>(d, "Findings");
            QCOMPARE(table->rowCount(), 2);
            QCOMPARE(Get<QLabel>(d, "CheckSummary")->text(), QString("0 errors, 2 warnings"));
            // Sorted by where it is: the stale entry of node 1 before node 2's mismatch.
            table->sortItems(1, Qt::AscendingOrder);
            QCOMPARE(table->item(0, 1)->text(), QString("node 1 (LONE) entry 1"));
            QVERIFY(table->item(0, 2)->text().startsWith("Its rates are stale"));
            table->sortItems(1, Qt::DescendingOrder);
            QCOMPARE(table->item(0, 1)->text(), QString("node 2 (WING)"));
            // A double-click selects the node and entry behind the dialog.
            table->sortItems(1, Qt::AscendingOrder);
            emit table->cellDoubleClicked(0, 1);
            QCOMPARE(form.Document.SelectedNode(), 1);
            QCOMPARE(form.Document.SelectedEntry(), 1);
            QCOMPARE(Get<QTreeWidget>(&form, "TV3DO")->currentItem()->text(0), QString("lone"));
            QCOMPARE(Get<QListWidget>(&form, "LBKEY")->currentRow(), 1);
            QCOMPARE(Get<QScrollBar>(&form, "SBFrame")->value(), 10);
            // Recalculating fixes the stale rate, and the list follows.
            Get<QPushButton>(d, "BNRecalc")->click();
            QCOMPARE(table->rowCount(), 1);
            QCOMPARE(table->item(0, 1)->text(), QString("node 2 (WING)"));
            Get<QPushButton>(d, "BNClose")->click();
        });
        check->trigger();
        QCOMPARE(form.Document.KeyFile->Nodes[1].Entries[1].DX, 0.1);
        QVERIFY(form.Document.KeyFile->IsModified());
        QVERIFY(boxes_.empty());
    }

    // A double-click on a marker's finding opens the markers editor on that marker.
    void aMarkerFindingOpensTheMarkers() {
        TVorlinForm form;
        RecordingSink quiet;
        form.Files().Load3DO(Write("m.3do", kTwoNodeModel));
        std::string text = kFlawed;
        text.insert(text.find("SECTION: KEYFRAME"), "SECTION: MARKERS\nMARKERS 2\n1 1\n99 2\n");
        form.Files().LoadKEY(Write("markers.key", text));
        int shown = -1;
        WhenModal([&](QWidget* d) {
            auto* table = Get<QTableWidget>(d, "Findings");
            int row = 0;
            while (row < table->rowCount() && table->item(row, 1)->text() != "marker 1")
                ++row;
            QVERIFY(row < table->rowCount());
            WhenModal([&](QWidget* markers) {
                shown = Get<QTableWidget>(markers, "MarkersGrid")->currentRow();
                Get<QPushButton>(markers, "BNCancel")->click();
            });
            emit table->cellDoubleClicked(row, 1);
            Get<QPushButton>(d, "BNClose")->click();
        });
        Get<QAction>(&form, "CheckKEY1")->trigger();
        QCOMPARE(shown, 1);
    }

    // A file the game refuses says so when it is loaded, and the dialog names the line.
    void aFileTheGameRefusesIsReportedByItsLine() {
        TVorlinForm form;
        RecordingSink sink;
        form.Files().Load3DO(Write("m.3do", kTwoNodeModel));
        std::string text = kFlawed;
        text.insert(text.find("NODE 1"), "  # indented\n");
        form.Files().LoadKEY(Write("refused.key", text));
        const std::string refusal =
            "line 14, node 1 (LONE): This comment is indented, and the game skips only comments "
            "that begin the line: the game refuses the file here (it expects \"NODE n\")";
        QCOMPARE(sink.warnings().front(), "refused.key " + refusal);
        WhenModal([&](QWidget* d) {
            auto* table = Get<QTableWidget>(d, "Findings");
            table->sortItems(0, Qt::AscendingOrder); // errors first
            QCOMPARE(table->item(0, 1)->text() + ": " + table->item(0, 2)->text(),
                     QString::fromStdString(refusal));
            Get<QPushButton>(d, "BNClose")->click();
        });
        Get<QAction>(&form, "CheckKEY1")->trigger();
    }
};

QTEST_MAIN(TestCheckKey)
#include "test_check_key.moc"
