#include "panels/panel_common.h"

#include <QHelpEvent>
#include <QPainter>
#include <QPalette>
#include <QToolTip>
#include <cmath>

#include "common/DialogSeams.h"
#include "common/qt_strings.h"
#include "edit/key_document.h"
#include "edit/markers.h"
#include "panels/panel_host.h"

#include "support/misc_utils.h"

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

void PaintFrameRuler(QPainter& p, const QPalette& pal, const TTimelineLayout& l, double top,
                     double height, double right, int frames, bool below) {
    p.fillRect(QRectF(0, top, right, height), pal.button());
    p.setPen(pal.mid().color());
    const double edge = below ? top + 0.5 : top + height - 0.5;
    p.drawLine(QPointF(0, edge), QPointF(right, edge));
    if (frames <= 0) return;
    p.setPen(pal.buttonText().color());
    const QFontMetrics fm = p.fontMetrics();
    const int step = RulerStep(l.PixelsPerFrame, fm.horizontalAdvance("00000"));
    // In doubles until it is known to be a frame of the animation: the view may be far off it.
    const double from = std::max(0.0, std::floor(l.FrameAt(l.Left) / step) * step);
    if (!(from < frames)) return;
    const int64_t first = int64_t(from);
    const double tick0 = below ? top + 1 : top + height - 5;
    const double baseline = below ? top + height - 3 : top + height - 5;
    for (int64_t f = first; f < frames; f += step) {
        const double x = std::round(l.X(double(f))) + 0.5;
        if (x > right) break;
        if (x < l.Left) continue;
        p.drawLine(QPointF(x, tick0), QPointF(x, tick0 + 4));
        // A number that would run past the right edge ends at its tick instead.
        const QString text = QString::number(f);
        const double w = fm.horizontalAdvance(text);
        p.drawText(QPointF(x + 2 + w > right ? x - 2 - w : x + 2, baseline), text);
    }
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

QIcon ToolbarIcon(int image) {
    static const char* names[16] = {
        "0_add_entry",   "1_insert_entry", "2_delete_entry", "3_copy_entry",
        "4_paste_entry", "5_auto_copy",    "6_wireframe",    "7_textured",
        "8_x_axis",      "9_y_axis",       "10_z_axis",      "11_move",
        "12_rotate",     "13_edit",        "14_play",        "15_auto_key"};
    return QIcon(QString(":/icons/%1.svg").arg(names[image]));
}

QIcon TreeIcon(int image) {
    static const char* names[3] = {"tree_0_empty_mesh", "tree_1_no_mesh", "tree_2_mesh"};
    return QIcon(QString(":/icons/%1.svg").arg(names[image]));
}

void RunShowingErrors(QWidget* parent, const std::function<void()>& body) {
    try {
        body();
    } catch (const std::exception& e) {
        ShowMessageBox(parent, QString::fromLocal8Bit(e.what()), "Vorlin", MB_OK | MB_ICONERROR);
    }
}

void TScrub::To(TKeyDocument& doc, int frame) {
    if (!held_) doc.Hold();
    held_ = true;
    doc.SetFrame(frame);
}

void TScrub::End(TKeyDocument& doc) {
    if (held_) doc.Release();
    held_ = false;
}

} // namespace vorlin
