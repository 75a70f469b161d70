// The 3D view's camera and mouse: the camera's angles and zoom as the renderer takes them, the
// standard views, steering with the toolbar's letters, the wheel and the right and middle
// buttons, framing the posed model, picking the node under the pointer, and dragging the
// selected entry with the left button (one step to undo). The widget and the renderer are the
// window's; picking, framing and the camera's rules are in edit/view_pick.h.
#pragma once

#include <QPoint>
#include <functional>
#include <memory>

#include "edit/key_session.h"

class QMouseEvent;
class QWheelEvent;

namespace vorlin {

class TOGLRenderer;
class TPaintBox;
class TPanelHost;
struct TViewCamera;

class TViewPanel {
public:
    TViewPanel(TPanelHost& host, TPaintBox* box, const std::unique_ptr<TOGLRenderer>& renderer);

    // The camera: elevation and azimuth in whole degrees, and a zoom of which a tenth is the
    // camera's distance; where the pointer was at a drag's last step.
    int ViewPitch = 0;
    int ViewYaw = 0;
    double ViewZoom = 0;
    int LastX = 0, LastY = 0;

    // What the toolbar chooses for a drag with the left button: the axis, move or turn.
    std::function<TAxis()> axis;
    std::function<TDragKind()> kind;
    // The node under the pointer while no button is held (-1: none, or the pointer left).
    std::function<void(int node)> onHover;

    // The camera to the renderer, the vertices placed, the view drawn again.
    void UpdateView();
    void SetView(int yaw, int pitch);
    // The pan undone.
    void CenterGrid();
    // The toolbar's letters: a press remembers the point; each move with the left button held
    // pans (M), orbits (R, a degree a pixel) or zooms (Z).
    void DragPress(QPoint at);
    void PanStep(QPoint at);
    void RotateStep(QPoint at);
    void ZoomStep(QPoint at);
    // The mouse in the view: a left drag moves or turns the selected entry (in edit mode), a
    // left click picks the node under the pointer, a right drag orbits (about the selected
    // node's pivot when ORBIT_SELECTION is on), a middle drag pans so the point under the
    // pointer stays under it at the model's depth; without a button, the node under the
    // pointer is told.
    void Mouse(QMouseEvent* e);
    // The wheel zooms, in the Z letter's steps and limits.
    void Wheel(QWheelEvent* e);
    // The model node whose mesh is front-most at a point of the view; -1 for none.
    int NodeAt(QPointF at) const;
    // View > Frame Model: pan and zoom so that the posed model fits the view.
    void FrameModel();
    // Whether the posed model shows whole with the camera as it is.
    bool ModelFits() const;

private:
    // The right drag: the orbit, about the selected node's pivot when asked.
    void Orbit(QPoint at);
    // The middle drag: the pan at the model's depth.
    void PanAtModel(QPoint at);
    TViewCamera Camera() const;

    TPanelHost& host_;
    TPaintBox* box_;
    const std::unique_ptr<TOGLRenderer>& renderer_;
    QPointF pressAt_;        // where the button that is held went down
    bool dragMoved_ = false; // the held button has moved past the click distance
    bool dragging_ = false;  // a left drag is editing the selected entry
};

} // namespace vorlin
