// The markers of a KEY: the events the animation signals to the game (footsteps, splashes,
// saber switches). The dialog edits its own copies; the caller takes them back after OK.
#pragma once

#include <QDialog>

#include "key/u_key.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollBar;
class QTableWidget;

namespace vorlin {

class TMarkersForm : public QDialog {
    Q_OBJECT
public:
    explicit TMarkersForm(QWidget* parent = nullptr);

    // Copies the markers; frames is the document's frame count, current the frame on show.
    void ShowMarkers(const TKEYMarkers& markers, int frames, int current);
    // Makes a marker the selected one (after ShowMarkers).
    void SelectMarker(int marker);
    const TKEYMarkers& EditedMarkers() const { return markers_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void ShowMarkerRows();
    int Selected() const;
    TKEYMarker* SelectedMarker() const;
    // Places a frame on the scroll bar; a frame outside the animation widens the bar's range
    // to reach it, so the marker is shown where it is rather than somewhere it is not.
    void PlaceFrame(int frame);
    void TypeChosen(int index);
    void ScrollMoved(int position);
    void SetClick();
    // Stores the typed value of a marker that has one; false (after a warning, the field
    // focused) when it is not a number.
    bool TakeValue();
    bool eventFilter(QObject* watched, QEvent* event) override;
    void Add(bool insert);
    void DeleteClick();
    void Saber(bool twice);

    QTableWidget* MarkersGrid;
    QComboBox* CBType;
    QLabel *LType, *LFrame, *LCurrent, *LValue;
    QScrollBar* FrameScroll;
    QPushButton* BNSet;
    QLineEdit* EBValue;
    QPushButton* BNCancel;
    TKEYMarkers markers_;
    int maxFrame_ = 0;
    int current_ = 0;
    bool checking_ = false; // a refused value is being reported
};

} // namespace vorlin
