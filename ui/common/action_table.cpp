#include "common/action_table.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QShortcut>
#include <QWidget>
#include <algorithm>

namespace vorlin {

TActionTable::TActionTable(QWidget* window, std::function<void(const std::function<void()>&)> run)
    : QObject(window), window_(window), run_(std::move(run)) {
    // A key goes first to the widget it is for (the focus, or the one a test sends it to) as a
    // ShortcutOverride, then to the shortcuts: that widget says which panel's action it means.
    qApp->installEventFilter(this);
}

bool TActionTable::eventFilter(QObject* watched, QEvent* event) {
    if (!watched->isWidgetType()) return false;
    auto* w = static_cast<QWidget*>(watched);
    // The override goes on to the parents when the widget leaves it: its first receiver is
    // the widget the key is for.
    if (event->type() == QEvent::ShortcutOverride) {
        // (Never back to the same widget: that is the next key, its event perhaps at the
        // address of the last.)
        const bool first =
            event != override_ || !keyTarget_ || w == keyTarget_ || !w->isAncestorOf(keyTarget_);
        if (first) keyTarget_ = w;
        override_ = event;
        // A menu, the menu bar or a button shows an action with its keys, and the toolkit
        // takes those keys as that widget's while it has the focus: beside the window's
        // shortcut they would be ambiguous and run nothing. The key comes here instead.
        const QKeySequence keys(static_cast<QKeyEvent*>(event)->keyCombination());
        if (first && shortcuts_.count(keys.toString()) && ShowsActions(w)) {
            event->accept();
            held_ = {w, keys};
            return true;
        }
    }
    if (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease)
        override_ = nullptr; // the key's override is over
    if (event->type() == QEvent::KeyPress && held_.first && held_.first == w) {
        const QKeySequence keys(static_cast<QKeyEvent*>(event)->keyCombination());
        const bool same = keys == held_.second;
        held_ = {};
        if (same) {
            // As the shortcut would: an open menu closes first.
            while (QWidget* popup = QApplication::activePopupWidget())
                popup->close();
            Keys(keys);
            return true;
        }
    }
    // A key that reached a panel without passing the shortcuts (its window is not the active
    // one, as under a test that sends it there) is still that panel's command.
    if (event->type() != QEvent::KeyPress) return false;
    const TActionContext context = ContextOf(w);
    if (context != TActionContext::Timeline && context != TActionContext::Curves) return false;
    if (w != contexts_.at(context)) return false; // a field on the panel takes its own keys
    const auto* k = static_cast<QKeyEvent*>(event);
    if (k->key() == Qt::Key_unknown || (k->key() >= Qt::Key_Shift && k->key() <= Qt::Key_Alt))
        return false;
    const QKeySequence keys(k->keyCombination());
    for (const Entry& e : entries_) {
        if (e.Spec.Context != context || !e.Spec.Keys.contains(keys)) continue;
        if (e.Spec.Enabled && !e.Spec.Enabled()) continue;
        e.Action->setEnabled(true);
        e.Action->trigger();
        return true;
    }
    return false;
}

bool TActionTable::ShowsActions(QWidget* w) const {
    if (qobject_cast<QMenuBar*>(w) || qobject_cast<QMenu*>(w)) return true;
    const QList<QAction*> shown = w->actions();
    return std::any_of(entries_.begin(), entries_.end(),
                       [&](const Entry& e) { return shown.contains(e.Action); });
}

TActionContext TActionTable::ContextOf(QWidget* widget) const {
    for (QWidget* w = widget; w; w = w->parentWidget())
        for (const auto& [context, panel] : contexts_)
            if (panel == w) return context;
    return TActionContext::Window;
}

TActionTable::~TActionTable() = default;

QAction* TActionTable::Add(TActionSpec spec) {
    auto* a = new QAction(spec.Caption, window_);
    a->setObjectName(spec.Id);
    // The keys are shown in the menus and taken by the table's own shortcuts: the action's
    // would be ambiguous with another context's action on the same key.
    a->setShortcuts(spec.Keys);
    a->setShortcutContext(Qt::WidgetShortcut);
    a->setCheckable(spec.Checkable);
    if (!spec.Icon.isNull()) {
        a->setIcon(spec.Icon);
        a->setIconVisibleInMenu(false);
    }
    if (!spec.Tip.isEmpty()) a->setToolTip(spec.Tip);
    const std::function<void()> body = spec.Run;
    const bool plain = spec.Plain;
    connect(a, &QAction::triggered, this, [this, body, plain] {
        if (!body) return;
        if (plain)
            body();
        else
            run_(body);
    });
    for (const QKeySequence& keys : spec.Keys) {
        const QString text = keys.toString();
        if (shortcuts_.count(text)) continue;
        auto* s = new QShortcut(keys, window_);
        s->setContext(Qt::WindowShortcut);
        connect(s, &QShortcut::activated, this, [this, keys] { Keys(keys); });
        shortcuts_[text] = s;
    }
    entries_.push_back({std::move(spec), a});
    return a;
}

QAction* TActionTable::Action(const char* id) const {
    for (const Entry& e : entries_)
        if (qstrcmp(e.Spec.Id, id) == 0) return e.Action;
    return nullptr;
}

void TActionTable::SetContextWidget(TActionContext context, QWidget* widget) {
    contexts_[context] = widget;
}

void TActionTable::Refresh() {
    for (const Entry& e : entries_) {
        if (e.Spec.Enabled) e.Action->setEnabled(e.Spec.Enabled());
        if (e.Spec.Checkable && e.Spec.Checked && e.Action->isChecked() != e.Spec.Checked()) {
            const QSignalBlocker quiet(e.Action);
            e.Action->setChecked(e.Spec.Checked());
        }
    }
}

void TActionTable::Trigger(const char* id) {
    QAction* a = Action(id);
    for (const Entry& e : entries_)
        if (e.Action == a && e.Spec.Enabled) a->setEnabled(e.Spec.Enabled());
    if (a && a->isEnabled()) a->trigger();
}

TActionContext TActionTable::FocusContext() const {
    return ContextOf(keyTarget_ ? keyTarget_.data() : QApplication::focusWidget());
}

void TActionTable::Keys(const QKeySequence& keys) {
    // The focused panel's action first, then the window's; the first that may run runs.
    const TActionContext here = FocusContext();
    for (const TActionContext wanted : {here, TActionContext::Window}) {
        for (const Entry& e : entries_) {
            if (e.Spec.Context != wanted || !e.Spec.Keys.contains(keys)) continue;
            if (e.Spec.Enabled && !e.Spec.Enabled()) continue;
            e.Action->setEnabled(true);
            e.Action->trigger();
            return;
        }
        if (here == TActionContext::Window) return;
    }
}

} // namespace vorlin
