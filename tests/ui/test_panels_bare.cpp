// The panels on a bare editing document, with no main window: a host that records what they
// ask of it, and a plain widget to sit on. What the document says shows in each panel, what a
// panel does is a named step of the document's history, and undo brings the picks back.
#include <QHBoxLayout>
#include <QListWidget>
#include <QTreeWidget>
#include <QtTest/QtTest>

#include "common/action_table.h"
#include "edit/key_document.h"
#include "fixtures/fixtures.h"
#include "key/u_key.h"
#include "panels/curves/curves_panel.h"
#include "panels/nodes/node_column.h"
#include "panels/nodes/nodes_panel.h"
#include "panels/panel_host.h"
#include "panels/timeline/timeline_panel.h"
#include "ui_helpers.h"

using namespace vorlin;
using namespace vorlin::test;

namespace {

const std::string kSample = VORLIN_SAMPLE_DIR;

struct THost : TPanelHost {
    QWidget* window = nullptr;
    QStringList status;
    int commands = 0;
    void ShowStatus(const QString& text, int) override { status << text; }
    void RunCommand(const std::function<void()>& body) override {
        ++commands;
        body();
    }
    QWidget* Window() override { return window; }
};

std::vector<int> Frames(const TKEYFile& key, int node) {
    std::vector<int> frames;
    for (int e = 0; e < key.Nodes[node].Entries.Count(); ++e)
        frames.push_back(key.Nodes[node].Entries[e].Frame);
    return frames;
}

} // namespace

class TestPanelsBare : public QObject, UiTestBase {
    Q_OBJECT
private slots:
    void init() { InitBase(); }
    void cleanup() { CleanupBase(); }

    void panelsFollowTheDocumentAndActOnIt() {
        TKeyDocument doc;
        QWidget window;
        window.resize(900, 600);
        THost host;
        host.window = &window;
        TActionTable actions(&window,
                             [&](const std::function<void()>& body) { host.RunCommand(body); });
        auto* row = new QHBoxLayout(&window);
        TNodesPanel nodes(doc, host, actions, &window);
        auto* timeline = new TTimelinePanel(doc, host, actions, &window);
        auto* curves = new TCurvesPanel(doc, host, actions, &window);
        row->addWidget(nodes.Column());
        row->addWidget(timeline, 1);
        row->addWidget(curves, 1);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        // Loaded into the document, the model and the KEY fill the tree and the list.
        const std::string key = files_->write("walk.key", ReadAll(kSample + "/3do/key/walk.key"));
        doc.LoadModel(kSample + "/3do/sample.3do");
        doc.LoadKey(key);
        QTreeWidget* tree = nodes.Tree();
        QCOMPARE(tree->topLevelItemCount(), doc.Model->HNodes.Count());
        QCOMPARE(nodes.NodeName(2), QString("head"));

        // The document's selection is what the tree and the list show...
        QVERIFY(doc.Select(3, 2));
        QCOMPARE(tree->indexOfTopLevelItem(tree->currentItem()), 3);
        QCOMPARE(nodes.List()->count(), doc.KeyFile->Nodes[3].Entries.Count());
        QCOMPARE(nodes.List()->currentRow(), 2);
        // ...and a click in the tree is the document's selection.
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {},
                          tree->visualItemRect(tree->topLevelItem(5)).center());
        QCOMPARE(doc.SelectedNode(), 5);

        // A timeline command on the picked keys: one named step, done through the host.
        const std::string before = doc.KeyFile->ToText();
        const std::vector<int> frames = Frames(*doc.KeyFile, 5);
        QVERIFY(frames.size() > 2);
        doc.SetPickedKeys({{5, 1}, {5, 2}});
        const int commands = host.commands;
        actions.Trigger("DeleteKeys1");
        QVERIFY(host.commands > commands);
        std::vector<int> left = frames;
        left.erase(left.begin() + 1, left.begin() + 3);
        QCOMPARE(Frames(*doc.KeyFile, 5), left);
        QCOMPARE(UndoText(doc), QString("Delete Keys"));
        QCOMPARE(nodes.List()->count(), int(left.size()));

        // Undone: the keys, the list and the picks as they were.
        QVERIFY(doc.Undo());
        QCOMPARE(doc.KeyFile->ToText(), before);
        QCOMPARE(nodes.List()->count(), int(frames.size()));
        QCOMPARE(doc.SelectedKeys(), (std::vector<TKeyRef>{{5, 1}, {5, 2}}));

        // The panels go before the document does, and forget it as they go.
        delete curves;
        delete timeline;
        doc.SetFrame(4);
        QCOMPARE(doc.Frame(), 4);
    }
};

QTEST_MAIN(TestPanelsBare)
#include "test_panels_bare.moc"
