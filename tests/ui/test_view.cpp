// The 3D view: the standard views, the drag controls, mouse editing of entries, Refresh, the
// frame keys, and playback's modes, with real mouse events and real OpenGL.
#include <QAction>
#include <QLabel>
#include <QListWidget>
#include <QScrollBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QWheelEvent>
#include <cmath>

#include "app/autosave.h"
#include "app/file_commands.h"
#include "app/vorlinform.h"
#include "panels/transport/transport_panel.h"
#include "panels/view/view_panel.h"
#include "edit/view_pick.h"
#include "key/u_key.h"
#include "panels/view/view_panel.h"
#include "gl/ogl_PRender.h"
#include "ui_helpers.h"

using namespace vorlin;
using namespace vorlin::test;

class TestView : public QObject, public UiTestBase {
    Q_OBJECT

    std::unique_ptr<TVorlinForm> form_;

    // The main window on screen with its renderer, the two-node model and its KEY.
    void Open() {
        form_ = std::make_unique<TVorlinForm>();
        form_->show();
        QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
        QTRY_VERIFY(form_->View().Renderer() != nullptr);
        form_->Files().Load3DO(Write("m.3do", kTwoNodeModel));
        form_->Files().LoadKEY(Write("walk.key", kTwoNodeKey));
    }
    TVorlinForm& F() { return *form_; }
    QWidget* W(const char* name) { return Get<QWidget>(form_.get(), name); }
    void Trigger(const char* action) { Get<QAction>(form_.get(), action)->trigger(); }
    void Click(const char* button) { Get<QToolButton>(form_.get(), button)->click(); }
    // A drag on a control, from x to each later x, with the left button held.
    void DragX(QWidget* w, std::vector<int> xs, int y = 5) {
        std::vector<QPoint> path;
        for (size_t i = 1; i < xs.size(); ++i)
            path.push_back(QPoint(xs[i], y));
        Drag(w, QPoint(xs[0], y), path);
    }
    QImage Picture() {
        QCoreApplication::processEvents();
        return F().View().PaintBox()->grabFramebuffer();
    }

private slots:
    void initTestCase() {
        if (!OpenGLAvailable()) QSKIP("the 3D view needs OpenGL, which this display lacks");
    }
    void init() { InitBase(); }
    void cleanup() {
        form_.reset();
        CleanupBase();
    }

    void standardViewsPlaceTheCamera() {
        SETUP(Open());
        F().View().ViewZoom = 50; // distance 5
        struct View {
            const char* action;
            int yaw, pitch;
            double x, y, z;
        };
        const double c30 = 5 * std::cos(M_PI / 6), s30 = 5 * std::sin(M_PI / 6);
        for (const View& v : {View{"FrontView1", 0, 0, 0, 5, 0}, View{"SideView1", 90, 0, 5, 0, 0},
                              View{"TopView1", 0, -90, 0, 0, 5},
                              View{"OffsetView1", -45, -30, -c30 * std::sin(M_PI / 4),
                                   c30 * std::cos(M_PI / 4), s30}}) {
            Trigger(v.action);
            QCOMPARE(F().View().ViewYaw, v.yaw);
            QCOMPARE(F().View().ViewPitch, v.pitch);
            const auto& eye = F().View().Renderer()->CameraPos;
            QVERIFY2(std::abs(eye[0] - v.x) < 1e-9 && std::abs(eye[1] - v.y) < 1e-9 &&
                         std::abs(eye[2] - v.z) < 1e-9,
                     v.action);
        }
        // The picture changes with the view.
        Trigger("FrontView1");
        const QImage front = Picture();
        Trigger("TopView1");
        QVERIFY(Picture() != front);
        QCOMPARE(F().View().ViewZoom, 50.0); // the views keep the zoom
    }

    void theDragControls() {
        SETUP(Open());
        // R: one pixel right from the offset view wraps the yaw, and the pitch with it.
        Trigger("OffsetView1");
        DragX(W("STR"), {5, 6});
        QCOMPARE(F().View().ViewYaw, 316);
        QCOMPARE(F().View().ViewPitch, 330);
        F().View().ViewYaw = 359;
        DragX(W("STR"), {5, 6});
        QCOMPARE(F().View().ViewYaw, 0);
        DragX(W("STR"), {5, 4});
        QCOMPARE(F().View().ViewYaw, 359);
        Drag(W("STR"), QPoint(5, 10), {QPoint(5, 7)}); // up raises the pitch
        QCOMPARE(F().View().ViewPitch, 333);
        // Z: far right stops at 500, far left at 1; up and down do nothing.
        DragX(W("STZ"), {5, 400, 800, 1200});
        QCOMPARE(F().View().ViewZoom, 500.0);
        DragX(W("STZ"), {5, -400, -800, -1200, -1600});
        QCOMPARE(F().View().ViewZoom, 1.0);
        Drag(W("STZ"), QPoint(5, 5), {QPoint(5, 300)});
        QCOMPARE(F().View().ViewZoom, 1.0);
        // M: 0.01 per pixel, down lowers; Center Grid returns to the middle.
        F().View().ViewZoom = 30;
        F().View().UpdateView();
        const QImage centred = Picture();
        Drag(W("STM"), QPoint(0, 0), {QPoint(60, 30), QPoint(100, 50)});
        const auto& pan = F().View().Renderer()->PanOffset;
        QVERIFY(std::abs(pan[0] - 1) < 1e-12 && std::abs(pan[1] + 0.5) < 1e-12 && pan[2] == 0);
        QVERIFY(Picture() != centred);
        Trigger("CenterGrid1");
        QVERIFY(pan[0] == 0 && pan[1] == 0);
        QCOMPARE(Picture(), centred);
        // Another button held only pauses: no step.
        SendMouse(W("STZ"), QEvent::MouseButtonPress, QPoint(5, 5), Qt::RightButton,
                  Qt::RightButton);
        SendMouse(W("STZ"), QEvent::MouseMove, QPoint(300, 5), Qt::NoButton, Qt::RightButton);
        SendMouse(W("STZ"), QEvent::MouseButtonRelease, QPoint(300, 5), Qt::RightButton,
                  Qt::NoButton);
        QCOMPARE(F().View().ViewZoom, 30.0);
    }

    void dragControlsPausePlayback() {
        SETUP(Open());
        F().Document.SetPlaying(true);
        auto* slider = Get<QScrollBar>(form_.get(), "SBFrame");
        SendMouse(W("STM"), QEvent::MouseButtonPress, QPoint(3, 3), Qt::LeftButton, Qt::LeftButton);
        QVERIFY(!F().Transport().Timer()->isActive());
        const int frame = slider->value();
        QTest::qWait(150); // two ticks' time at 15 frames per second
        QCOMPARE(slider->value(), frame);
        SendMouse(W("STM"), QEvent::MouseButtonRelease, QPoint(3, 3), Qt::LeftButton, Qt::NoButton);
        QVERIFY(F().Transport().Timer()->isActive());
    }

    void mouseEditingMovesAndRotatesTheEntry() {
        SETUP(Open());
        F().Document.PickNode(1);
        F().Document.Select(F().Document.SelectedNode(), 1); // LONE at frame 10, x 2
        Settings.MOVE_STEP = 0.01;
        Click("BNMove");
        Click("BNYAxis");
        QWidget* view = F().View().PaintBox();
        DragX(view, {100, 104, 110});
        const TKEYEntry& e = F().Document.KeyFile->Nodes[1].Entries[1];
        QVERIFY(std::abs(e.Y - 0.1) < 1e-12);
        QCOMPARE(F().Document.Frame(), 10); // the entry's frame on show
        QCOMPARE(Get<QLabel>(form_.get(), "LBFrame")->text(), QString("10/29"));
        // The entry before it now leads there: its rates were derived again.
        QVERIFY(std::abs(F().Document.KeyFile->Nodes[1].Entries[0].DY - 0.01) < 1e-12);
        // Rotating about z changes the yaw: from 2, five pixels left gives 357.
        F().Document.KeyFile->Nodes[1].Entries[1].Yaw = 2;
        Click("BNRotate");
        Click("BNZAxis");
        DragX(view, {50, 45});
        QCOMPARE(e.Yaw, 357.0);
        // In play mode a drag changes nothing.
        F().Document.SetPlaying(true);
        DragX(view, {50, 80});
        QCOMPARE(e.Yaw, 357.0);
        QVERIFY(boxes_.empty());
    }

    void aMissingEntryIsReportedOncePerDrag() {
        SETUP(Open());
        // A document of one node: the model's second row has none.
        F().Files().LoadKEY(Write("one.key", "SECTION: KEYFRAME NODES\nNODES 1\nNODE 0\nMESH NAME ROOT\n"
                                     "ENTRIES 1\n0: 0 0x0 0 0 0 0 0 0\n0 0 0 0 0 0\n"));
        F().Document.PickNode(1);
        DragX(F().View().PaintBox(), {10, 20, 30, 40, 50});
        QCOMPARE(boxes_.size(), size_t(1));
        QCOMPARE(boxes_[0].text, QString("No node of the KEY drives model node 1"));
    }

    void refreshKeepsTheWorkAndCentres() {
        SETUP(Open());
        F().View().ViewYaw = 30;
        F().View().ViewPitch = 20;
        F().View().ViewZoom = 40;
        F().View().Renderer()->PanView(100, 0);
        F().Document.SetPlaying(true);
        const TKEYFile* doc = F().Document.KeyFile.get();
        Trigger("FixDisplay1");
        QVERIFY(!F().Transport().Timer()->isActive());
        QVERIFY(Get<QToolButton>(form_.get(), "BNEdit")->isChecked());
        QCOMPARE(F().Document.KeyFile.get(), doc);
        QVERIFY(F().Document.Model != nullptr);
        QCOMPARE(F().View().ViewYaw, 30);
        QCOMPARE(F().View().ViewPitch, 20);
        QCOMPARE(F().View().ViewZoom, 40.0);
        QCOMPARE(F().View().Renderer()->PanOffset[0], 0.0);
        QVERIFY(!Picture().isNull());
    }

    void frameKeys() {
        SETUP(Open());
        form_->activateWindow();
        VERIFY_ACTIVE(form_.get());
        auto* slider = Get<QScrollBar>(form_.get(), "SBFrame");
        auto key = [&](Qt::Key k) { QTest::keyClick(form_.get(), k); };
        key(Qt::Key_Right);
        key(Qt::Key_Right);
        QCOMPARE(slider->value(), 2);
        key(Qt::Key_Left);
        QCOMPARE(slider->value(), 1);
        key(Qt::Key_End);
        QCOMPARE(slider->value(), 29);
        QCOMPARE(Get<QLabel>(form_.get(), "LBFrame")->text(), QString("29/29"));
        key(Qt::Key_Right); // no further
        QCOMPARE(slider->value(), 29);
        key(Qt::Key_Home);
        QCOMPARE(slider->value(), 0);
        key(Qt::Key_Space);
        QVERIFY(Get<QToolButton>(form_.get(), "BNPlay")->isChecked());
        QVERIFY(F().Transport().Timer()->isActive());
        const int playing = slider->value();
        F().Transport().Timer()->stop(); // no tick of its own in between
        key(Qt::Key_Right);  // the timer's frame, not the keys'
        QCOMPARE(slider->value(), playing);
        key(Qt::Key_Space);
        QVERIFY(Get<QToolButton>(form_.get(), "BNEdit")->isChecked());
        QVERIFY(!F().Transport().Timer()->isActive());
    }

    void playbackOrderAndLabel() {
        SETUP(Open());
        F().Document.KeyFile->FPS = 30;
        F().Document.SetPlaying(true);
        QCOMPARE(F().Transport().Timer()->interval(), 33);
        F().Transport().Timer()->stop();
        auto* slider = Get<QScrollBar>(form_.get(), "SBFrame");
        std::vector<int> shown;
        for (int i = 0; i < 31; ++i) {
            QMetaObject::invokeMethod(F().Transport().Timer(), "timeout", Qt::DirectConnection);
            shown.push_back(slider->value());
            if (slider->value() == 29)
                QCOMPARE(Get<QLabel>(form_.get(), "LBFrame")->text(), QString("29/29"));
        }
        std::vector<int> want;
        for (int i = 1; i < 30; ++i)
            want.push_back(i);
        want.push_back(0);
        want.push_back(1);
        QCOMPARE(shown, want);
    }

    // The modes and what moves between them, one row per transition.
    void theStateTable() {
        struct Row {
            const char* what;
            std::function<void(TestView&)> before; // the state the row starts from
            std::function<void(TestView&)> event;
            bool play, running; // BNPlay down, the timer running, afterwards
        };
        auto edit = [](TestView&) {};
        auto play = [](TestView& t) { t.F().Document.SetPlaying(true); };
        const std::vector<Row> rows = {
            {"a document is set", edit,
             [](TestView& t) { t.F().Files().LoadKEY(t.Write("b.key", kTwoNodeKey)); }, false, false},
            {"Play clicked", edit, [](TestView& t) { t.Click("BNPlay"); }, true, true},
            {"Edit clicked", play, [](TestView& t) { t.Click("BNEdit"); }, false, false},
            {"a new document", play,
             [](TestView& t) { t.F().Files().LoadKEY(t.Write("c.key", kTwoNodeKey)); }, false, false},
            {"Refresh", play, [](TestView& t) { t.Trigger("FixDisplay1"); }, false, false},
            {"an M drag ends", play,
             [](TestView& t) {
                 t.DragX(t.W("STM"), {1, 2});
             },
             true, true},
            {"a slider click ends", play,
             [](TestView& t) {
                 auto* s = Get<QScrollBar>(t.form_.get(), "SBFrame");
                 SendMouse(s, QEvent::MouseButtonPress, QPoint(2, 2), Qt::LeftButton,
                           Qt::LeftButton);
                 QVERIFY(!t.F().Transport().Timer()->isActive());
                 SendMouse(s, QEvent::MouseButtonRelease, QPoint(2, 2), Qt::LeftButton,
                           Qt::NoButton);
             },
             true, true},
            {"the Options dialog closes", play,
             [](TestView& t) {
                 t.WhenModal([&t](QWidget* d) {
                     QVERIFY(!t.F().Transport().Timer()->isActive()); // paused while it is open
                     Get<QAbstractButton>(d, "BNCancel")->click();
                 });
                 t.Trigger("Options1");
             },
             true, true},
        };
        for (const Row& row : rows) {
            Open();
            row.before(*this);
            row.event(*this);
            QVERIFY2(Get<QToolButton>(form_.get(), "BNPlay")->isChecked() == row.play, row.what);
            QVERIFY2(Get<QToolButton>(form_.get(), "BNEdit")->isChecked() == !row.play, row.what);
            QVERIFY2(F().Transport().Timer()->isActive() == row.running, row.what);
        }
    }

    // On the sample: a click on the head selects head; the wheel and the right and middle
    // drags steer the camera and leave the document alone; F fits the model in a maximised
    // window.
    void pickingAndTheCameraWithTheMouse() {
        form_ = std::make_unique<TVorlinForm>();
        form_->show();
        QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
        QTRY_VERIFY(form_->View().Renderer() != nullptr);
        form_->Files().Load3DO(QString(VORLIN_SAMPLE_DIR) + "/3do/sample.3do");
        form_->Files().LoadKEY(QString(VORLIN_SAMPLE_DIR) + "/3do/key/walk.key");
        Trigger("FrontView1");
        QWidget* view = F().View().PaintBox();
        // Where the head shows: its vertices' middle, projected as the renderer projects.
        const T3DO& model = *F().Document.Model;
        constexpr int kHead = 2;
        const T3DOMesh& head = model.Meshes[model.HNodes[kHead].Mesh];
        TVec3 middle{};
        for (int i = 0; i < head.Faces.Vertices.Count(); ++i) {
            middle[0] += head.Faces.Vertices[i].tx / head.Faces.Vertices.Count();
            middle[1] += head.Faces.Vertices[i].ty / head.Faces.Vertices.Count();
            middle[2] += head.Faces.Vertices[i].tz / head.Faces.Vertices.Count();
        }
        auto onScreen = [&](const TVec3& world) {
            TViewCamera c;
            c.Pitch = F().View().Renderer()->CameraPitch;
            c.Yaw = F().View().Renderer()->CameraYaw;
            c.Pos = F().View().Renderer()->CameraPos;
            c.Pan = F().View().Renderer()->PanOffset;
            c.Aspect = F().View().Renderer()->Aspect;
            const TVec3 e = c.ToEye(world);
            const double t = std::tan(85.0 / 2 * 3.14159265358979323846 / 180);
            return QPoint(int((e[0] / -e[2] / (t * c.Aspect) + 1) * view->width() / 2),
                          int((1 - e[1] / -e[2] / t) * view->height() / 2));
        };
        const QPoint at = onScreen(middle);
        QVERIFY(view->rect().contains(at));
        const QString selected = F().PanelText(0);
        SendMouse(view, QEvent::MouseMove, at, Qt::NoButton, Qt::NoButton);
        // Hovering names it apart from the selected node, whose pose the status bar shows.
        QCOMPARE(Get<QLabel>(form_.get(), "SBarHover")->text(), QString("Pointer: head"));
        QCOMPARE(F().PanelText(0), selected);
        Drag(view, at, {at + QPoint(1, 1)}); // a click that barely moves
        QCOMPARE(F().Document.SelectedNode(), kHead);
        QCOMPARE(Get<QListWidget>(form_.get(), "LBKEY")->count(), 1);
        Drag(view, QPoint(2, 2), {}); // empty space changes nothing
        QCOMPARE(F().Document.SelectedNode(), kHead);

        // The camera: every way changes the picture, none the document.
        const QImage before = Picture();
        const double zoom = F().View().ViewZoom;
        QWheelEvent wheel(QPointF(at), view->mapToGlobal(QPointF(at)), QPoint(), QPoint(0, 120),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(view, &wheel);
        QVERIFY(F().View().ViewZoom < zoom);
        const int yaw = F().View().ViewYaw;
        Drag(view, at, {at + QPoint(20, 0)}, Qt::RightButton);
        QCOMPARE(F().View().ViewYaw, yaw + 20);
        // A middle drag: the model's centre follows the pointer, pixel for pixel.
        TVec3 centre;
        double radius = 0;
        QVERIFY(PosedBounds(model, centre, radius));
        const QPoint was = onScreen(centre);
        Drag(view, at, {at + QPoint(12, 0), at + QPoint(25, 30)}, Qt::MiddleButton);
        QVERIFY((onScreen(centre) - (was + QPoint(25, 30))).manhattanLength() <= 2);
        // Orbiting around the selection: the head's pivot stays where it is on the screen.
        Settings.ORBIT_SELECTION = true;
        const QPoint pivot = onScreen(NodePivot(model, kHead));
        Drag(view, at, {at + QPoint(15, 0), at + QPoint(40, -25)}, Qt::RightButton);
        QCOMPARE(F().View().ViewYaw, int(NormalizeAngle(yaw + 60)));
        QVERIFY((onScreen(NodePivot(model, kHead)) - pivot).manhattanLength() <= 2);
        Settings.ORBIT_SELECTION = false;
        QVERIFY(Picture() != before);
        QCOMPARE(int(F().Document.History().Count()), 0);
        QVERIFY(!F().isWindowModified());
        QCOMPARE(F().Document.SelectedNode(), kHead);

        // F, maximised: every posed vertex inside the view.
        F().showMaximized();
        QTRY_VERIFY(F().isMaximized());
        QTest::qWait(100);
        F().View().ViewZoom = 1; // far too close: the model is cut
        F().View().Renderer()->PanOffset = {0.5, 0, 0};
        F().View().UpdateView();
        QTest::keyClick(&F(), Qt::Key_F);
        for (int m = 0; m < model.HNodes.Count(); ++m) {
            const int mesh = model.HNodes[m].Mesh;
            if (mesh < 0) continue;
            for (int i = 0; i < model.Meshes[mesh].Faces.Vertices.Count(); ++i) {
                const TVertex& v = model.Meshes[mesh].Faces.Vertices[i];
                QVERIFY(view->rect().contains(onScreen({v.tx, v.ty, v.tz})));
            }
        }
    }
};

QTEST_MAIN(TestView)
#include "test_view.moc"
