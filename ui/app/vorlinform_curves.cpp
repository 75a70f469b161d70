// The curves under the 3D view: the selected node's channels, picking an entry by its key
// point, and dragging a key's value up and down as one step ("Edit Value").
#include <QAction>
#include <QListWidget>
#include <QScrollBar>
#include <QTabWidget>
#include <QToolButton>
#include <QTreeWidget>

#include "app/curves_panel.h"
#include "app/vorlinform.h"

namespace vorlin {

void TVorlinForm::BuildCurves() {
    Curves = new TCurvesPanel(Session, ViewTabs);
    ViewTabs->addTab(Curves, "Curves");
    Curves->SetChannels(unsigned(Settings.CURVES_CHANNELS) & 0x3Fu);
    Curves->onChannels = [](unsigned mask) { Settings.CURVES_CHANNELS = int32_t(mask); };
    Curves->frame = [this] { return SBFrame->value(); };
    Curves->nodeName = [this] {
        QTreeWidgetItem* item = TV3DO->topLevelItem(SelectedNode);
        return item ? item->text(0) : QString();
    };
    Curves->onScrub = [this](int frame) { Scrub(frame); };
    Curves->onScrubEnd = [this] { ScrubEnd(); };
    Curves->onKey = [this](int entry) {
        if (drag_ || !Session.KeyFile) return;
        if (entry < LBKEY->count()) PickEntry(entry);
        Redraw();
    };
    Curves->onEditBegin = [this](TCurveKey) { BeginValueEdit(); };
    Curves->onEdit = [this](TCurveKey key, double value) { ValueEditStep(key, value); };
    Curves->onEditEnd = [this] { EndDrag(); };
}

void TVorlinForm::BeginValueEdit() {
    EndDrag();
    const int node = Session.KeyFile ? Session.KeyNodeIndex() : -1;
    if (node < 0 || !BNEdit->isChecked()) return;
    BeginDrag({node}, "Edit Value");
}

void TVorlinForm::ValueEditStep(TCurveKey key, double value) {
    if (!drag_ || Session.KeyFile.get() != dragDoc_) return;
    const int node = Session.KeyNodeIndex();
    if (node < 0 || key.entry >= Session.EntryCount()) return;
    Command([&] {
        SetChannel(Session.KeyFile->Nodes[node].Entries[key.entry], key.channel, value);
        // As the entry commands do: the rates into and out of the entry are derived again.
        Session.KeyFile->UpdateEntry(node, key.entry);
        ShowFrame(SBFrame->value());
    });
}

} // namespace vorlin
