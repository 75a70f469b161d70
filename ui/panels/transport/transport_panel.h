// Playing and the frame on show: the toolbar's frame slider and frame label, the Edit and Play
// buttons, the timer that plays the animation at its frame rate, and the keys that step through
// the frames (Left, Right, Home, End; Space plays and stops). The mode and the frame are the
// document's; playback waits while the document is held (a dialog open, a press that sets the
// frame).
#pragma once

#include <QObject>

class QEvent;
class QLabel;
class QScrollBar;
class QTimer;
class QWidget;

namespace vorlin {

class TActionTable;
class TKeyDocument;
class TPanelHost;
struct TDocumentChange;

class TTransportPanel : public QObject {
    Q_OBJECT
public:
    TTransportPanel(TKeyDocument& doc, TPanelHost& host, TActionTable& actions, QWidget* parent);
    ~TTransportPanel() override;

    QScrollBar* Slider() const { return slider_; }
    QLabel* FrameLabel() const { return label_; }
    QTimer* Timer() const { return timer_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Changed(const TDocumentChange& change);
    void Tick();
    // The timer runs while the document plays and nothing holds it.
    void Schedule();
    // The slider runs from 0 to the last frame; the label shows "frame/last", as wide as the
    // longest of this document so it neither cuts a number nor changes width while playing.
    void ShowRange();
    void ShowFrame();
    // The slider's scroll actions: a press holds playback until the release; a key or the
    // wheel is one step, so it waits a moment only.
    void SliderAction();
    void StepTo(int frame);

    TKeyDocument& doc_;
    TPanelHost& host_;
    QScrollBar* slider_;
    QLabel* label_;
    QTimer* timer_;
    int observer_ = 0;
    bool pressed_ = false; // a mouse button is held on the slider
};

} // namespace vorlin
