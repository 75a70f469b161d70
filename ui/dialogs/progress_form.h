// The window with one progress bar shown while a model's textures are built.
#pragma once

#include <QDialog>
#include <functional>

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
    // The steps as a worker tells them, (0, n) before the first of n and (i, n) after each: the
    // window shows at the first and goes after the last.
    static std::function<void(int done, int total)> Reporter(TProgressForm* form);
    QProgressBar* Bar() const { return bar_; }

private:
    QProgressBar* bar_;
};

} // namespace vorlin
