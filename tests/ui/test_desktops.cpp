// The main window as desktops show it: panels that grow with the window (the strip under the
// view keeps its part, the left column shares its extra by what its lists hold, the curves show
// one plot at a time while two would be too short), a dark palette under which every mark of
// the timeline and the curves stands out, and a screen of two pixels to a point (run again
// with QT_SCALE_FACTOR=2) at which the 3D view and the icons are drawn at the screen's pixels.
#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QListWidget>
#include <QScrollBar>
#include <QSplitter>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>

#include "app/file_commands.h"
#include "app/vorlinform.h"
#include "panels/curves/curves_panel.h"
#include "panels/nodes/node_column.h"
#include "panels/nodes/nodes_panel.h"
#include "panels/panel_common.h"
#include "panels/timeline/timeline_panel.h"
#include "panels/view/view_panel.h"
#include "ui_helpers.h"

using namespace vorlin;
using namespace vorlin::test;

namespace {

const QString kSample = VORLIN_SAMPLE_DIR;

// How far apart two colours are, channel by channel.
int Distance(QColor a, QColor b) {
    return std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) +
           std::abs(a.blue() - b.blue());
}

} // namespace

class TestDesktops : public QObject, public UiTestBase {
    Q_OBJECT

    std::unique_ptr<TVorlinForm> form_;

    TVorlinForm& F() { return *form_; }
    QTabWidget* Tabs() { return Get<QTabWidget>(form_.get(), "ViewTabs"); }
    QWidget* Tree() { return Get<QTreeWidget>(form_.get(), "TV3DO"); }
    QWidget* List() { return Get<QListWidget>(form_.get(), "LBKEY"); }
    QAbstractButton* PlotToggle() { return Get<QAbstractButton>(form_.get(), "BNCurvesPlot"); }

    void Open(int width, int height) {
        Settings.VORLIN_WIDTH = width;
        Settings.VORLIN_HEIGHT = height;
        form_ = std::make_unique<TVorlinForm>();
        form_->show();
        VERIFY_ACTIVE(form_.get());
        form_->Files().Load3DO(kSample + "/3do/sample.3do");
        form_->Files().LoadKEY(kSample + "/3do/key/walk.key");
    }
    void Resize(int width, int height) {
        form_->resize(width, height);
        QTRY_COMPARE(form_->size(), QSize(width, height));
        QApplication::processEvents();
    }

private slots:
    void init() { InitBase(); }
    void cleanup() {
        form_.reset();
        QApplication::setPalette(QApplication::style()->standardPalette());
        CleanupBase();
    }

    void thePanelsGrowWithTheWindowAndComeBackAsTheyWere() {
        Settings.CURVES_VISIBLE = true;
        Open(660, 450);
        TCurvesPanel* curves = F().CurvesPanel();
        QVERIFY(curves->isVisible());
        // Too short for two plots of 80 pixels: the positions alone, the toggle offers angles.
        QCOMPARE(curves->Layout.Plots, 1);
        QVERIFY(PlotToggle()->isVisible());
        QCOMPARE(PlotToggle()->text(), QString("Show angles"));
        QTest::mouseClick(PlotToggle(), Qt::LeftButton);
        QCOMPARE(curves->Plot(), 1);
        QCOMPARE(Settings.CURVES_PLOT, 1);
        QCOMPARE(PlotToggle()->text(), QString("Show positions"));
        QCOMPARE(curves->Layout.PlotAt(curves->Layout.Top + 1), 1);

        const int strip = Tabs()->height(), tree = Tree()->height(), list = List()->height();
        const int view = F().View().Widget()->height();
        Resize(1200, 950);
        // The 500 pixels are shared: the strip keeps its part of the split, so both grow.
        QVERIFY2(Tabs()->height() > strip + 60, qPrintable(QString::number(Tabs()->height())));
        QVERIFY(F().View().Widget()->height() > view + 200);
        QCOMPARE(curves->Layout.Plots, 2);
        QVERIFY(curves->Layout.PlotHeight() >= TCurveLayout::kMinTwoPlotHeight);
        QVERIFY(!PlotToggle()->isVisible());
        // Eleven nodes and four entries: the tree takes most of the column's extra.
        QVERIFY(Tree()->height() - tree > List()->height() - list);
        QVERIFY(List()->height() > list);

        // A drag on the splitter in the tall window is what comes back there.
        auto* split = Get<QSplitter>(form_.get(), "ViewSplit");
        const QList<int> sizes = split->sizes();
        QWidget* handle = split->handle(1);
        const QPoint grip = handle->rect().center();
        QTest::mousePress(handle, Qt::LeftButton, {}, grip);
        QTest::mouseMove(handle, grip - QPoint(0, 60));
        QTest::mouseRelease(handle, Qt::LeftButton, {}, grip - QPoint(0, 60));
        QTRY_VERIFY(split->sizes().at(1) > sizes.at(1) + 40);
        const int dragged = Tabs()->height();

        Resize(660, 450);
        QVERIFY(Tabs()->height() > strip && Tabs()->height() < dragged);
        QCOMPARE(curves->Layout.Plots, 1);
        Resize(1200, 950);
        QVERIFY2(std::abs(Tabs()->height() - dragged) <= 2,
                 qPrintable(QString("%1 %2").arg(Tabs()->height()).arg(dragged)));
        Resize(660, 450);
        QCOMPARE(Tree()->height(), tree);

        // A KEY made while the timeline is on a hidden tab is fitted to the strip it will have.
        WhenModal([](QWidget* d) { Get<QAbstractButton>(d, "BNOk")->click(); });
        F().Files().CreateNewKEY();
        QVERIFY(F().Document.KeyFile);
        Get<QAction>(form_.get(), "Timeline1")->trigger();
        TTimelinePanel* strip2 = F().TimelinePanel();
        QTRY_VERIFY(strip2->isVisible());
        const int frames = F().Document.KeyFile->Frames;
        int right = strip2->width();
        for (QScrollBar* bar : strip2->findChildren<QScrollBar*>())
            if (bar->orientation() == Qt::Vertical && bar->isVisible()) right -= bar->width();
        QVERIFY2(strip2->Layout.X(frames - 1) <= right,
                 qPrintable(QString("%1 > %2").arg(strip2->Layout.X(frames - 1)).arg(right)));
    }

    void aDarkPaletteShowsEveryMarkReadably() {
        for (const QPalette& pal : {QApplication::style()->standardPalette(), DarkPalette()}) {
            const TPanelColours c = PanelColours(pal);
            const QColor base = pal.base().color();
            for (QColor mark : {c.Key, c.Playhead, c.Channel[0], c.Channel[1], c.Channel[2],
                                c.Channel[3], c.Channel[4], c.Channel[5]})
                QVERIFY2(Contrast(mark, base) >= 4.5, qPrintable(mark.name()));
            QVERIFY(Contrast(c.PickedKey, base) >= kMarkContrast);
            QVERIFY(Contrast(c.Marker, pal.window().color()) >= kMarkContrast);
            QVERIFY(Contrast(c.RulerText, pal.button().color()) >= 4.5);
            QVERIFY(Contrast(pal.text().color(), c.Selection) >= 4.5);
            QVERIFY(Contrast(c.Grid, base) > 1.2);
        }

        // Drawn: the keys of the dark timeline are in the dark palette's key colour.
        QApplication::setPalette(DarkPalette());
        Settings.TIMELINE_HEIGHT = 200;
        Open(900, 700);
        TTimelinePanel* strip = F().TimelinePanel();
        QVERIFY(strip->isVisible());
        const QImage picture = strip->grab().toImage();
        const TPanelColours c = PanelColours(strip->palette());
        const qreal ratio = picture.devicePixelRatio();
        auto at = [&](double x, double y) {
            return picture.pixelColor(QPointF(x * ratio, y * ratio).toPoint());
        };
        // Entry 1 of the root, at frame 8 (row 0, not picked).
        const TTimelineLayout& l = strip->Layout;
        const QColor key = at(std::round(l.X(8)), l.RowTop(0) + l.RowHeight / 2);
        QVERIFY2(Distance(key, c.Key) < 40, qPrintable(key.name() + " " + c.Key.name()));
        QVERIFY(Contrast(key, DarkPalette().base().color()) >= 4);
    }

    void theViewAndTheIconsAreDrawnAtTheScreensPixels() {
        Open(600, 450);
        const qreal ratio = form_->devicePixelRatioF();
        if (qEnvironmentVariableIsSet("QT_SCALE_FACTOR")) QCOMPARE(ratio, 2.0);
        QWidget* box = F().View().Widget();
        const QImage view = F().View().Picture();
        if (!view.isNull()) { // with OpenGL
            QCOMPARE(view.size(), (QSizeF(box->size()) * ratio).toSize());
            QCOMPARE(view.devicePixelRatio(), ratio);
            // The model is there at the full size, not a quarter of it in a corner.
            const QRect model = [&] {
                QRect r;
                const QColor background = view.pixelColor(0, 0);
                for (int y = 0; y < view.height(); y += 2)
                    for (int x = 0; x < view.width(); x += 2)
                        if (Distance(view.pixelColor(x, y), background) > 60)
                            r |= QRect(x, y, 1, 1);
                return r;
            }();
            QVERIFY(model.height() > view.height() / 3);
        }
        // The toolbar's icons come from SVG at the screen's pixels, not a small picture grown.
        auto* bar = Get<QToolBar>(form_.get(), "ToolBar1");
        const QSize size = bar->iconSize();
        for (QAction* a : bar->actions()) {
            if (a->icon().isNull()) continue;
            const QPixmap pixmap = a->icon().pixmap(size, ratio);
            QCOMPARE(pixmap.size(), (QSizeF(size) * ratio).toSize());
        }
        // The timeline's picture has as many pixels.
        const QImage strip = F().TimelinePanel()->grab().toImage();
        QCOMPARE(strip.devicePixelRatio(), ratio);
    }
};

QTEST_MAIN(TestDesktops)
#include "test_desktops.moc"
