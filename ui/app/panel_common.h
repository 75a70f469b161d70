// What the timeline and the curves draw and say alike: the row of markers along their frames,
// a marker's tooltip, and showing or hiding a tooltip.
#pragma once

#include <QString>

#include "edit/timeline.h"

class QHelpEvent;
class QPainter;
class QWidget;

namespace vorlin {

// The markers as triangles in the band top .. top+height, over the frames right of the
// layout's Left and up to right.
void PaintMarkers(QPainter& p, const TKEYMarkers& markers, const TTimelineLayout& frames,
                  double top, double height, double right);
// The type and frame of the marker at x (within 4 pixels); empty when none is there.
QString MarkerTip(const TKEYMarkers& markers, const TTimelineLayout& frames, double x);
// Shows tip for the help event (hides any tooltip when tip is empty).
void ShowTip(const QHelpEvent* e, const QString& tip, QWidget* w);

} // namespace vorlin
