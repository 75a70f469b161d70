// What the timeline and the curves draw and say alike: the row of markers along their frames,
// a marker's tooltip, and showing or hiding a tooltip.
#pragma once

#include <QColor>
#include <QIcon>
#include <QString>

#include "edit/timeline.h"

class QHelpEvent;
class QPainter;
class QPalette;
class QWidget;

namespace vorlin {

class TKeyDocument;

// The colours the timeline and the curves draw with, taken from the palette so that a dark
// desktop theme shows them as well as a light one: each is moved in lightness, away from the
// base it is drawn on, until it stands out from it.
struct TPanelColours {
    QColor Key;       // a key's mark
    QColor PickedKey; // a picked key's (and a picked marker's)
    QColor Playhead;  // the line at the frame on show
    QColor Marker;
    QColor RulerText;      // the frame numbers, on the ruler's button colour
    QColor Grid;           // the value grid, the lines between rows
    QColor Selection;      // the band of the selected row, behind text of the text colour
    QColor Stale;          // a key whose rates miss the next key
    QColor Channel[6];     // the curves' X Y Z Pitch Yaw Roll
    QColor ChannelText[6]; // their names on the channels' toggles (on the button colour)
};
TPanelColours PanelColours(const QPalette& palette);
// A dark desktop theme's palette, as the Fusion style draws it: what --dark gives the program
// where the desktop's own theme does not reach Qt.
QPalette DarkPalette();
// The contrast ratio of two colours as WCAG defines it: 1 (the same) to 21 (black on white).
double Contrast(const QColor& a, const QColor& b);
// The least contrast a mark keeps with its base (WCAG's for graphics).
constexpr double kMarkContrast = 3.0;

// The markers as triangles in the band top .. top+height, over the frames right of the
// layout's Left and up to right, in the marker colour.
void PaintMarkers(QPainter& p, const TKEYMarkers& markers, const TTimelineLayout& frames,
                  double top, double height, double right, const QColor& colour);
// A ruler of frame numbers in the band top .. top+height, right of the layout's Left: ticks
// on its edge toward the plots (the lower one, or the upper when below), a number at every
// RulerStep frames of 0 .. frames-1 (the last one kept inside the band).
void PaintFrameRuler(QPainter& p, const QPalette& palette, const TTimelineLayout& layout,
                     double top, double height, double right, int frames, bool below);
// The type and frame of the marker at x (within 4 pixels); empty when none is there.
QString MarkerTip(const TKEYMarkers& markers, const TTimelineLayout& frames, double x);
// The toolbar's pictures by number: 0 add entry, 1 insert, 2 delete, 3 copy, 4 paste, 5 auto
// copy, 6 wireframe, 7 textured, 8 to 10 the x, y and z axes, 11 move, 12 rotate, 13 edit, 14
// play, 15 auto key; and the tree's rows' (0 a mesh without vertices, 1 no mesh, 2 a mesh).
QIcon ToolbarIcon(int image);
QIcon TreeIcon(int image);
// Shows tip for the help event (hides any tooltip when tip is empty).
void ShowTip(const QHelpEvent* e, const QString& tip, QWidget* w);

// A press on a ruler sets the frame as the slider does: playback waits while it is held.
class TScrub {
public:
    void To(TKeyDocument& doc, int frame);
    void End(TKeyDocument& doc);

private:
    bool held_ = false;
};

} // namespace vorlin
