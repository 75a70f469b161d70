#include "panels/tools/interop_tools.h"

#include <QAction>
#include <QFileInfo>
#include <QMenu>

#include "dialogs/import_motion_form.h"
#include "common/action_table.h"
#include "edit/key_document.h"
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

TInteropTools::TInteropTools(TKeyDocument& doc, TPanelHost& host, TActionTable& actions,
                             std::function<bool()> mayGo,
                             std::function<void(std::unique_ptr<TKEYFile>)> open)
    : QObject(host.Window()), doc_(doc), host_(host), mayGo_(std::move(mayGo)),
      open_(std::move(open)) {
    auto add = [&](const char* id, const char* caption, void (TInteropTools::*run)()) {
        TActionDef def;
        def.Id = id;
        def.Caption = caption;
        def.Enabled = [this] { return doc_.Model != nullptr; };
        def.Run = [this, run] { (this->*run)(); };
        actions.Add(def);
    };
    add("ExportGltf1", "E&xport glTF...", &TInteropTools::ExportGltf);
    add("ImportMotion1", "&Import Motion...", &TInteropTools::ImportMotion);
}

void TInteropTools::ExportGltf() {
    TKeyDocument& s = doc_;
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
    const std::optional<QString> path = AskFileName(host_.Window(), request);
    if (!path) return;
    std::vector<const TKEYFile*> keys;
    if (s.KeyFile) keys.push_back(s.KeyFile.get());
    vorlin::ExportGltf(*s.Model, keys, CurrentPalette(), FromQ(*path));
    host_.ShowStatus("Exported " + QFileInfo(*path).fileName() +
                     (s.KeyFile ? " with " + ToQ(s.KeyFile->Name) : QString(" (no KEY)")));
}

void TInteropTools::ImportMotion() {
    TKeyDocument& s = doc_;
    if (!s.Model) return;
    FileDialogRequest request;
    request.caption = "Import Motion";
    request.filter = "Motion (*.bvh *.fbx *.gltf *.glb *.dae *.key);;All files (*)";
    request.initialPath = DiskFolder(s.Model->FileName);
    const std::optional<QString> path = AskFileName(host_.Window(), request);
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
        const std::optional<QString> sourceModel = AskFileName(host_.Window(), ask);
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
    if (!form_) form_ = new TImportMotionForm(host_.Window());
    form_->ShowMapping(*path, nodes, motion->Names, ImportMap(*s.Model, *motion, {}), animations, 0,
                       DefaultFps(*motion));
    if (form_->exec() != QDialog::Accepted) return;
    if (form_->Animation() > 0) motion = ReadMotion(file, animations[size_t(form_->Animation())]);
    if (!mayGo_()) return;
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
