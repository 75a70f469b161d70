#include "panels/view/view_panel.h"

#include <QAction>
#include <QImage>
#include <QMouseEvent>
#include <QTimer>
#include <QWheelEvent>
#include <cmath>

#include "common/action_table.h"
#include "common/controls.h"
#include "common/qt_strings.h"
#include "edit/key_commands.h"
#include "edit/view_pick.h"
#include "panels/panel_common.h"
#include "panels/panel_host.h"
#include "panels/view/paint_box.h"
#include "support/misc_utils.h"

namespace vorlin {

namespace {

// A press and release this close together are a click, not a drag.
constexpr double kClickDistance = 3;

bool Near(QPointF a, QPointF b) {
    return std::abs(a.x() - b.x()) <= kClickDistance && std::abs(a.y() - b.y()) <= kClickDistance;
}

} // namespace

TViewPanel::TViewPanel(TKeyDocument& doc, TPanelHost& host, TActionTable& actions,
                       QWidget* parent)
    : QObject(parent), doc_(doc), host_(host), actions_(actions) {
    if (OpenGLAvailable()) {
        box_ = new TPaintBox(parent);
        box_->onMouse = [this](QMouseEvent* e) { Mouse(e); };
        box_->onWheel = [this](QWheelEvent* e) { Wheel(e); };
        box_->onLeave = [this] {
            if (onHover) onHover(-1);
        };
        box_->onPaint = [this] { Paint(); };
        widget_ = box_;
    } else {
        // A display without OpenGL: the view stays empty and everything else works.
        widget_ = new QWidget(parent);
        widget_->setObjectName("Pbox");
        widget_->setAutoFillBackground(true);
        QPalette pal = widget_->palette();
        pal.setColor(QPalette::Window, Qt::black);
        widget_->setPalette(pal);
    }
    actions.SetContextWidget(TActionContext::View, widget_);
    BuildActions(actions);
    observer_ = doc_.Observe([this](const TDocumentChange& c) { Changed(c); });
}

TViewPanel::~TViewPanel() {
    doc_.Forget(observer_);
    // The renderer's textures belong to the view's context: released while it exists.
    renderer_.reset();
}

// ---------------------------------------------------------------------------------------------
// The toolbar's buttons and the View menu

void TViewPanel::BuildActions(TActionTable& actions) {
    auto model = [this] { return doc_.Model != nullptr; };
    auto key = [this] { return doc_.KeyFile != nullptr; };
    auto button = [&](const char* id, const char* caption, int icon, const char* tip,
                      std::function<bool()> enabled, std::function<bool()> checked,
                      std::function<void()> run) {
        TActionDef def;
        def.Id = id;
        def.Caption = caption;
        def.Icon = ToolbarIcon(icon);
        def.Tip = tip;
        def.Enabled = std::move(enabled);
        def.Checkable = true;
        def.Checked = std::move(checked);
        def.Run = [this, run] {
            run();
            actions_.Refresh(); // the group's other buttons show it
            Redraw();
        };
        def.Plain = true;
        actions.Add(def);
    };
    button("BNWireframe", "Wireframe", 6, "Wireframe: the model drawn as outlines", model,
           [this] { return wireframe_; }, [this] { wireframe_ = true; });
    button("BNTextured", "Textured", 7, "Textured: the model drawn with its materials", model,
           [this] { return !wireframe_ && doc_.Model; }, [this] { wireframe_ = false; });
    const std::pair<TAxis, const char*> axes[] = {
        {TAxis::X, "X axis: dragging in the view moves along x, or turns the pitch"},
        {TAxis::Y, "Y axis: dragging in the view moves along y, or turns the roll"},
        {TAxis::Z, "Z axis: dragging in the view moves along z, or turns the yaw"}};
    const char* axisIds[] = {"BNXAxis", "BNYAxis", "BNZAxis"};
    const char* axisCaptions[] = {"X", "Y", "Z"};
    for (int i = 0; i < 3; ++i) {
        const TAxis a = axes[i].first;
        button(axisIds[i], axisCaptions[i], 8 + i, axes[i].second, key,
               [this, a] { return axis_ == a; }, [this, a] { axis_ = a; });
    }
    button("BNMove", "Move", 11,
           "Move: dragging in the view moves the selected entry (Node Move Step per pixel)", key,
           [this] { return dragChosen_ && kind_ == TDragKind::Move; },
           [this] { kind_ = TDragKind::Move; });
    button("BNRotate", "Rotate", 12,
           "Rotate: dragging in the view turns the selected entry (a degree per pixel)", key,
           [this] { return dragChosen_ && kind_ == TDragKind::Rotate; },
           [this] { kind_ = TDragKind::Rotate; });

    // Auto Key, the record button: a mode of the editor kept across sessions, so it works
    // with or without a document.
    TActionDef autoKey;
    autoKey.Id = "BNAutoKey";
    autoKey.Caption = "Auto Key";
    autoKey.Icon = ToolbarIcon(15);
    autoKey.Tip = "Auto Key: a drag in the view at a frame where the selected node has no key "
                  "puts one there first, then edits it";
    autoKey.Checkable = true;
    autoKey.Checked = [] { return Settings.AUTO_KEY; };
    autoKey.Plain = true;
    autoKey.Run = [this] { Settings.AUTO_KEY = actions_.Action("BNAutoKey")->isChecked(); };
    actions.Add(autoKey)->setChecked(Settings.AUTO_KEY);

    auto item = [&](const char* id, const char* caption, QList<QKeySequence> keys,
                    std::function<void()> run) {
        TActionDef def;
        def.Id = id;
        def.Caption = caption;
        def.Keys = std::move(keys);
        def.Run = std::move(run);
        def.Enabled = model;
        actions.Add(def);
    };
    item("TopView1", "&Top View", {}, [this] { SetView(0, -90); });
    item("FrontView1", "&Front View", {}, [this] { SetView(0, 0); });
    item("SideView1", "&Side View", {}, [this] { SetView(90, 0); });
    item("OffsetView1", "&Offset View", {}, [this] { SetView(-45, -30); });
    item("CenterGrid1", "&Center Grid", {}, [this] { CenterGrid(); });
    item("FrameModel1", "Fra&me Model", {QKeySequence(Qt::Key_F)}, [this] { FrameModel(); });
    item("FixDisplay1", "&Refresh", {}, [this] { Rebuild(); });

    // The letters steer the camera while dragged; playback waits meanwhile.
    QFont big = widget_->font();
    big.setBold(true);
    big.setPixelSize(19);
    auto letter = [&](const char* name, const char* text, int width, const char* tip,
                      void (TViewPanel::*step)(QPoint)) {
        auto* l = new TDragLabel(text, widget_->parentWidget());
        l->onPress = [this](QPoint at) {
            doc_.Hold();
            DragPress(at);
        };
        l->onDrag = [this, step](QPoint at) { host_.RunCommand([&] { (this->*step)(at); }); };
        l->onRelease = [this] { doc_.Release(); };
        l->setObjectName(name);
        l->setFont(big);
        l->setAlignment(Qt::AlignCenter);
        l->setFixedWidth(width);
        l->setToolTip(tip);
        letters_.push_back(l);
    };
    letter("STM", "M", 20, "Drag to move the view (View > Center Grid puts it back)",
           &TViewPanel::PanStep);
    letter("STR", "R", 20, "Drag to orbit the camera: left and right turn it, up and down tilt it",
           &TViewPanel::RotateStep);
    letter("STZ", "Z", 21, "Drag right to move the camera away, left to come closer",
           &TViewPanel::ZoomStep);
}

// ---------------------------------------------------------------------------------------------
// The renderer

void TViewPanel::Start(std::function<void()> ready,
                       std::function<void(const std::string&)> failed) {
    auto make = [this, ready, failed] {
        try {
            renderer_ = std::make_unique<TOGLRenderer>(box_);
            renderer_->Progress = progress;
            SceneToRenderer();
            renderer_->UpdateColours();
            if (doc_.Model) renderer_->LoadTextures(doc_.Model->Materials);
            if (box_) box_->onResize = [this] { Resized(); };
            Resized();
            // A model loaded before the view could draw is framed as a load into a drawing
            // view frames it: a zoom that would cut it is replaced by one that shows it whole.
            if (!ModelFits()) FrameModel();
        } catch (const std::exception& e) {
            renderer_.reset();
            if (failed) failed(e.what());
            return;
        }
        if (ready) ready();
    };
    // The view's OpenGL context exists once its window is on screen: the renderer waits for it
    // (or, should it never come, for a while).
    if (!box_ || box_->isValid()) {
        make();
        return;
    }
    auto once = std::make_shared<bool>(false);
    auto run = [this, once, make] {
        if (*once) return;
        *once = true;
        box_->onReady = nullptr;
        make();
    };
    box_->onReady = [this, run] { QTimer::singleShot(0, this, run); };
    QTimer::singleShot(30000, this, run); // a loaded machine can take seconds
}

void TViewPanel::Rebuild() {
    doc_.SetPlaying(false);
    if (!box_) return; // no 3D view on this display: nothing to rebuild, nothing to report
    renderer_.reset();
    renderer_ = std::make_unique<TOGLRenderer>(box_);
    renderer_->Progress = progress;
    SceneToRenderer();
    renderer_->UpdateColours();
    if (doc_.Model) renderer_->LoadTextures(doc_.Model->Materials);
    Resized();
    UpdateView();
}

void TViewPanel::SettingsChanged() {
    if (renderer_) {
        SceneToRenderer();
        renderer_->UpdateColours();
    }
    Redraw();
}

void TViewPanel::ReloadTextures() {
    if (doc_.Model && renderer_) renderer_->LoadTextures(doc_.Model->Materials);
    Redraw();
}

QImage TViewPanel::Picture() const {
    return box_ && renderer_ && box_->isValid() ? box_->grabFramebuffer() : QImage();
}

QSize TViewPanel::DeviceSize() const {
    // The view is drawn at the screen's pixels (two to a point on a high-DPI screen); the mouse
    // and the camera go on in points, the ray through a point being the same either way.
    return box_ ? (QSizeF(box_->size()) * box_->Window()->devicePixelRatio()).toSize() : QSize();
}

void TViewPanel::Resized() {
    if (!renderer_ || !box_) return;
    viewport_ = DeviceSize();
    renderer_->SetViewport(0, 0, viewport_.width(), viewport_.height());
    SceneToRenderer();
    renderer_->RebuildLists();
}

void TViewPanel::SceneToRenderer() {
    if (!renderer_) return;
    renderer_->Options = {doc_.SelectedNode(), Settings.SHOW_NODEPATH, Settings.SHOW_FLOOR,
                          doc_.FloorHeight};
    renderer_->Onions = onions ? onions() : std::vector<TOnionSkin>();
}

void TViewPanel::Paint() {
    if (!renderer_) return;
    // Moved to a screen of another pixel ratio, the size in points is the same.
    if (DeviceSize() != viewport_) Resized();
    SceneToRenderer();
    renderer_->DrawScene(doc_.Model.get(), doc_.KeyFile.get(), !wireframe_);
}

void TViewPanel::Redraw() {
    if (box_) box_->Repaint();
}

void TViewPanel::Changed(const TDocumentChange& c) {
    if (c.Has(chModel)) ModelLoaded();
    if (c.Has(chDocument) && doc_.KeyFile) {
        // A document's first show: an axis and a way to drag are chosen.
        if (axis_ == TAxis::None) axis_ = TAxis::X;
        dragChosen_ = true;
        actions_.Refresh();
    }
    if (c.Has(chFrame) && Settings.FOLLOW_NODEPATH && doc_.Model && doc_.Model->HNodes.Count()) {
        UpdateView();
        if (renderer_) {
            const T3DOHNode& n = doc_.Model->HNodes[0];
            renderer_->CameraPos[0] += n.CurX;
            renderer_->CameraPos[1] += n.CurY;
            renderer_->CameraPos[2] += n.CurZ;
        }
    }
    Redraw();
}

void TViewPanel::ModelLoaded() {
    if (!doc_.Model) return;
    ViewZoom = 10 * doc_.Model->Radius() + 3;
    if (renderer_) {
        SceneToRenderer();
        renderer_->RebuildLists();
        renderer_->LoadTextures(doc_.Model->Materials);
    }
    UpdateView();
    // The first model is shown textured (wireframe stays when it was chosen).
    actions_.Refresh();
    // A zoom that would cut the model is replaced by one that shows it whole.
    if (!ModelFits()) FrameModel();
}

// ---------------------------------------------------------------------------------------------
// The camera

TViewCamera TViewPanel::Camera() const {
    const TOGLRenderer& r = *renderer_;
    TViewCamera c;
    c.Pitch = r.CameraPitch;
    c.Yaw = r.CameraYaw;
    c.Pos = r.CameraPos;
    c.Pan = r.PanOffset;
    c.Aspect = r.Aspect;
    return c;
}

void TViewPanel::UpdateView() {
    if (!doc_.Model) return;
    doc_.Model->TransformVertices();
    if (renderer_) renderer_->SetCamera(ViewPitch, ViewYaw, ViewZoom * 0.1);
    Redraw();
}

void TViewPanel::SetView(int yaw, int pitch) {
    ViewYaw = yaw;
    ViewPitch = pitch;
    UpdateView();
}

void TViewPanel::CenterGrid() {
    if (renderer_) renderer_->PanOffset = {0, 0, 0};
    Redraw();
}

void TViewPanel::DragPress(QPoint at) {
    LastX = at.x();
    LastY = at.y();
}

void TViewPanel::PanStep(QPoint at) {
    if (renderer_) renderer_->PanView(at.x() - LastX, at.y() - LastY);
    LastX = at.x();
    LastY = at.y();
    UpdateView();
}

void TViewPanel::RotateStep(QPoint at) {
    // One pixel is one degree: right raises the yaw, up raises the pitch; both wrap.
    ViewYaw = int(std::lround(NormalizeAngle(double(ViewYaw) + at.x() - LastX)));
    LastX = at.x();
    ViewPitch = int(std::lround(NormalizeAngle(double(ViewPitch) + LastY - at.y())));
    LastY = at.y();
    UpdateView();
}

void TViewPanel::ZoomStep(QPoint at) {
    // 2% of the distance per pixel: right moves away, left moves closer.
    ViewZoom += (at.x() - LastX) * ViewZoom * 0.02;
    if (ViewZoom > 500) ViewZoom = 500;
    if (ViewZoom < 1) ViewZoom = 1;
    LastX = at.x();
    UpdateView();
}

void TViewPanel::Orbit(QPoint at) {
    const int node = doc_.SelectedNode();
    if (!Settings.ORBIT_SELECTION || !renderer_ || !doc_.Model || node < 0 ||
        node >= doc_.Model->HNodes.Count()) {
        RotateStep(at);
        return;
    }
    // The selected node's pivot stays where it is on the screen while the camera turns.
    const TVec3 pivot = NodePivot(*doc_.Model, node);
    const TViewCamera before = Camera();
    ViewYaw = int(std::lround(NormalizeAngle(double(ViewYaw) + at.x() - LastX)));
    ViewPitch = int(std::lround(NormalizeAngle(double(ViewPitch) + LastY - at.y())));
    LastX = at.x();
    LastY = at.y();
    renderer_->SetCamera(ViewPitch, ViewYaw, ViewZoom * 0.1);
    renderer_->PanOffset = OrbitPan(before, Camera(), pivot);
    UpdateView();
}

void TViewPanel::PanAtModel(QPoint at) {
    TVec3 centre;
    double radius = 0;
    if (!renderer_ || !box_ || !doc_.Model || !PosedBounds(*doc_.Model, centre, radius)) {
        PanStep(at);
        return;
    }
    renderer_->PanOffset =
        PanAtDepth(Camera(), centre, at.x() - LastX, at.y() - LastY, box_->height());
    LastX = at.x();
    LastY = at.y();
    Redraw();
}

void TViewPanel::FrameModel() {
    if (!doc_.Model || !renderer_) return;
    const std::optional<TViewFraming> f = vorlin::FrameModel(*doc_.Model, Camera());
    if (!f) return;
    ViewZoom = f->Zoom;
    renderer_->PanOffset = f->Pan;
    UpdateView();
}

bool TViewPanel::ModelFits() const {
    if (!doc_.Model || !renderer_) return true;
    return vorlin::ModelFits(*doc_.Model, Camera());
}

int TViewPanel::NodeAt(QPointF at) const {
    if (!renderer_ || !doc_.Model || !box_) return -1;
    return PickNode(*doc_.Model, Camera().RayAt(at.x(), at.y(), box_->width(), box_->height()));
}

// ---------------------------------------------------------------------------------------------
// The mouse in the view

void TViewPanel::Mouse(QMouseEvent* e) {
    const QPointF at = e->position();
    const int x = int(at.x());
    switch (e->type()) {
    case QEvent::MouseButtonPress:
        pressAt_ = at;
        dragMoved_ = false;
        LastX = x;
        LastY = int(at.y());
        if (e->button() != Qt::LeftButton) return; // the right and middle buttons steer
        if (!doc_.CanEdit() || !doc_.Model) return;
        autoKey_ = Settings.AUTO_KEY;
        // An entry that is not there (a document with fewer nodes than the model, a node
        // without entries) is reported once, and the drag is refused: not once per move.
        host_.RunCommand([&] {
            CheckDragEntry(doc_, autoKey_);
            // The whole drag, press to release, is one step to undo (with Auto Key, the key
            // it makes as well).
            dragging_ = doc_.Begin(DragStepName(kind_), {doc_.KeyNodeIndex()});
        });
        return;
    case QEvent::MouseMove: {
        // The camera, in edit and play mode alike; it changes nothing in the document.
        if (e->buttons() & Qt::RightButton) {
            Orbit(at.toPoint());
            return;
        }
        if (e->buttons() & Qt::MiddleButton) {
            PanAtModel(at.toPoint());
            return;
        }
        if (!(e->buttons() & Qt::LeftButton)) {
            if (dragging_) { // the release went elsewhere
                dragging_ = false;
                doc_.Commit();
            }
            if (onHover) onHover(NodeAt(at));
            return;
        }
        if (!dragging_ || !doc_.Editing()) return;
        // Editing starts once the pointer has left the click distance; the steps then count
        // from the press, so the drag moves the entry as far as it ever did.
        if (!dragMoved_ && Near(at, pressAt_)) return;
        if (!dragMoved_ && autoKey_) {
            // Keyed once the drag begins, so that a click keys nothing.
            bool keyed = false;
            host_.RunCommand([&] {
                const TCommandResult made = AutoKeyEntry(doc_);
                if (made.Done) host_.ShowStatus(ToQ(made.Status));
                keyed = true;
            });
            if (!keyed) {
                dragging_ = false;
                doc_.Rollback();
                return;
            }
        }
        dragMoved_ = true;
        const int dx = x - LastX;
        LastX = x;
        host_.RunCommand([&] { doc_.SetFrame(doc_.DragEntry(axis_, kind_, dx)); });
        return;
    }
    case QEvent::MouseButtonRelease: {
        if (e->button() != Qt::LeftButton) return;
        const bool click = !dragMoved_ && Near(at, pressAt_);
        if (dragging_) {
            dragging_ = false;
            doc_.Commit();
        }
        // A click picks the node whose mesh is front-most under the pointer, as a click on
        // its row in the tree does; a click on empty space changes nothing.
        if (click && doc_.CanEdit()) {
            const int node = NodeAt(at);
            if (node >= 0) doc_.PickNode(node);
        }
        return;
    }
    default:
        return;
    }
}

void TViewPanel::Wheel(QWheelEvent* e) {
    // A notch is five pixels of the Z drag: forward comes closer.
    const double notches = e->angleDelta().y() / 120.0;
    ViewZoom = std::clamp(ViewZoom - notches * 5 * ViewZoom * 0.02, 1.0, 500.0);
    // Only the camera moves: the posed vertices stay as they are.
    if (renderer_) renderer_->SetCamera(ViewPitch, ViewYaw, ViewZoom * 0.1);
    Redraw();
}

} // namespace vorlin
