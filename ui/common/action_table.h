// The one table of the program's actions. Each panel registers its own: an id (the action's
// objectName, "InsertKey1"), its caption, its keys, the context its keys apply in, when it is
// enabled, and what it runs. The main window builds the menus and the toolbar from the ids and
// asks the table to bring the enabling up to date when the document says it changed.
//
// Keys are taken by the table itself, one shortcut for each key any action has, and given to the
// action of the context the focus is in, else to the window's: the timeline's Home shows the
// whole animation while the timeline has the focus, and goes to the first frame elsewhere. A
// text field keeps the keys it types (I there is a letter, not Insert Key).
#pragma once

#include <QIcon>
#include <QKeySequence>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>
#include <map>
#include <vector>

class QAction;
class QShortcut;
class QWidget;

namespace vorlin {

// Where an action's keys apply: anywhere in the window, or while the focus is in one panel.
enum class TActionContext { Window, Timeline, Curves, View, Entries };

struct TActionDef {
    const char* Id = "";
    QString Caption;
    QList<QKeySequence> Keys;
    TActionContext Context = TActionContext::Window;
    std::function<void()> Run;
    std::function<bool()> Enabled; // none: always enabled
    bool Checkable = false;
    std::function<bool()> Checked; // a checkable one shows this state (none: its own)
    QString Tip;
    QIcon Icon;
    // An action that runs without the command wrapper (it shows its own errors, or has none):
    // a toggle of the view, a menu of its own.
    bool Plain = false;
};

class TActionTable : public QObject {
    Q_OBJECT
public:
    // window holds the shortcuts; run runs an action's command (its errors shown in a box).
    TActionTable(QWidget* window, std::function<void(const std::function<void()>&)> run);
    ~TActionTable() override;

    QAction* Add(TActionDef def);
    // The action of an id; null when none was registered.
    QAction* Action(const char* id) const;
    // The widget whose focus (its own or a child's) is a context.
    void SetContextWidget(TActionContext context, QWidget* widget);
    // Every action's enabled and checked state from its rules.
    void Refresh();
    // Runs an action as its key would (when it is enabled).
    void Trigger(const char* id);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Entry {
        TActionDef Def;
        QAction* Action;
    };
    void Keys(const QKeySequence& keys);
    TActionContext FocusContext() const;
    // The context a widget is in (its own panel's, or the window's).
    TActionContext ContextOf(QWidget* widget) const;
    // A menu, the menu bar, or a widget one of the table's actions is added to.
    bool ShowsActions(QWidget* w) const;
    QWidget* window_;
    std::function<void(const std::function<void()>&)> run_;
    std::vector<Entry> entries_;
    std::map<QString, QShortcut*> shortcuts_; // by the key's text
    std::map<TActionContext, QWidget*> contexts_;
    QPointer<QWidget> keyTarget_;                     // the widget the key under way was sent to
    const QEvent* override_ = nullptr;                // that key's override, only compared
    std::pair<QPointer<QWidget>, QKeySequence> held_; // a key taken from a widget's actions
};

} // namespace vorlin
