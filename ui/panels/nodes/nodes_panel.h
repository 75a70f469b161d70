// The left column of the main window: the model's nodes in a tree and, under it, the entries
// of the KEY node that drives the selected one, with their caption bars, the entry commands of
// the Edit menu, the toolbar and the list's right-click menu (cut, copy, paste, add, insert,
// delete, Current Entry), and Auto Copy. What shows is the document's selection; only a click
// (the row under the release), a right-click or the list's arrow, Page, Home and End keys pick
// an entry, so the highlight always shows the entry the commands act on.
#pragma once

#include <QObject>
#include <functional>

class QEvent;
class QLabel;
class QListWidget;
class QMenu;
class QTreeWidget;
class QWidget;

namespace vorlin {

class TActionTable;
class TEntryForm;
class TKeyDocument;
class TNodeColumn;
class TPanelHost;
struct TDocumentChange;

class TNodesPanel : public QObject {
    Q_OBJECT
public:
    TNodesPanel(TKeyDocument& doc, TPanelHost& host, TActionTable& actions, QWidget* parent);
    ~TNodesPanel() override;

    // The column (objectName "Panel2") that holds the captions, the tree and the list.
    TNodeColumn* Column() const { return column_; }
    QTreeWidget* Tree() const { return tree_; }
    QListWidget* List() const { return list_; }
    // The tree row's text of a model node (its name in lower case); empty for none.
    QString NodeName(int row) const;
    // A click on a caption bar: Open 3DO above the tree, Open KEY above the list.
    std::function<void()> onModelCaption, onKeyCaption;
    // The entry dialog (made on first use when not given).
    TEntryForm* EntryForm = nullptr;

    // Current Entry (or a double-click, or Enter in the list): the selected entry's twelve
    // numbers typed, one step.
    void EditCurrentEntry();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildActions(TActionTable& actions);
    void Changed(const TDocumentChange& change);
    void FillTree();
    // The selected node's row highlighted (without taking that for a click).
    void ShowNodeRow();
    // The list refilled when the node's entries differ in number from its rows, else its
    // texts ("Entry 2 (16)"); the selected entry highlighted; the caption.
    void FillList();
    void ShowSelectedEntry();
    void ShowCaptions();
    QString EntryText(int entry) const;
    // The tree's current row moved (a click, the keys): its node picked.
    void TreeChanged();
    bool ListEvent(QObject* watched, QEvent* event);
    // Moves the highlight while the button is held, without picking.
    void HighlightRow(int row);
    void PickEntry(int row);
    void PopupMenu();

    TKeyDocument& doc_;
    TPanelHost& host_;
    TNodeColumn* column_;
    QLabel* modelCaption_;
    QLabel* keyCaption_;
    QTreeWidget* tree_;
    QListWidget* list_;
    QMenu* popup_;
    int observer_ = 0;
    bool listMouseDown_ = false; // a click on the list is under way
    int listPressRow_ = -1;      // the row the held button was last over
};

} // namespace vorlin
