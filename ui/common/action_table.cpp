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

QAction* TActionTable::Add(TActionDef def) {
    auto* a = new QAction(def.Caption, window_);
    a->setObjectName(def.Id);
    // The keys are shown in the menus and taken by the table's own shortcuts: the action's
    // would be ambiguous with another context's action on the same key.
    a->setShortcuts(def.Keys);
    a->setShortcutContext(Qt::WidgetShortcut);
    a->setCheckable(def.Checkable);
    if (!def.Icon.isNull()) {
        a->setIcon(def.Icon);
        a->setIconVisibleInMenu(false);
    }
    if (!def.Tip.isEmpty()) a->setToolTip(def.Tip);
    const std::function<void()> body = def.Run;
    const bool plain = def.Plain;
    connect(a, &QAction::triggered, this, [this, body, plain] {
        if (!body) return;
        if (plain)
            body();
        else
            run_(body);
    });
    for (const QKeySequence& keys : def.Keys) {
        const QString text = keys.toString();
        if (shortcuts_.count(text)) continue;
        auto* s = new QShortcut(keys, window_);
        s->setContext(Qt::WindowShortcut);
        connect(s, &QShortcut::activated, this, [this, keys] { Keys(keys); });
        shortcuts_[text] = s;
    }
    entries_.push_back({std::move(def), a});
    return a;
}

QAction* TActionTable::Action(const char* id) const {
    for (const Entry& e : entries_)
        if (qstrcmp(e.Def.Id, id) == 0) return e.Action;
    return nullptr;
}

void TActionTable::SetContextWidget(TActionContext context, QWidget* widget) {
    contexts_[context] = widget;
}

void TActionTable::Refresh() {
    for (const Entry& e : entries_) {
        if (e.Def.Enabled) e.Action->setEnabled(e.Def.Enabled());
        if (e.Def.Checkable && e.Def.Checked && e.Action->isChecked() != e.Def.Checked()) {
            const QSignalBlocker quiet(e.Action);
            e.Action->setChecked(e.Def.Checked());
        }
    }
}

void TActionTable::Trigger(const char* id) {
    QAction* a = Action(id);
    for (const Entry& e : entries_)
        if (e.Action == a && e.Def.Enabled) a->setEnabled(e.Def.Enabled());
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
            if (e.Def.Context != wanted || !e.Def.Keys.contains(keys)) continue;
            if (e.Def.Enabled && !e.Def.Enabled()) continue;
            e.Action->setEnabled(true);
            e.Action->trigger();
            return;
        }
        if (here == TActionContext::Window) return;
    }
}

} // namespace vorlin
