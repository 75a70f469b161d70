#include "panels/tools/document_tools.h"

#include <QKeySequence>

#include "common/action_table.h"
#include "dialogs/check_form.h"
#include "dialogs/markers_form.h"
#include "dialogs/summary_form.h"
#include "edit/key_commands.h"
#include "key/key_check.h"
#include "panels/panel_host.h"

namespace vorlin {

TDocumentTools::TDocumentTools(TKeyDocument& doc, TPanelHost& host, TActionTable& actions)
    : QObject(host.Window()), doc_(doc), host_(host) {
    auto add = [&](const char* id, const char* caption, QList<QKeySequence> keys,
                   std::function<void()> run) {
        TActionDef def;
        def.Id = id;
        def.Caption = caption;
        def.Keys = std::move(keys);
        def.Enabled = [this] { return doc_.KeyFile != nullptr; };
        def.Run = std::move(run);
        actions.Add(def);
    };
    // The dialog opens on the marker picked on the timeline.
    add("Markers1", "&Markers", {}, [this] {
        const std::vector<int> picked = doc_.PickedMarkers();
        EditMarkers(picked.empty() ? 0 : picked.front());
    });
    add("KEYSummary1", "&KEY Summary", {}, [this] { EditSummary(); });
    add("CheckKEY1", "C&heck KEY", {QKeySequence("Ctrl+K")}, [this] { CheckKey(); });
}

void TDocumentTools::EditMarkers(int marker) {
    if (!doc_.KeyFile || doc_.Editing()) return;
    if (!Markers) Markers = new TMarkersForm(host_.Window());
    Markers->ShowMarkers(doc_.KeyFile->Markers, doc_.KeyFile->Frames, doc_.Frame());
    Markers->SelectMarker(marker);
    doc_.Hold();
    const bool ok = Markers->exec() == QDialog::Accepted;
    doc_.Release();
    if (!ok) return;
    std::vector<TKEYMarker> markers;
    for (const auto& m : Markers->EditedMarkers())
        markers.push_back(*m);
    SetMarkersCommand(doc_, markers);
}

void TDocumentTools::EditSummary() {
    if (!doc_.KeyFile || doc_.Editing()) return;
    if (!Summary) Summary = new TSummaryForm(host_.Window());
    Summary->ShowSummary(*doc_.KeyFile);
    doc_.Hold();
    const bool ok = Summary->exec() == QDialog::Accepted;
    doc_.Release();
    // Cancel: the document is as it was (the dialog worked on a copy); OK with nothing changed
    // changes nothing.
    if (ok) SummaryCommand(doc_, *Summary->SummaryDocument());
}

void TDocumentTools::CheckKey() {
    if (!doc_.KeyFile || doc_.Editing()) return;
    if (!CheckForm) {
        CheckForm = new TCheckForm(host_.Window());
        CheckForm->onSelect = [this](int node, int entry) {
            host_.RunCommand([&] { GoTo(node, entry); });
        };
        CheckForm->onMarker = [this](int marker) {
            host_.RunCommand([&] {
                EditMarkers(marker);
                ShowCheck();
            });
        };
        CheckForm->onRecalculate = [this] {
            host_.RunCommand([this] {
                RecalculateRatesCommand(doc_);
                ShowCheck();
            });
        };
    }
    ShowCheck();
    doc_.Hold();
    CheckForm->exec();
    doc_.Release();
}

void TDocumentTools::ShowCheck() {
    // A document as its file holds it is checked as the game reads that file, line by line.
    std::optional<std::string> text;
    if (!doc_.Modified()) try {
            text = ReadKeyText(doc_.KeyFile->FullName);
        } catch (const std::exception&) {
        }
    CheckForm->ShowFindings(*doc_.KeyFile, doc_.Model.get(), text ? &*text : nullptr);
}

void TDocumentTools::GoTo(int node, int entry) {
    if (node < 0 || !doc_.KeyFile) return;
    doc_.SetPlaying(false);
    // The finding names the document's node; the tree shows the model node it drives.
    doc_.Select(doc_.KeyFile->Joint(node), entry);
    if (doc_.SelectedEntry() >= 0 && entry >= 0) doc_.SetFrame(doc_.SelectedKeyEntry().Frame);
}

} // namespace vorlin
