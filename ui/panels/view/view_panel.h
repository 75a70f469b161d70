// The 3D view: the paint box it is drawn in, the renderer (owned here), the camera in one place
// (its angles and zoom, the pan the renderer keeps), the toolbar's view buttons (wireframe or
// textured, the axis, move or rotate, Auto Key, and the letters M, R and Z that steer the camera
// while dragged) and the View menu's camera commands. The mouse in the view steers the camera,
// picks the node under the pointer and drags the selected entry (one step to undo). It draws what
// the document holds and brings itself up to date when the document changes; picking, framing
// and the camera's rules are in edit/view_pick.h.
#pragma once

#include <QObject>
#include <QPoint>
#include <QSize>
#include <functional>
#include <memory>
#include <vector>

#include "edit/key_document.h"
#include "gl/ogl_PRender.h"

class QImage;
class QLabel;
class QMouseEvent;
class QWheelEvent;
class QWidget;

namespace vorlin {

class TActionTable;
class TPaintBox;
class TPanelHost;
struct TViewCamera;

class TViewPanel : public QObject {
    Q_OBJECT
public:
    TViewPanel(TKeyDocument& doc, TPanelHost& host, TActionTable& actions, QWidget* parent);
    ~TViewPanel() override;

    // The view's widget: the paint box, or a black stand-in on a display without OpenGL.
    QWidget* Widget() const { return widget_; }
    // The paint box; null without OpenGL.
    TPaintBox* PaintBox() const { return box_; }
    TOGLRenderer* Renderer() const { return renderer_.get(); }
    // The letters of the toolbar: M pans, R orbits, Z zooms while dragged.
    std::vector<QLabel*> Letters() const { return letters_; }

    // The camera: elevation and azimuth in whole degrees, and a zoom of which a tenth is the
    // camera's distance; where the pointer was at a drag's last step.
    int ViewPitch = 0;
    int ViewYaw = 0;
    double ViewZoom = 0;
    int LastX = 0, LastY = 0;
    // The silhouettes drawn behind the pose on show (onion skins; none while playing).
    std::function<std::vector<TOnionSkin>()> onions;
    // The node under the pointer while no button is held (-1: none, or the pointer left).
    std::function<void(int node)> onHover;
    // Reports the renderer's texture loading (the progress window).
    std::function<void(int done, int total)> progress;

    // Makes the renderer once the view's OpenGL context exists (run then: right away, or once
    // it comes, or after a while should it never come). An error making it reaches the caller
    // of ready through failed, and the editor goes on without a 3D view.
    void Start(std::function<void()> ready, std::function<void(const std::string&)> failed);
    // View > Refresh: a new renderer, keeping the model, the document and the camera angles.
    void Rebuild();
    // The colours or the options changed: the renderer takes them.
    void SettingsChanged();
    // The textures again (another colour map).
    void ReloadTextures();
    // A picture of the view as drawn; empty without one.
    QImage Picture() const;
    // The camera to the renderer, the vertices placed, the view drawn again.
    void UpdateView();
    void Redraw();
    void SetView(int yaw, int pitch);
    void CenterGrid();
    // View > Frame Model: pan and zoom so that the posed model fits the view.
    void FrameModel();
    // Whether the posed model shows whole with the camera as it is.
    bool ModelFits() const;
    // The model node whose mesh is front-most at a point of the view; -1 for none.
    int NodeAt(QPointF at) const;
    // The toolbar's letters: a press remembers the point; each move with the left button held
    // pans (M), orbits (R, a degree a pixel) or zooms (Z).
    void DragPress(QPoint at);
    void PanStep(QPoint at);
    void RotateStep(QPoint at);
    void ZoomStep(QPoint at);
    // The mouse in the view: a left drag moves or turns the selected entry (in edit mode; with
    // Auto Key, the selected node's key at the frame on show, made first when it has none), a
    // left click picks the node under the pointer, a right drag orbits (about the selected
    // node's pivot when ORBIT_SELECTION is on), a middle drag pans so the point under the
    // pointer stays under it at the model's depth; without a button, the node under the
    // pointer is told.
    void Mouse(QMouseEvent* e);
    // The wheel zooms, in the Z letter's steps and limits.
    void Wheel(QWheelEvent* e);

private:
    void BuildActions(TActionTable& actions);
    void Changed(const TDocumentChange& change);
    void Paint();
    void Resized();
    // The view's size in the screen's pixels.
    QSize DeviceSize() const;
    void SceneToRenderer();
    // The model's first show: its zoom, textured, and framed when the camera would cut it.
    void ModelLoaded();
    // The right drag: the orbit, about the selected node's pivot when asked.
    void Orbit(QPoint at);
    // The middle drag: the pan at the model's depth.
    void PanAtModel(QPoint at);
    TViewCamera Camera() const;

    TKeyDocument& doc_;
    TPanelHost& host_;
    TActionTable& actions_;
    QWidget* widget_;
    TPaintBox* box_ = nullptr;
    QSize viewport_; // in the screen's pixels, as last given to the renderer
    std::unique_ptr<TOGLRenderer> renderer_;
    std::vector<QLabel*> letters_;
    int observer_ = 0;
    bool wireframe_ = false;
    // What a left drag edits: chosen (X and Rotate) when the first document shows.
    TAxis axis_ = TAxis::None;
    TDragKind kind_ = TDragKind::Rotate;
    bool dragChosen_ = false;
    QPointF pressAt_;        // where the button that is held went down
    bool dragMoved_ = false; // the held button has moved past the click distance
    bool dragging_ = false;  // a left drag is editing the selected entry
    bool autoKey_ = false;   // ... and keys the frame on show first (Auto Key at its press)
};

} // namespace vorlin
