#include "panels/value_field.h"

#include <QApplication>
#include <QKeyEvent>

#include "support/misc_utils.h"
#include "common/qt_strings.h"

namespace vorlin {

TValueField::TValueField(QWidget* parent) : QLineEdit(parent) {
    setFrame(true);
    hide();
    connect(this, &QLineEdit::textEdited, this, [this] {
        if (onEdited) onEdited();
    });
}

void TValueField::Open(QPointF at, const QString& text) {
    setText(text);
    const int w = std::max(fontMetrics().horizontalAdvance("-0000.00000") + 12, 80);
    const int h = sizeHint().height();
    QPoint p = at.toPoint() + QPoint(8, -h / 2);
    // Inside the panel, whatever the point.
    p.setX(std::clamp(p.x(), 0, std::max(parentWidget()->width() - w, 0)));
    p.setY(std::clamp(p.y(), 0, std::max(parentWidget()->height() - h, 0)));
    setGeometry(QRect(p, QSize(w, h)));
    show();
    raise();
    setFocus(Qt::OtherFocusReason);
    selectAll();
}

void TValueField::Close() {
    closing_ = true;
    hide();
    if (parentWidget()) parentWidget()->setFocus(Qt::OtherFocusReason);
    closing_ = false;
}

std::optional<double> TValueField::Value() const {
    double v = 0;
    const std::string t = FromQ(text().trimmed());
    if (t.empty() || !ValDouble(t, v)) return std::nullopt;
    return v;
}

void TValueField::keyPressEvent(QKeyEvent* e) {
    switch (e->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (onEnter) onEnter();
        return;
    case Qt::Key_Escape:
        if (onCancel) onCancel();
        return;
    default:
        QLineEdit::keyPressEvent(e);
    }
}

bool TValueField::event(QEvent* e) {
    // Escape and Enter are the field's while it is open, not the window's shortcuts.
    if (e->type() == QEvent::ShortcutOverride) {
        auto* k = static_cast<QKeyEvent*>(e);
        if (k->key() == Qt::Key_Escape || k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter) {
            e->accept();
            return true;
        }
    }
    return QLineEdit::event(e);
}

void TValueField::focusOutEvent(QFocusEvent* e) {
    QLineEdit::focusOutEvent(e);
    // A click on the panel under the field is the panel's to take (it may confirm); anywhere
    // else the field is given up.
    if (QApplication::focusWidget() == parentWidget()) return;
    if (!closing_ && isVisible() && onCancel) onCancel();
}

} // namespace vorlin
