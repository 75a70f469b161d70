#include "panels/panel_common.h"

#include <QBuffer>
#include <QFile>
#include <QGuiApplication>
#include <QHelpEvent>
#include <QImageReader>
#include <QPainter>
#include <QPalette>
#include <QToolTip>
#include <algorithm>
#include <cmath>

#include "common/DialogSeams.h"
#include "common/qt_strings.h"
#include "edit/key_document.h"
#include "edit/markers.h"
#include "panels/panel_host.h"

#include "support/misc_utils.h"

namespace vorlin {

namespace {

double Luminance(const QColor& c) {
    auto channel = [](double v) {
        return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
}

bool IsDark(const QColor& c) {
    return Luminance(c) < 0.18; // darker than a middle grey
}

// c made lighter (on a dark base) or darker (on a light one), its hue kept, until it has the
// contrast asked for with base, or as far as it goes.
QColor Readable(QColor c, const QColor& base, double contrast) {
    const bool dark = IsDark(base);
    for (int step = 0; step < 40 && Contrast(c, base) < contrast; ++step) {
        float h, s, l, a;
        c.getHslF(&h, &s, &l, &a);
        l = std::clamp(dark ? l + 0.025f : l - 0.025f, 0.0f, 1.0f);
        c.setHslF(h, s, l, a);
    }
    return c;
}

QColor Mix(const QColor& a, const QColor& b, double part) {
    return QColor::fromRgbF(float(a.redF() + (b.redF() - a.redF()) * part),
                            float(a.greenF() + (b.greenF() - a.greenF()) * part),
                            float(a.blueF() + (b.blueF() - a.blueF()) * part));
}

} // namespace

double Contrast(const QColor& a, const QColor& b) {
    const double la = Luminance(a), lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QPalette DarkPalette() {
    QPalette p;
    const QColor window(53, 53, 53), base(35, 35, 35), text(230, 230, 230);
    const QColor highlight(42, 130, 218), disabled(127, 127, 127);
    p.setColor(QPalette::Window, window);
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Base, base);
    p.setColor(QPalette::AlternateBase, QColor(48, 48, 48));
    p.setColor(QPalette::ToolTipBase, QColor(25, 25, 25));
    p.setColor(QPalette::ToolTipText, text);
    p.setColor(QPalette::PlaceholderText, QColor(150, 150, 150));
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::Button, window);
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::BrightText, QColor(255, 80, 80));
    p.setColor(QPalette::Light, QColor(80, 80, 80));
    p.setColor(QPalette::Midlight, QColor(66, 66, 66));
    p.setColor(QPalette::Mid, QColor(90, 90, 90));
    p.setColor(QPalette::Dark, QColor(30, 30, 30));
    p.setColor(QPalette::Shadow, QColor(10, 10, 10));
    p.setColor(QPalette::Highlight, highlight);
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::Link, QColor(90, 160, 240));
    p.setColor(QPalette::LinkVisited, QColor(170, 130, 240));
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, disabled);
    p.setColor(QPalette::Disabled, QPalette::Highlight, QColor(80, 80, 80));
    return p;
}

TPanelColours PanelColours(const QPalette& pal) {
    // Worked out once a palette: the panels ask at every paint.
    static qint64 key = 0;
    static TPanelColours cached;
    if (key != 0 && key == pal.cacheKey()) return cached;
    const QColor base = pal.base().color(), text = pal.text().color();
    TPanelColours c;
    // The hues stay those of a light desktop; on a dark one they come out lighter.
    c.Key = Readable(Mix(text, base, 0.25), base, 4.5);
    c.PickedKey = Readable(QColor(230, 120, 0), base, kMarkContrast);
    c.Playhead = Readable(QColor(220, 0, 0), base, 4.5);
    c.Marker = Readable(QColor(40, 110, 200), pal.window().color(), kMarkContrast);
    c.RulerText = Readable(pal.buttonText().color(), pal.button().color(), 4.5);
    c.Grid = Readable(Mix(base, text, 0.3), base, 1.6);
    // A band of the highlight's hue that the text still reads on, light or dark.
    c.Selection = Mix(base, pal.highlight().color(), 0.35);
    for (double part = 0.3; Contrast(text, c.Selection) < 4.5 && part > 0; part -= 0.05)
        c.Selection = Mix(base, pal.highlight().color(), part);
    c.Stale = Readable(QColor(255, 140, 0), base, kMarkContrast);
    const QColor channels[6] = {{210, 40, 40}, {40, 150, 40},  {40, 80, 220},
                                {200, 110, 0}, {150, 40, 170}, {0, 150, 160}};
    for (int i = 0; i < 6; ++i) {
        c.Channel[i] = Readable(channels[i], base, 4.5);
        c.ChannelText[i] = Readable(channels[i], pal.button().color(), 4.5);
    }
    key = pal.cacheKey();
    cached = c;
    return c;
}

void PaintMarkers(QPainter& p, const TKEYMarkers& markers, const TTimelineLayout& frames,
                  double top, double height, double right, const QColor& colour) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
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
    p.setPen(PanelColours(pal).RulerText);
    const QFontMetrics fm = p.fontMetrics();
    const int step = RulerStep(l.PixelsPerFrame, fm.horizontalAdvance("00000"));
    // In doubles until it is known to be a frame of the animation: the view may be far off it.
    const double from = std::max(0.0, std::floor(l.FrameAt(l.Left) / step) * step);
    if (!(from < frames)) return;
    const int64_t first = int64_t(from);
    const double tick0 = below ? top + 1 : top + height - 5;
    const double baseline = below ? top + height - 3 : top + height - 5;
    double written = -INFINITY; // where the last number ended
    for (int64_t f = first; f < frames; f += step) {
        const double x = std::round(l.X(double(f))) + 0.5;
        if (x > right) break;
        if (x < l.Left) continue;
        p.drawLine(QPointF(x, tick0), QPointF(x, tick0 + 4));
        // A number that would run past the right edge ends at its tick instead, unless it
        // would then cover the number before it.
        const QString text = QString::number(f);
        const double w = fm.horizontalAdvance(text);
        const double at = x + 2 + w > right ? x - 2 - w : x + 2;
        if (at < written + 3) continue;
        p.drawText(QPointF(at, baseline), text);
        written = at + w;
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

namespace {

// A picture of the resources: as drawn, or on a dark desktop with its dark outlines (drawn for
// a light toolbar) made light, rendered from the SVG at the screen's pixels up to three to a
// point, so that it stays sharp at a high DPI.
QIcon SvgIcon(const QString& path) {
    if (!IsDark(QGuiApplication::palette().window().color())) return QIcon(path);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return QIcon(path);
    QByteArray svg = file.readAll();
    svg.replace("\"#246\"", "\"#9bd\"").replace("\"#22c\"", "\"#77f\"");
    QIcon icon;
    for (int ratio = 1; ratio <= 3; ++ratio) {
        QBuffer buffer(&svg);
        QImageReader reader(&buffer, "svg");
        const QSize size = reader.size();
        if (!size.isValid()) return QIcon(path);
        reader.setScaledSize(size * ratio);
        QImage picture = reader.read();
        if (picture.isNull()) return QIcon(path);
        picture.setDevicePixelRatio(ratio);
        icon.addPixmap(QPixmap::fromImage(picture));
    }
    return icon;
}

} // namespace

QIcon ToolbarIcon(int image) {
    static const char* names[16] = {
        "0_add_entry",   "1_insert_entry", "2_delete_entry", "3_copy_entry",
        "4_paste_entry", "5_auto_copy",    "6_wireframe",    "7_textured",
        "8_x_axis",      "9_y_axis",       "10_z_axis",      "11_move",
        "12_rotate",     "13_edit",        "14_play",        "15_auto_key"};
    return SvgIcon(QString(":/icons/%1.svg").arg(names[image]));
}

QIcon TreeIcon(int image) {
    static const char* names[3] = {"tree_0_empty_mesh", "tree_1_no_mesh", "tree_2_mesh"};
    return SvgIcon(QString(":/icons/%1.svg").arg(names[image]));
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
