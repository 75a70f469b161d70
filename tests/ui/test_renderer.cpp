// The 3D view, drawn by Mesa's software renderer and read back pixel by pixel. The camera looks
// straight down from above (pitch -90): world +X runs to the left of the picture and +Y down.
#include <QtTest>
#include <memory>

#include "key/u_key.h"
#include "model/u_3dos.h"
#include "panels/view/paint_box.h"
#include "settings/GlobalVars.h"
#include "support/FileOperations.h"
#include "fixtures/fixtures.h"

using namespace vorlin;

namespace {

constexpr TColor kBackground = 0x00402010; // red 0x10, green 0x20, blue 0x40
constexpr TColor kGrid = 0x00808080;
constexpr TColor kX = 0x0000FFFF;
constexpr TColor kY = 0x00FF0000;
constexpr TColor kWire = 0x00FFFFFF;
constexpr TColor kSelected = 0x000000FF;
constexpr TColor kPath = 0x0000FF00;

QRgb Rgb(TColor c) {
    return qRgb(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF));
}

// Whether the colour appears within one pixel of (x, y): lines may fall on either side of a
// pixel boundary.
bool Near(const QImage& img, int x, int y, QRgb colour) {
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx)
            if ((img.pixel(x + dx, y + dy) & 0xFFFFFF) == (colour & 0xFFFFFF)) return true;
    return false;
}

// A model with one triangle facing the camera at height z, shown by node 1 below node 0.
std::unique_ptr<T3DO> Triangle(double z) {
    auto m = std::make_unique<T3DO>();
    m->Materials.push_back("green.mat");
    T3DOMesh& mesh = m->Meshes.Add(T3DO::NewMesh());
    mesh.Name = "TRI";
    auto face = std::make_shared<T3DOFace>();
    const double pts[3][2] = {{-3, -3}, {3, -3}, {0, 3}};
    for (const auto& p : pts) {
        TVertex& v = mesh.Faces.NewVertex();
        v.x = p[0];
        v.y = p[1];
        v.z = z;
        face->AddVertex(&v);
    }
    mesh.Faces.Add(face);
    m->HNodes.Add().Name = "ROOT";
    T3DOHNode& leaf = m->HNodes.Add();
    leaf.Name = "LEAF";
    leaf.Mesh = 0;
    leaf.Parent = 0;
    m->ResetPose();
    m->TransformVertices();
    return m;
}

} // namespace

class TestRenderer : public QObject {
    Q_OBJECT

    std::unique_ptr<TPaintBox> box_;
    std::unique_ptr<TOGLRenderer> renderer_;
    const T3DO* model_ = nullptr;
    const TKEYFile* key_ = nullptr;
    bool textured_ = false;

    QImage Draw() {
        renderer_->SetCamera(-90, 0, 10);
        return box_->grabFramebuffer();
    }

private slots:
    void initTestCase() {
        if (!OpenGLAvailable()) QSKIP("the 3D view needs OpenGL, which this display lacks");
    }
    void init() {
        AssignDefaults();
        Settings.COLOR_BACKGROUND = kBackground;
        Settings.COLOR_GRID = kGrid;
        Settings.COLOR_XAXIS = kX;
        Settings.COLOR_YAXIS = kY;
        Settings.COLOR_WIREFRAME = kWire;
        Settings.COLOR_SELECTED = kSelected;
        Settings.COLOR_NODEPATH = kPath;
        box_ = std::make_unique<TPaintBox>();
        box_->resize(200, 200);
        box_->show();
        QVERIFY(QTest::qWaitForWindowExposed(box_.get()));
        QTRY_VERIFY(box_->isValid());
        renderer_ = std::make_unique<TOGLRenderer>(box_.get());
        renderer_->UpdateColours();
        model_ = nullptr;
        key_ = nullptr;
        textured_ = false;
        box_->onPaint = [this] { renderer_->DrawScene(model_, key_, textured_); };
    }

    void cleanup() {
        renderer_.reset();
        box_.reset();
        AssignDefaults();
        ProjectDir.clear();
    }

    void cameraAndPan() {
        renderer_->SetCamera(0, 0, 5);
        QCOMPARE(renderer_->CameraPos[0], 0.0);
        QCOMPARE(renderer_->CameraPos[1], 5.0);
        renderer_->SetCamera(0, 90, 5);
        QVERIFY(qAbs(renderer_->CameraPos[0] - 5) < 1e-12 && qAbs(renderer_->CameraPos[1]) < 1e-12);
        renderer_->SetCamera(30, 0, 5);
        QVERIFY(qAbs(renderer_->CameraPos[1] - 4.330127) < 1e-6);
        QVERIFY(qAbs(renderer_->CameraPos[2] + 2.5) < 1e-12);
        QCOMPARE(renderer_->CameraYaw, 180.0);
        renderer_->PanView(100, 50);
        QCOMPARE(renderer_->PanOffset[0], 1.0);
        QCOMPARE(renderer_->PanOffset[1], -0.5);
        QCOMPARE(renderer_->PanOffset[2], 0.0);
    }

    void aspectKeepsItsValueForAZeroHeight() {
        renderer_->SetViewport(0, 0, 300, 150);
        QCOMPARE(renderer_->Aspect, 2.0);
        renderer_->SetViewport(0, 0, 300, 0);
        QCOMPARE(renderer_->Aspect, 2.0);
    }

    void withoutModelOnlyTheBackground() {
        QImage img = Draw();
        QCOMPARE(img.size(), QSize(200, 200));
        for (int y = 0; y < 200; y += 7)
            for (int x = 0; x < 200; x += 7)
                QCOMPARE(img.pixel(x, y) & 0xFFFFFF, Rgb(kBackground) & 0xFFFFFF);
    }

    void gridAndAxes() {
        T3DO empty;
        model_ = &empty;
        QImage img = Draw();
        QVERIFY(Near(img, 60, 100, Rgb(kX)));     // +X to the left of the centre
        QVERIFY(Near(img, 100, 140, Rgb(kY)));    // +Y below it
        QVERIFY(Near(img, 140, 100, Rgb(kGrid))); // the negative halves in the grid colour
        QVERIFY(Near(img, 100, 60, Rgb(kGrid)));
        // Grid line x = -5 lies 5 units right of the centre: 100 + 5 * 100 / (10 tan 42.5°).
        QVERIFY(Near(img, 155, 60, Rgb(kGrid)));
        QCOMPARE(img.pixel(147, 60) & 0xFFFFFF, Rgb(kBackground) & 0xFFFFFF);
    }

    void floorHeightMovesTheGrid() {
        T3DO empty;
        model_ = &empty;
        renderer_->Options.FloorHeight = -5;
        renderer_->RebuildLists();
        QImage off = Draw();
        QVERIFY(Near(off, 155, 60, Rgb(kGrid))); // SHOW_FLOOR off: still at height 0
        renderer_->Options.ShowFloor = true;
        renderer_->RebuildLists();
        QImage on = Draw();
        // 15 units from the eye now: the line x = -5 moves to 100 + 5 * 100 / (15 tan 42.5°).
        QVERIFY(Near(on, 136, 60, Rgb(kGrid)));
        QCOMPARE(on.pixel(155, 60) & 0xFFFFFF, Rgb(kBackground) & 0xFFFFFF);
    }

    void selectedSubtreeInWireframe() {
        auto m = Triangle(1);
        model_ = m.get();
        renderer_->Options.SelectedNode = 0; // the root: its subtree holds the triangle
        QImage img = Draw();
        // The lower edge y = -3 at 9 units: 100 - 3 * 100 / (9 tan 42.5°) = row 64.
        QVERIFY(Near(img, 110, 64, Rgb(kSelected)));
        renderer_->Options.SelectedNode = 5; // no node: everything in the wireframe colour
        img = Draw();
        QVERIFY(Near(img, 110, 64, Rgb(kWire)));
        QVERIFY(!Near(img, 110, 64, Rgb(kSelected)));
    }

    void texturedFacesShowTheirTexture() {
        test::TempDir dir;
        dir.write("mat/green.mat", test::BuildColourMat(5));
        ProjectDir = dir.path().string() + "/";
        auto m = Triangle(1);
        model_ = m.get();
        renderer_->LoadTextures(m->Materials);
        QCOMPARE(int(renderer_->Textures.size()), 1);
        QCOMPARE(renderer_->Textures[0].second->Width, 64);
        textured_ = true;
        renderer_->Options.SelectedNode = 1;
        QImage img = Draw();
        QCOMPARE(img.pixel(95, 110) & 0xFFFFFF, qRgb(0, 59, 0) & 0xFFFFFF); // inside the face
        QVERIFY(Near(img, 110, 64, Rgb(kSelected)));                        // outlined: selected
        renderer_->Options.SelectedNode = 0;
        m->HNodes[1].Parent = -1; // the leaf is no longer below the selected root
        img = Draw();
        QVERIFY(!Near(img, 110, 64, Rgb(kSelected)));
        QVERIFY(!Near(img, 110, 64, Rgb(kWire))); // textured: no outline for the rest

        // A material that cannot be found draws white, untextured.
        test::RecordingSink sink;
        renderer_->LoadTextures({"missing.mat"});
        QCOMPARE(renderer_->Textures[0].second->TextureName, 0u);
        img = Draw();
        QCOMPARE(img.pixel(95, 110) & 0xFFFFFF, qRgb(255, 255, 255) & 0xFFFFFF);
        QCOMPARE(sink.warnings().size(), size_t(1));
    }

    void nodePath() {
        auto m = Triangle(1);
        model_ = m.get();
        TKEYFile key;
        TKEYNode& node = key.Nodes.Add();
        node.MeshName = "LEAF";
        for (auto [x, y] : {std::pair{-2.0, -5.0}, {-6.0, -5.0}, {-6.0, -7.0}}) {
            TKEYEntry& e = key.Nodes[0].Entries.Add();
            e.X = x;
            e.Y = y;
            e.Z = 2;
        }
        key_ = &key;
        QImage img = Draw();
        QVERIFY(!Near(img, 150, 32, Rgb(kPath))); // SHOW_NODEPATH off
        renderer_->Options.ShowNodePath = true;
        img = Draw();
        // 8 units from the eye: x = 100 + 27 .. 182 on row 100 - 68 = 32, then up column 182.
        QVERIFY(Near(img, 150, 32, Rgb(kPath)));
        QVERIFY(Near(img, 182, 20, Rgb(kPath)));
        TKEYFile none;
        key_ = &none; // a KEY without nodes: no path, no failure
        img = Draw();
        QVERIFY(!Near(img, 150, 32, Rgb(kPath)));
    }
};

QTEST_MAIN(TestRenderer)
#include "test_renderer.moc"
