#include "app/panel_common.h"

#include <QHelpEvent>
#include <QPainter>
#include <QToolTip>
#include <cmath>

#include "edit/markers.h"
#include "support/qt_strings.h"

namespace vorlin {

namespace {

const QColor kMarker(40, 110, 200);

} // namespace

void PaintMarkers(QPainter& p, const TKEYMarkers& markers, const TTimelineLayout& frames,
                  double top, double height, double right) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(kMarker);
    for (int i = 0; i < markers.Count(); ++i) {
        const double x = frames.X(markers[i].Frame);
        if (x < frames.Left - 4 || x > right + 4) continue;
        const QPointF tri[3] = {{x - 4, top + 2}, {x + 4, top + 2}, {x, top + height - 2}};
        p.drawPolygon(tri, 3);
    }
    p.restore();
}

QString MarkerTip(const TKEYMarkers& markers, const TTimelineLayout& frames, double x) {
    for (int i = 0; i < markers.Count(); ++i)
        if (std::abs(frames.X(markers[i].Frame) - x) <= 4)
            return ToQ(MarkerGridName(markers[i].MarkerType) + ", " + MarkerNumberText(markers[i]));
    return {};
}

void ShowTip(const QHelpEvent* e, const QString& tip, QWidget* w) {
    if (tip.isEmpty())
        QToolTip::hideText();
    else
        QToolTip::showText(e->globalPos(), tip, w);
}

} // namespace vorlin
