// The main window's own events (creation, first show, resize, close), the pause rule and
// playback timer, and the display operations that keep the view, the entry list, the frame
// display and the mode in step with the session.
#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QScreen>
#include <QScrollBar>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <charconv>

#include "app/autosave.h"
#include "app/node_panel.h"
#include "app/vorlinform.h"
#include "dialogs/progress_form.h"
#include "panels/curves/curves_panel.h"
#include "panels/timeline/timeline_panel.h"
#include "panels/view/view_panel.h"
#include "panels/view/paint_box.h"
#include "common/DialogSeams.h"
#include "support/misc_utils.h"
#include "common/qt_strings.h"

namespace vorlin {

namespace {

// printf's "%-8.2f" without the C locale.
std::string Left82(double v) {
    char buf[400];
    auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 2);
    std::string s(buf, r.ptr);
    if (s.size() < 8) s.append(8 - s.size(), ' ');
    return s;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Window events

void TVorlinForm::FormCreate() {
    TSettings& g = Settings;
    if (g.VORLIN_WIDTH < 660) g.VORLIN_WIDTH = 660;
    if (g.VORLIN_HEIGHT < 450) g.VORLIN_HEIGHT = 450;
    QSize screen(1024, 768);
    if (QScreen* s = QGuiApplication::primaryScreen()) screen = s->geometry().size();
    if (g.VORLIN_LEFT < 0) g.VORLIN_LEFT = 0;
    if (screen.width() - g.VORLIN_WIDTH < g.VORLIN_LEFT)
        g.VORLIN_LEFT = screen.width() - g.VORLIN_WIDTH;
    if (g.VORLIN_TOP < 0) g.VORLIN_TOP = 0;
    if (screen.height() - g.VORLIN_HEIGHT < g.VORLIN_TOP)
        g.VORLIN_TOP = screen.height() - g.VORLIN_HEIGHT;
    resize(g.VORLIN_WIDTH, g.VORLIN_HEIGHT);
    move(g.VORLIN_LEFT, g.VORLIN_TOP);
    if (g.WINDOW_MAXIMIZED) setWindowState(windowState() | Qt::WindowMaximized);
    Panel2->SetLayout(g.TV3DO_HEIGHT, g.SPLITTER_TOP, g.PLKEY_TOP);
    BuildReopen3DOMenu();
    BuildReopenKEYMenu();
}

void TVorlinForm::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (shown_) return;
    shown_ = true;
    RestoreTimeline();
    // The view's OpenGL context exists once its window is on screen: the renderer and the files
    // of the command line wait for it (or, should it never come, for a while).
    QTimer::singleShot(0, this, [this] {
        if (!Pbox || Pbox->isValid()) {
            FormShow();
            return;
        }
        auto once = std::make_shared<bool>(false);
        auto run = [this, once] {
            if (*once) return;
            *once = true;
            Pbox->onReady = nullptr;
            FormShow();
        };
        Pbox->onReady = [this, run] { QTimer::singleShot(0, this, run); };
        // A loaded machine can take several seconds to give the first context: the renderer
        // made before it would fail, and the editor would go on without its view.
        QTimer::singleShot(30000, this, run);
    });
}

void TVorlinForm::FormShow() {
    try {
        Renderer = std::make_unique<TOGLRenderer>(Pbox);
        Renderer->Progress = TProgressForm::Reporter(Progress);
        SceneToRenderer();
        Renderer->UpdateColours();
        if (Pbox) Pbox->onResize = [this] { FormResize(); };
        FormResize();
        // A model loaded before the view could draw is framed as a load into a drawing view
        // frames it: a zoom that would cut it is replaced by one that shows it whole.
        if (!view_->ModelFits()) view_->FrameModel();
    } catch (const std::exception& e) {
        // The editor goes on without its 3D view; the files of the command line are not
        // loaded, as the error ends this handler.
        Renderer.reset();
        ShowMessageBox(this, QString::fromLocal8Bit(e.what()), "Vorlin", MB_OK | MB_ICONERROR);
        // What a crashed session left is offered all the same: it needs no 3D view.
        if (RecoverAtStart) OfferRecovery();
        if (AfterShow) AfterShow();
        return;
    }
    // One command: a model that fails to load ends it, so the KEY files after it do not load
    // onto a model that is not there.
    Command([this] { OpenArguments(CommandLine); });
    if (RecoverAtStart) OfferRecovery();
    if (AfterShow) AfterShow();
}

void TVorlinForm::FormResize() {
    if (!Renderer || !Pbox) return;
    Renderer->SetViewport(0, 0, Pbox->width(), Pbox->height());
    SceneToRenderer();
    Renderer->RebuildLists();
}

void TVorlinForm::closeEvent(QCloseEvent* event) {
    // A close question whose save failed keeps the window open: closing would lose the work.
    bool allowed = false;
    Command([&] { allowed = FormCloseQuery(); });
    if (!allowed) {
        event->ignore();
        return;
    }
    FormClose();
    event->accept();
    emit Closed();
}

bool TVorlinForm::FormCloseQuery() {
    if (!Session.KeyFile) return true;
    KeyTimer->stop();
    if (!DocumentMayGo()) return false;
    Resume();
    return true;
}

void TVorlinForm::FormClose() {
    TSettings& g = Settings;
    if (isMaximized()) {
        g.WINDOW_MAXIMIZED = true;
    } else {
        g.VORLIN_LEFT = pos().x();
        g.VORLIN_TOP = pos().y();
        g.VORLIN_WIDTH = width();
        g.VORLIN_HEIGHT = height();
        g.WINDOW_MAXIMIZED = false;
    }
    g.TV3DO_HEIGHT = Panel2->TreeHeight();
    g.SPLITTER_TOP = Panel2->SplitterTop();
    g.PLKEY_TOP = Panel2->KeyPanelTop();
    Autosave->Drop(); // saved, or given up after the question
    if (ViewTabs->isVisible()) g.TIMELINE_HEIGHT = ViewTabs->height();
    KeyTimer->stop();
}

// ---------------------------------------------------------------------------------------------
// Commands, the pause rule, playback

void TVorlinForm::Command(const std::function<void()>& body) {
    ++commands_;
    try {
        body();
    } catch (const std::exception& e) {
        ShowMessageBox(this, QString::fromLocal8Bit(e.what()), "Vorlin", MB_OK | MB_ICONERROR);
    }
    // The close question's answer was for this command only.
    if (--commands_ == 0) released_ = nullptr;
    ShowSelectedEntry();
}

void TVorlinForm::Pause() {
    KeyTimer->stop();
}

void TVorlinForm::Resume() {
    if (BNPlay->isChecked()) StartTimer();
}

void TVorlinForm::StartTimer() {
    // A Qt timer of interval 0 would fire on every pass of the event loop; the frame rate
    // asked for more than one frame per millisecond, and such a timer does not tick.
    if (KeyTimer->interval() > 0) KeyTimer->start();
}

void TVorlinForm::SetEditMode() {
    const bool playing = KeyTimer->isActive();
    KeyTimer->stop();
    if (Session.KeyFile) BNEdit->setChecked(true);
    // What playing leaves out (the onion skins) shows again at once, not at the next frame.
    if (playing) Redraw();
}

void TVorlinForm::SetPlayMode() {
    if (!Session.KeyFile) return;
    // A frame rate of 0 or less cannot be played; one frame a second is the slowest.
    const double fps = Session.KeyFile->FPS > 0 ? Session.KeyFile->FPS : 1;
    KeyTimer->setInterval(int(std::min(1000.0 / fps, 1e9)));
    BNPlay->setChecked(true);
    StartTimer();
}

void TVorlinForm::KeyTimerTick() {
    try {
        ShowFrame(SBFrame->value());
        SBFrame->setValue(SBFrame->value() == SBFrame->maximum() ? 0 : SBFrame->value() + 1);
    } catch (const std::exception& e) {
        // Playback stops before it says so: the timer would raise the message again on every
        // tick behind the box.
        SetEditMode();
        ShowMessageBox(this, QString::fromLocal8Bit(e.what()), "Vorlin", MB_OK | MB_ICONERROR);
    }
}

void TVorlinForm::SliderAction() {
    // Every scroll action pauses playback. A click or drag resumes it when the button is let
    // go; a key or the wheel is a whole scroll in one step, so it resumes at once.
    Pause();
    if (!scrolling_)
        QTimer::singleShot(0, this, [this] {
            if (!scrolling_) Resume();
        });
}

bool TVorlinForm::SliderEvent(QEvent* event) {
    switch (event->type()) {
    case QEvent::ShortcutOverride: {
        // The focused slider takes its own keys (in play mode too), before the frame keys.
        // Not with Ctrl or Alt: those step and nudge keys.
        const auto* k = static_cast<QKeyEvent*>(event);
        const int key = k->key();
        if (k->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) break;
        if (key == Qt::Key_Left || key == Qt::Key_Right || key == Qt::Key_Home ||
            key == Qt::Key_End || key == Qt::Key_PageUp || key == Qt::Key_PageDown) {
            event->accept();
            return true;
        }
        break;
    }
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        scrolling_ = true;
        Pause();
        break;
    case QEvent::MouseButtonRelease:
        if (static_cast<QMouseEvent*>(event)->buttons() == Qt::NoButton) {
            scrolling_ = false;
            Resume();
        }
        break;
    case QEvent::ContextMenu: {
        // The slider's menu ("Scroll here") takes the release of the press that opened it:
        // once it closes, whatever it did, playback goes on.
        static_cast<QObject*>(SBFrame)->event(event);
        scrolling_ = false;
        if (!(QGuiApplication::mouseButtons() & Qt::LeftButton)) Resume();
        return true;
    }
    default:
        break;
    }
    return false;
}

bool TVorlinForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == SBFrame) return SliderEvent(event);
    // While a drag edits the selected node's entry, the tree's keys would select another node
    // under it: they wait for the release.
    if (watched == TV3DO && drag_ &&
        (event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride))
        return true;
    if (watched == LBKEY || watched == LBKEY->viewport()) return EntryListEvent(watched, event);
    return QMainWindow::eventFilter(watched, event);
}

void TVorlinForm::ClearEntryList() {
    const QSignalBlocker block(LBKEY);
    LBKEY->clear();
}

int TVorlinForm::CurrentFrame() const {
    return SBFrame->value();
}

// ---------------------------------------------------------------------------------------------
// Display operations

void TVorlinForm::ShowFrame(int frame) {
    T3DO* model = Session.Model.get();
    if (!model || !Session.KeyFile) return;
    SBFrame->setValue(frame);
    SetFrameLabel(frame);
    Session.Pose(frame);
    if (Settings.FOLLOW_NODEPATH) {
        view_->UpdateView();
        if (Renderer && model->HNodes.Count() > 0) {
            const T3DOHNode& n = model->HNodes[0];
            Renderer->CameraPos[0] += n.CurX;
            Renderer->CameraPos[1] += n.CurY;
            Renderer->CameraPos[2] += n.CurZ;
        }
    }
    Redraw();
    ShowNodePose();
}

void TVorlinForm::ShowNodePose() {
    const T3DO* model = Session.Model.get();
    if (!model || SelectedNode < 0 || SelectedNode >= model->HNodes.Count()) return;
    const T3DOHNode& n = model->HNodes[SelectedNode];
    // The numbers without the padding that lined them up in a fixed-pitch font: in the
    // desktop's font it only pushed Yaw out of the window.
    auto value = [](double v) {
        std::string s = Left82(v);
        while (!s.empty() && s.back() == ' ')
            s.pop_back();
        return s;
    };
    SetPanel(3, ToQ("X: " + value(n.CurX) + "  Y: " + value(n.CurY) + "  Z: " + value(n.CurZ) +
                    "  Pitch: " + value(n.CurPitch) + "  Roll: " + value(n.CurRoll) +
                    "  Yaw: " + value(n.CurYaw)));
}

bool TVorlinForm::FillEntryList(bool keepFrame) {
    if (!Session.KeyFile) return false;
    // A tree row without a node in the document is reported by the document.
    const int count = Session.EntryCount();
    const bool refill = LBKEY->count() != count;
    if (refill) {
        const QSignalBlocker block(LBKEY);
        LBKEY->clear();
        for (int i = 0; i < count; ++i)
            LBKEY->addItem(EntryText(i));
        Session.ClampSelection(count);
    } else
        UpdateEntryTexts(); // the same entries; their frames may have moved
    ShowSelectedEntry();
    ShowKeyCaption();
    UpdateEnabling();
    if (!refill) return false;
    if (!keepFrame)
        SetPanel(1, SelectedEntry >= 0 ? QString("Entry %1").arg(SelectedEntry) : QString());
    // Without entries the node stays at rest and the frame stays.
    ShowFrame(count == 0 || keepFrame ? SBFrame->value() : Session.SelectedKeyEntry().Frame);
    return true;
}

void TVorlinForm::ShowKeyCaption() {
    if (!Session.KeyFile) return;
    QString text = "KEY: " + ToQ(Session.KeyFile->Name);
    if (Session.KeyNodeIndex() < 0) {
        QTreeWidgetItem* row = TV3DO->topLevelItem(SelectedNode);
        text += QString(" (no node for %1: Add Entry makes one)")
                    .arg(row ? row->text(0) : QString::number(SelectedNode));
    }
    PLKEY->setText(text);
}

void TVorlinForm::InitKEYControls() {
    const TKEYFile& doc = *Session.KeyFile;
    PLKEY->setText("KEY: " + ToQ(doc.Name));
    Session.SelectEntry(0);
    SetPanel(1, "Entry: 0");
    SetFrameRange();
    {
        const QSignalBlocker block(SBFrame);
        SBFrame->setValue(0);
    }
    SetFrameLabel(0);
    Timeline->KeysChanged();
    Timeline->Fit();
    Curves->DocumentChanged();
    Curves->Fit();
    UpdateEnabling();
    UpdateTitle();
    if (!BNYAxis->isChecked() && !BNZAxis->isChecked()) BNXAxis->setChecked(true);
    if (!BNMove->isChecked()) BNRotate->setChecked(true);
    BNEdit->setChecked(true);
}

} // namespace vorlin
