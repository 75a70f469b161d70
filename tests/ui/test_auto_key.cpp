// Auto Key as an animator uses it, on the bundled sample with the mouse and keys under a window
// manager: the record button down, a frame without a key, a drag in the view gives a key there
// and nothing else changes; one Ctrl+Z takes it all back; a click keys nothing; with the button
// up a drag edits the selected entry as before; the button's state outlives the session.
#include <QAction>
#include <QStatusBar>
#include <QToolButton>
#include <QTreeWidget>

#include "app/file_commands.h"
#include "app/vorlinform.h"
#include "key/u_key.h"
#include "options/u_options.h"
#include "panels/view/view_panel.h"
#include "support/FileOperations.h"
#include "ui_helpers.h"

using namespace vorlin;
using namespace vorlin::test;

namespace {

const QString kSample = VORLIN_SAMPLE_DIR;
constexpr int kThigh = 7; // L_THIGH: keys at frames 0, 8, 16, 24

bool Near(double a, double b) {
    return std::abs(a - b) < 1e-9;
}

} // namespace

class TestAutoKey : public QObject, public UiTestBase {
    Q_OBJECT

    std::unique_ptr<TVorlinForm> form_;

    TVorlinForm& F() { return *form_; }
    TKeyDocument& Doc() { return form_->Document; }
    QToolButton* Button(const char* name) { return Get<QToolButton>(form_.get(), name); }
    void Open() {
        form_ = std::make_unique<TVorlinForm>();
        form_->show();
        VERIFY_ACTIVE(form_.get());
        if (OpenGLAvailable()) QTRY_VERIFY(F().View().Renderer() != nullptr);
        form_->Files().Load3DO(kSample + "/3do/sample.3do");
        form_->Files().LoadKEY(kSample + "/3do/key/walk.key");
    }
    void Click(QWidget* w, QPoint at = {}) {
        QTest::mouseClick(w, Qt::LeftButton, {}, at.isNull() ? w->rect().center() : at);
    }
    void Node(int row) {
        auto* tree = Get<QTreeWidget>(form_.get(), "TV3DO");
        tree->scrollToItem(tree->topLevelItem(row));
        Click(tree->viewport(), tree->visualItemRect(tree->topLevelItem(row)).center());
    }
    // Steps to a frame with the arrow keys, as the window takes them (the view has the focus).
    void ToFrame(int frame) {
        F().View().Widget()->setFocus();
        while (Doc().Frame() != frame) {
            const int was = Doc().Frame();
            QTest::keyClick(F().windowHandle(), was < frame ? Qt::Key_Right : Qt::Key_Left);
            QVERIFY(Doc().Frame() != was);
        }
    }
    const TKEYEntries& Entries(int node) { return Doc().KeyFile->Nodes[node].Entries; }
    // The poses of every KEY node at every frame.
    std::vector<std::vector<TKEYPose>> Poses() {
        std::vector<std::vector<TKEYPose>> out;
        const TKEYFile& key = *Doc().KeyFile;
        for (int n = 0; n < key.Nodes.Count(); ++n) {
            out.emplace_back();
            for (int f = 0; f < key.Frames; ++f)
                out.back().push_back(key.EvaluateNode(n, f));
        }
        return out;
    }
    static bool SamePose(const TKEYPose& a, const TKEYPose& b) {
        return Near(a.X, b.X) && Near(a.Y, b.Y) && Near(a.Z, b.Z) && Near(a.Pitch, b.Pitch) &&
               Near(a.Yaw, b.Yaw) && Near(a.Roll, b.Roll);
    }

private slots:
    void init() {
        InitBase();
        MakeStore(); // the settings are written at exit, as after a first run's Options
    }
    void cleanup() {
        form_.reset();
        CleanupBase();
        ClearContainerCache();
    }

    void poseThenKey() {
        SETUP(Open());
        QToolButton* autoKey = Button("BNAutoKey");
        QAction* menuItem = Get<QAction>(form_.get(), "BNAutoKey");
        QVERIFY(autoKey->toolTip().startsWith("Auto Key"));
        // The toolbar holds it and everything after it at the window's first size.
        QVERIFY(autoKey->isVisible());
        QVERIFY(Get<QWidget>(form_.get(), "LBFrame")->isVisible());
        QVERIFY(!autoKey->isChecked()); // off by default
        QVERIFY(!Settings.AUTO_KEY);
        Click(autoKey);
        QVERIFY(autoKey->isChecked());
        QVERIFY(menuItem->isChecked()); // the Edit menu's entry is the same command
        QVERIFY(Settings.AUTO_KEY);
        if (!F().View().PaintBox()) QSKIP("no 3D view to drag in on this display");

        Click(Button("BNMove"));
        Click(Button("BNXAxis"));
        Node(kThigh);
        const int node = Doc().KeyNodeIndex();
        QCOMPARE(Doc().SelectedEntry(), 0);
        ToFrame(12);
        const std::string text = Doc().KeyFile->ToText();
        const std::unique_ptr<TKEYFile> before = Doc().KeyFile->Clone();
        const auto poses = Poses();
        const TKEYPose shown = poses[size_t(node)][12];
        const size_t steps = Doc().History().Count();
        QWidget* view = F().View().PaintBox();

        // A click keys nothing (and on empty space picks nothing).
        Click(view, QPoint(3, 3));
        QCOMPARE(Doc().KeyFile->ToText(), text);
        QCOMPARE(Doc().History().Count(), steps);

        // The drag: 20 pixels right, a key at 12 holding the pose shown there, moved along x.
        Drag(view, QPoint(60, 60), {QPoint(64, 60), QPoint(70, 62), QPoint(80, 60)});
        QCOMPARE(Doc().History().Count(), steps + 1);
        QCOMPARE(UndoText(Doc()), QString("Move Entry"));
        QCOMPARE(Doc().Frame(), 12); // no jump
        QCOMPARE(F().statusBar()->currentMessage(), QString("Auto Key: a key at frame 12"));
        const TKEYEntries& entries = Entries(node);
        QCOMPARE(entries.Count(), 5);
        QCOMPARE(Doc().SelectedEntry(), 2);
        const TKEYEntry& key = entries[2];
        QCOMPARE(key.Frame, 12);
        QVERIFY(Near(key.X, shown.X + 20 * Settings.MOVE_STEP));
        QVERIFY(Near(key.Y, shown.Y) && Near(key.Z, shown.Z));
        QVERIFY(Near(key.Pitch, shown.Pitch) && Near(key.Yaw, shown.Yaw) &&
                Near(key.Roll, shown.Roll));
        // Every other key as it was; every other node, and this one outside the keys around
        // the new one, posed as before at every frame.
        for (int i = 0, j = 0; i < entries.Count(); ++i) {
            if (i == 2) continue;
            const TKEYEntry &now = entries[i], &was = before->Nodes[node].Entries[j++];
            QCOMPARE(now.Frame, was.Frame);
            QVERIFY(now.X == was.X && now.Y == was.Y && now.Z == was.Z);
            QVERIFY(now.Pitch == was.Pitch && now.Yaw == was.Yaw && now.Roll == was.Roll);
        }
        const auto after = Poses();
        for (size_t n = 0; n < after.size(); ++n)
            for (size_t f = 0; f < after[n].size(); ++f) {
                if (int(n) == node && f > 8 && f < 16) continue;
                QVERIFY2(SamePose(after[n][f], poses[n][f]),
                         qPrintable(QString("node %1, frame %2").arg(n).arg(f)));
            }

        // One Ctrl+Z: the document exactly as before, no key at 12.
        QTest::keyClick(F().windowHandle(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(Doc().KeyFile->ToText(), text);
        QCOMPARE(Entries(node).Count(), 4);
        QCOMPARE(Doc().SelectedEntry(), 0);
        QCOMPARE(Doc().History().Index(), steps);

        // On a keyed frame the drag edits that key: frame 16's, not the selected entry.
        ToFrame(16);
        Drag(view, QPoint(60, 60), {QPoint(70, 60)});
        QCOMPARE(Entries(node).Count(), 4);
        QCOMPARE(Doc().SelectedEntry(), 2);
        QCOMPARE(Doc().Frame(), 16);
        QVERIFY(
            Near(Entries(node)[2].X, before->Nodes[node].Entries[2].X + 10 * Settings.MOVE_STEP));
        QVERIFY(Entries(node)[0].X == before->Nodes[node].Entries[0].X);
        QTest::keyClick(F().windowHandle(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(Doc().KeyFile->ToText(), text);

        // Off: today's rule, the selected entry edited and its frame shown.
        Click(autoKey);
        QVERIFY(!autoKey->isChecked());
        QVERIFY(!Settings.AUTO_KEY);
        Node(kThigh);
        ToFrame(12);
        const int selected = Doc().SelectedEntry();
        const TKEYEntry was = Entries(node)[selected];
        Drag(view, QPoint(60, 60), {QPoint(70, 60)});
        QCOMPARE(Entries(node).Count(), 4);
        QCOMPARE(Doc().SelectedEntry(), selected);
        QVERIFY(Near(Entries(node)[selected].X, was.X + 10 * Settings.MOVE_STEP));
        QCOMPARE(Doc().Frame(), int(was.Frame));
    }

    void theButtonOutlivesTheSession() {
        SETUP(Open());
        Click(Button("BNAutoKey"));
        QVERIFY(Settings.AUTO_KEY);
        form_.reset();
        SaveExitSettings(); // as the program does when it ends
        AssignDefaults();
        LoadSettings();
        QVERIFY(Settings.AUTO_KEY);
        SETUP(Open());
        QVERIFY(Button("BNAutoKey")->isChecked());
        QVERIFY(Get<QAction>(form_.get(), "BNAutoKey")->isChecked());
        Click(Button("BNAutoKey"));
        form_.reset();
        SaveExitSettings();
        AssignDefaults();
        Settings.AUTO_KEY = true;
        LoadSettings();
        QVERIFY(!Settings.AUTO_KEY);
    }
};

QTEST_MAIN(TestAutoKey)
#include "test_auto_key.moc"
