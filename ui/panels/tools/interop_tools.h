// File > Export glTF and File > Import Motion: the model and its KEY written for every other
// animation tool, and motion from them (or another character's KEY) brought onto the model as a
// new document. The rules are in core/interop; here they meet the menus and the dialogs.
#pragma once

#include <QObject>
#include <functional>
#include <memory>

class QWidget;

namespace vorlin {

class TActionTable;
class TImportMotionForm;
class TKEYFile;
class TKeyDocument;
class TPanelHost;

class TInteropTools : public QObject {
public:
    // Registers ExportGltf1 and ImportMotion1. mayGo asks whether the document on show may
    // go (false: the user cancelled, or the save it asked for did not happen); open takes an
    // imported document as New KEY takes its own: new, unsaved.
    TInteropTools(TKeyDocument& doc, TPanelHost& host, TActionTable& actions,
                  std::function<bool()> mayGo,
                  std::function<void(std::unique_ptr<TKEYFile>)> open);

    void ExportGltf();
    void ImportMotion();

private:
    TKeyDocument& doc_;
    TPanelHost& host_;
    std::function<bool()> mayGo_;
    std::function<void(std::unique_ptr<TKEYFile>)> open_;
    TImportMotionForm* form_ = nullptr;
};

} // namespace vorlin
