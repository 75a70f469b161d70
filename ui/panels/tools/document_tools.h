// The whole document's commands of the Edit menu: Markers (the footstep and saber markers in
// their dialog), KEY Summary (the document re-timed in bulk) and Check KEY (what the game would
// refuse or play wrongly, each finding a way to what it names; Recalculate Rates fixes every
// stale rate). Each change is one step to undo; the rules are the core's.
#pragma once

#include <QObject>

namespace vorlin {

class TActionTable;
class TCheckForm;
class TKeyDocument;
class TMarkersForm;
class TPanelHost;
class TSummaryForm;

class TDocumentTools : public QObject {
public:
    // Registers Markers1, KEYSummary1 and CheckKEY1.
    TDocumentTools(TKeyDocument& doc, TPanelHost& host, TActionTable& actions);

    // The dialogs (each made on first use when not given).
    TMarkersForm* Markers = nullptr;
    TSummaryForm* Summary = nullptr;
    TCheckForm* CheckForm = nullptr;

    // The markers editor with a marker selected.
    void EditMarkers(int marker);
    void EditSummary();
    void CheckKey();

private:
    // The findings of the document on show in the check dialog.
    void ShowCheck();
    // A finding's node and entry selected, as clicks would.
    void GoTo(int node, int entry);

    TKeyDocument& doc_;
    TPanelHost& host_;
};

} // namespace vorlin
