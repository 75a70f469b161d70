// Edit > Tween: a slider from the previous key's pose (0%) to the next key's (100%) that sets
// the picked keys while it moves; OK keeps the blend, Escape puts the keys back.
#pragma once

#include <QDialog>
#include <functional>

class QLabel;
class QSlider;

namespace vorlin {

class TTweenForm : public QDialog {
public:
    explicit TTweenForm(QWidget* parent);
    // Told the blend (0 to 1) whenever the slider moves, and once when the dialog opens.
    std::function<void(double)> OnBlend;
    int exec() override;
    double Blend() const;

private:
    void Moved();
    QSlider* TBTween;
    QLabel* LBTween;
};

} // namespace vorlin
