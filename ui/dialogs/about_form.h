// The about box, with its rolling credits.
#pragma once

#include <QDialog>

class QLabel;
class QScrollArea;
class QTimer;

namespace vorlin {

class TAboutForm : public QDialog {
    Q_OBJECT
public:
    static constexpr int kRollLength = 870; // pixels the credits roll before starting over

    explicit TAboutForm(QWidget* parent = nullptr);
    int ScrollCounter() const { return counter_; }
    QTimer* Timer() const { return timer_; }
    // One tick of the roll.
    void Roll();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QLabel* credits_;
    QScrollArea* scrollBox_;
    QTimer* timer_;
    int counter_ = 0;
};

} // namespace vorlin
