// What the timeline and the curves draw and say alike: the row of markers along their frames,
// a marker's tooltip, and showing or hiding a tooltip.
#pragma once

#include <QString>

#include "edit/timeline.h"

class QHelpEvent;
class QPainter;
class QPalette;
class QWidget;

namespace vorlin {

// The markers as triangles in the band top .. top+height, over the frames right of the
// layout's Left and up to right.
void PaintMarkers(QPainter& p, const TKEYMarkers& markers, const TTimelineLayout& frames,
                  double top, double height, double right);
// A ruler of frame numbers in the band top .. top+height, right of the layout's Left: ticks
// on its edge toward the plots (the lower one, or the upper when below), a number at every
// RulerStep frames of 0 .. frames-1 (the last one kept inside the band).
void PaintFrameRuler(QPainter& p, const QPalette& palette, const TTimelineLayout& layout,
                     double top, double height, double right, int frames, bool below);
// The type and frame of the marker at x (within 4 pixels); empty when none is there.
QString MarkerTip(const TKEYMarkers& markers, const TTimelineLayout& frames, double x);
// Shows tip for the help event (hides any tooltip when tip is empty).
void ShowTip(const QHelpEvent* e, const QString& tip, QWidget* w);

} // namespace vorlin
