#include "panels/transport/transport_panel.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTimer>
#include <cmath>

#include "common/action_table.h"
#include "common/controls.h"
#include "edit/key_document.h"
#include "panels/panel_common.h"
#include "panels/panel_host.h"

namespace vorlin {

TTransportPanel::TTransportPanel(TKeyDocument& doc, TPanelHost& host, TActionTable& actions,
                                 QWidget* parent)
    : QObject(parent), doc_(doc), host_(host), slider_(new QScrollBar(Qt::Horizontal, parent)),
      timer_(new QTimer(this)) {
    timer_->setObjectName("KeyTimer");
    connect(timer_, &QTimer::timeout, this, &TTransportPanel::Tick);

    slider_->setObjectName("SBFrame");
    slider_->setFixedWidth(104); // the toolbar holds every control at the window's first size
    slider_->setRange(0, 0);
    slider_->installEventFilter(this);
    slider_->setToolTip("The frame on show (Left and Right step, Home and End go to the ends)");
    connect(slider_, &QScrollBar::valueChanged, this,
            [this](int v) { host_.RunCommand([this, v] { doc_.SetFrame(v); }); });
    connect(slider_, &QScrollBar::actionTriggered, this, [this] { SliderAction(); });

    auto* label = new TClickLabel("0/0", parent);
    label->setObjectName("LBFrame");
    label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    label->setAlignment(Qt::AlignCenter);
    QFont font = label->font();
    font.setBold(true);
    font.setPixelSize(15);
    label->setFont(font);
    label->setFixedWidth(56);
    label->setToolTip("The frame on show and the last frame");
    label_ = label;

    auto mode = [this](const char* id, int icon, const char* tip, bool play) {
        TActionDef def;
        def.Id = id;
        def.Caption = play ? "Play" : "Edit";
        def.Checkable = true;
        def.Checked = [this, play] { return doc_.Playing() == play; };
        def.Enabled = [this] { return doc_.KeyFile != nullptr; };
        def.Icon = ToolbarIcon(icon);
        def.Tip = tip;
        def.Plain = true;
        def.Run = [this, play] {
            doc_.SetPlaying(play);
            Schedule(); // and the button shows the mode even when it did not change
        };
        return def;
    };
    actions.Add(mode("BNEdit", 13,
                     "Edit mode: select and change entries (Space switches to playing)", false));
    actions.Add(mode("BNPlay", 14, "Play: the animation at its frame rate (Space stops it)", true));

    // Stepping is for edit mode; during playback the frame is the timer's.
    auto step = [&](const char* id, const char* caption, QKeySequence keys,
                    std::function<int()> to) {
        TActionDef def;
        def.Id = id;
        def.Caption = caption;
        def.Keys = {keys};
        def.Run = [this, to] {
            if (doc_.KeyFile && !doc_.Playing()) StepTo(to());
        };
        actions.Add(def);
    };
    step("PreviousFrame1", "Previous Frame", Qt::Key_Left, [this] { return doc_.Frame() - 1; });
    step("NextFrame1", "Next Frame", Qt::Key_Right, [this] { return doc_.Frame() + 1; });
    // Home and End keep to the preview range when there is one.
    step("FirstFrame1", "First Frame", Qt::Key_Home, [this] { return doc_.PlayRange().First; });
    step("LastFrame1", "Last Frame", Qt::Key_End, [this] { return doc_.PlayRange().Last; });
    TActionDef play;
    play.Id = "PlayPause1";
    play.Caption = "Play or Stop";
    play.Keys = {Qt::Key_Space};
    play.Run = [this] {
        if (doc_.KeyFile) doc_.SetPlaying(!doc_.Playing());
    };
    actions.Add(play);

    observer_ = doc_.Observe([this](const TDocumentChange& c) { Changed(c); });
}

TTransportPanel::~TTransportPanel() {
    doc_.Forget(observer_);
}

void TTransportPanel::Changed(const TDocumentChange& c) {
    if (c.Has(chDocument | chHeader)) ShowRange();
    if (c.Has(chDocument | chHeader | chFrame)) ShowFrame();
    if (c.Has(chDocument | chMode | chHeader)) Schedule();
}

void TTransportPanel::ShowRange() {
    {
        const QSignalBlocker quiet(slider_);
        slider_->setRange(0, doc_.LastFrame());
    }
    const QString longest = QString("%1/%1").arg(slider_->maximum());
    const int wanted =
        label_->fontMetrics().horizontalAdvance(longest) + 2 * label_->frameWidth() + 8;
    label_->setFixedWidth(qMax(56, wanted));
    // The slider gives up what a longer counter takes: the toolbar keeps every control on show
    // at the window's first size.
    slider_->setFixedWidth(qMax(48, 104 + 56 - label_->width()));
}

void TTransportPanel::ShowFrame() {
    {
        const QSignalBlocker quiet(slider_);
        slider_->setValue(doc_.Frame());
    }
    label_->setText(QString("%1/%2").arg(doc_.Frame()).arg(slider_->maximum()));
}

void TTransportPanel::Schedule() {
    if (!doc_.Playing() || doc_.Held() || !doc_.KeyFile) {
        timer_->stop();
        return;
    }
    // A frame rate of 0 or less cannot be played; one frame a second is the slowest. A timer of
    // interval 0 would fire on every pass of the event loop: more than a frame a millisecond
    // does not play.
    const double fps = doc_.KeyFile->FPS > 0 ? doc_.KeyFile->FPS : 1;
    const int interval = int(std::min(1000.0 / fps, 1e9));
    if (interval <= 0) {
        timer_->stop();
        return;
    }
    timer_->setInterval(interval);
    if (!timer_->isActive()) timer_->start();
}

void TTransportPanel::Tick() {
    try {
        doc_.SetFrame(NextPlayFrame(doc_.Frame(), doc_.PlayRange()));
    } catch (const std::exception& e) {
        // Playback stops before it says so: the timer would raise the message again on every
        // tick behind the box.
        doc_.SetPlaying(false);
        const std::string what = e.what();
        host_.RunCommand([&] { throw Error(what); });
    }
}

void TTransportPanel::StepTo(int frame) {
    doc_.SetFrame(std::clamp(frame, 0, doc_.LastFrame()));
}

void TTransportPanel::SliderAction() {
    // Every scroll action holds playback. A click or drag lets it go when the button is let go;
    // a key or the wheel is a whole scroll in one step, so it goes on at once.
    if (pressed_) return;
    doc_.Hold();
    QTimer::singleShot(0, this, [this] { doc_.Release(); });
}

bool TTransportPanel::eventFilter(QObject* watched, QEvent* event) {
    if (watched != slider_) return false;
    switch (event->type()) {
    case QEvent::ShortcutOverride: {
        // The focused slider takes its own keys (in play mode too), before the frame keys.
        // Not with Ctrl or Alt: those step and nudge keys. Home and End are the frame keys'
        // that keep to the preview range.
        const auto* k = static_cast<QKeyEvent*>(event);
        const int key = k->key();
        if (k->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) break;
        if (key == Qt::Key_Left || key == Qt::Key_Right || key == Qt::Key_PageUp ||
            key == Qt::Key_PageDown) {
            event->accept();
            return true;
        }
        break;
    }
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        if (!pressed_) doc_.Hold();
        pressed_ = true;
        break;
    case QEvent::MouseButtonRelease:
        if (pressed_ && static_cast<QMouseEvent*>(event)->buttons() == Qt::NoButton) {
            pressed_ = false;
            doc_.Release();
        }
        break;
    case QEvent::ContextMenu: {
        // The slider's menu ("Scroll here") takes the release of the press that opened it:
        // once it closes, whatever it did, playback goes on.
        static_cast<QObject*>(slider_)->event(event);
        if (pressed_ && !(QGuiApplication::mouseButtons() & Qt::LeftButton)) {
            pressed_ = false;
            doc_.Release();
        }
        return true;
    }
    default:
        break;
    }
    return false;
}

} // namespace vorlin
