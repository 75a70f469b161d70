// The window with one progress bar shown while a model's textures are built.
#pragma once

#include <QDialog>

class QProgressBar;

namespace vorlin {

class TProgressForm : public QDialog {
    Q_OBJECT
public:
    explicit TProgressForm(QWidget* parent = nullptr);

    // Shows the window with an empty bar counting to max.
    void Start(int max);
    void StepIt();
    void Finish();
    QProgressBar* Bar() const { return bar_; }

private:
    QProgressBar* bar_;
};

} // namespace vorlin
