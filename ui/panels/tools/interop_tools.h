// File > Export glTF and File > Import Motion: the model and its KEY written for every other
// animation tool, and motion from them (or another character's KEY) brought onto the model as a
// new document. The rules are in core/interop; here they meet the menus and the dialogs.
#pragma once

#include <QObject>
#include <functional>
#include <memory>

class QAction;
class QMenu;
class QWidget;

namespace vorlin {

class TKEYFile;
class TPanelHost;
class TImportMotionForm;

class TInteropTools : public QObject {
public:
    // askSave asks to save the document on show (false: the user cancelled); open takes an
    // imported document as New KEY takes its own: new, unsaved.
    TInteropTools(TPanelHost& host, QWidget* window, std::function<bool()> askSave,
                  std::function<void(std::unique_ptr<TKEYFile>)> open);
    // Puts Export glTF and Import Motion into the File menu before `before`.
    void AddActions(QMenu* file, QAction* before);
    QAction* ExportGltf1 = nullptr;
    QAction* ImportMotion1 = nullptr;

    void ExportGltf();
    void ImportMotion();

private:
    TPanelHost& host_;
    QWidget* window_;
    std::function<bool()> askSave_;
    std::function<void(std::unique_ptr<TKEYFile>)> open_;
    TImportMotionForm* form_ = nullptr;
};

} // namespace vorlin
