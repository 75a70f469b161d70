// A small field over a panel for a number typed in place (a factor to scale keys by, a key's
// value): Enter gives it, Escape or a click elsewhere gives it up.
#pragma once

#include <QLineEdit>
#include <functional>
#include <optional>

namespace vorlin {

class TValueField : public QLineEdit {
public:
    explicit TValueField(QWidget* parent);
    // Shows the field at a point of its parent with the text selected, and takes the keys.
    void Open(QPointF at, const QString& text);
    void Close();
    // The number typed ("." as the point, whatever the locale); none for other text.
    std::optional<double> Value() const;

    std::function<void()> onEdited; // each change of the text
    std::function<void()> onEnter;
    std::function<void()> onCancel;

protected:
    void keyPressEvent(QKeyEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;
    bool event(QEvent* e) override;

private:
    bool closing_ = false;
};

} // namespace vorlin
