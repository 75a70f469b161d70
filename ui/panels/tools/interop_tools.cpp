#include "panels/tools/interop_tools.h"

#include <QAction>
#include <QFileInfo>
#include <QMenu>

#include "dialogs/import_motion_form.h"
#include "edit/key_session.h"
#include "interop/gltf_export.h"
#include "interop/motion_import.h"
#include "key/key_check.h"
#include "model/graph_files.h"
#include "model/u_3dos.h"
#include "panels/panel_host.h"
#include "common/DialogSeams.h"
#include "support/FileOperations.h"
#include "support/misc_utils.h"
#include "common/qt_strings.h"

namespace vorlin {

namespace {

std::string Joined(const std::vector<std::string>& names) {
    std::string s;
    for (const std::string& n : names)
        s += (s.empty() ? "" : ", ") + n;
    return s;
}

// A folder on disk to start a file dialog in: the file's own, or the current one for a file
// inside a container.
QString DiskFolder(const std::string& path) {
    if (path.empty() || IsContainerPath(path)) return {};
    return QFileInfo(ToQ(path)).absolutePath() + "/";
}

} // namespace

TInteropTools::TInteropTools(TPanelHost& host, QWidget* window, std::function<bool()> askSave,
                             std::function<void(std::unique_ptr<TKEYFile>)> open)
    : QObject(window), host_(host), window_(window), askSave_(std::move(askSave)),
      open_(std::move(open)) {}

void TInteropTools::AddActions(QMenu* file, QAction* before) {
    auto add = [&](const char* name, const char* caption, void (TInteropTools::*slot)()) {
        auto* a = new QAction(caption, file);
        a->setObjectName(name);
        file->insertAction(before, a);
        connect(a, &QAction::triggered, this,
                [this, slot] { host_.RunCommand([this, slot] { (this->*slot)(); }); });
        return a;
    };
    file->insertSeparator(before)->setObjectName("N3");
    ExportGltf1 = add("ExportGltf1", "E&xport glTF...", &TInteropTools::ExportGltf);
    ImportMotion1 = add("ImportMotion1", "&Import Motion...", &TInteropTools::ImportMotion);
}

void TInteropTools::ExportGltf() {
    TKeySession& s = host_.EditSession();
    if (!s.Model) return;
    const std::string model = s.Model->FileName;
    FileDialogRequest request;
    request.kind = FileDialogRequest::Save;
    request.caption = "Export glTF";
    request.filter = "glTF binary (*.glb);;glTF (*.gltf)";
    request.defaultSuffix = "glb";
    std::string stem = PathName(model);
    stem = stem.substr(0, stem.size() - PathExt(stem).size());
    request.initialPath =
        DiskFolder(s.KeyFile && !s.KeyFile->FullName.empty() ? s.KeyFile->FullName : model) +
        ToQ(stem) + ".glb";
    const std::optional<QString> path = AskFileName(window_, request);
    if (!path) return;
    std::vector<const TKEYFile*> keys;
    if (s.KeyFile) keys.push_back(s.KeyFile.get());
    vorlin::ExportGltf(*s.Model, keys, CurrentPalette(), FromQ(*path));
    host_.ShowStatus("Exported " + QFileInfo(*path).fileName() +
                     (s.KeyFile ? " with " + ToQ(s.KeyFile->Name) : QString(" (no KEY)")));
}

void TInteropTools::ImportMotion() {
    TKeySession& s = host_.EditSession();
    if (!s.Model) return;
    FileDialogRequest request;
    request.caption = "Import Motion";
    request.filter = "Motion (*.bvh *.fbx *.gltf *.glb *.dae *.key);;All files (*)";
    request.initialPath = DiskFolder(s.Model->FileName);
    const std::optional<QString> path = AskFileName(window_, request);
    if (!path) return;
    const std::string file = FromQ(*path);
    std::unique_ptr<TMotion> motion;
    std::vector<std::string> animations;
    if (SameText(PathExt(file), ".key")) {
        // Another character's animation: the model it plays on gives its skeleton.
        FileDialogRequest ask;
        ask.caption = "The Model " + QFileInfo(*path).fileName() + " Plays On";
        ask.filter = "3DO models (*.3do)";
        ask.initialPath = DiskFolder(file);
        const std::optional<QString> sourceModel = AskFileName(window_, ask);
        if (!sourceModel) return;
        const T3DO source(FromQ(*sourceModel));
        motion = KeyMotion(source, *LoadKeyReported(file));
        animations = {motion->Animation};
    } else {
        animations = MotionAnimations(file);
        motion = ReadMotion(file);
    }
    std::vector<std::string> nodes;
    for (int n = 0; n < s.Model->HNodes.Count(); ++n)
        nodes.push_back(s.Model->HNodes[n].Name);
    if (!form_) form_ = new TImportMotionForm(window_);
    form_->ShowMapping(*path, nodes, motion->Names, ImportMap(*s.Model, *motion, {}), animations, 0,
                       DefaultFps(*motion));
    if (form_->exec() != QDialog::Accepted) return;
    if (form_->Animation() > 0) motion = ReadMotion(file, animations[size_t(form_->Animation())]);
    if (!askSave_()) return;
    TImportResult result = vorlin::ImportMotion(*s.Model, *motion, form_->EditedOptions());
    for (const TFinding& f : CheckKey(*result.Key, s.Model.get()))
        if (f.Severity == TSeverity::Error)
            throw Error("The KEY made would not play: " + f.Message);
    LogMessage(mtInfo, "Imported " + motion->Animation + " from " + file + ": " +
                           std::to_string(result.Keys) + " keys for " +
                           std::to_string(result.Frames) + " frames, the largest difference " +
                           GeneralFloat(result.Error.Angle) + " degrees and " +
                           GeneralFloat(result.Error.Position) + " units");
    for (const std::string& pair : result.Pairs)
        LogMessage(mtInfo, "  " + pair);
    if (!result.UnmappedNodes.empty())
        LogMessage(mtInfo, "At rest (no bone): " + Joined(result.UnmappedNodes));
    if (!result.UnusedBones.empty())
        LogMessage(mtInfo, "Bones not used: " + Joined(result.UnusedBones));
    open_(std::move(result.Key));
    host_.ShowStatus("Imported " + ToQ(motion->Animation) + ": " + QString::number(result.Keys) +
                     " keys, unsaved");
}

} // namespace vorlin
