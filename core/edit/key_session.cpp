#include "edit/key_session.h"

#include <cmath>
#include <filesystem>

#include "key/key_check.h"
#include "support/FileOperations.h"
#include "support/misc_utils.h"

namespace vorlin {

// ---------------------------------------------------------------------------------------------
// Loading

double TKeySession::LoadModel(const std::string& name) {
    auto model = std::make_unique<T3DO>(name, 0);
    // The file really read (a bare name is found by the search), kept absolute.
    model->FileName = AbsolutePath(model->FileName);
    Model = std::move(model);
    SelectedNode = 0;
    ProjectDir = ProjectDirOf(Model->FileName);
    FloorHeight = Model->LowestPoint();
    return 10 * Model->Radius() + 3;
}

void TKeySession::LoadKey(const std::string& name) {
    SetKey(LoadKeyReported(name));
}

std::unique_ptr<TKEYFile> TKeySession::BuildNewKey() const {
    if (!Model) return nullptr;
    const TSettings& g = Settings;
    auto doc = std::make_unique<TKEYFile>();
    doc->Frames = g.DEFAULT_NUMFRAMES;
    doc->FPS = g.DEFAULT_FRAMERATE;
    doc->Flags = g.FLAGS_ONCE ? 0 : 3;
    doc->Joints = Model->HNodes.Count();
    // A gap of 0 (or less) cannot space entries: each node then gets one entry.
    const double n0 =
        g.DEFAULT_FRAMEGAP > 0 ? std::floor(double(g.DEFAULT_NUMFRAMES) / g.DEFAULT_FRAMEGAP) : 0;
    // Refused before anything is built: two billion frames at a gap of 1 would take every
    // byte of memory there is.
    if (n0 + 1 > kMaxEntriesPerNode)
        throw Error("New KEY would give more than " + std::to_string(kMaxEntriesPerNode) +
                    " entries per node: raise the Entry Frame Gap or lower the Highest Frame "
                    "in the Options.");
    const int n = int(n0);
    for (const auto& h : Model->HNodes) {
        TKEYNode& node = doc->Nodes.Add();
        node.NodeNumber = doc->Nodes.Count() - 1; // the game binds it to this hierarchy node
        node.MeshName = h->Name;
        for (int j = 0; j <= n; ++j) {
            TKEYEntry& e = node.Entries.Add();
            if (j == 0)
                e.Frame = 0;
            else if (j == n)
                e.Frame = g.DEFAULT_NUMFRAMES - 1;
            else
                e.Frame = int32_t(int64_t(j) * g.DEFAULT_FRAMEGAP);
            TakePose(e, *h);
        }
    }
    return doc;
}

void TKeySession::SetKey(std::unique_ptr<TKEYFile> doc) {
    KeyFile = std::move(doc);
    SelectedEntry = 0;
}

void TKeySession::Pose(int frame) {
    if (Model && KeyFile) KeyFile->ApplyToModel(*Model, frame);
}

// ---------------------------------------------------------------------------------------------
// Selection

int TKeySession::KeyNodeIndex() const {
    return KeyFile ? KeyFile->NodeOfJoint(SelectedNode) : -1;
}

TKEYNode& TKeySession::SelectedKeyNode() const {
    if (!KeyFile) throw Error("No KEY document is loaded");
    const int k = KeyNodeIndex();
    if (k < 0)
        throw ListError("No node of the KEY drives model node " + std::to_string(SelectedNode));
    return KeyFile->Nodes[k];
}

int TKeySession::EntryCount() const {
    return KeyNodeIndex() >= 0 ? SelectedKeyNode().Entries.Count() : 0;
}

TKEYEntry& TKeySession::SelectedKeyEntry() const {
    return SelectedKeyNode().Entries[SelectedEntry];
}

void TKeySession::SelectNode(int row) {
    SelectedNode = row;
    MarkedKeys.clear();
}

void TKeySession::SelectEntry(int index) {
    SelectedEntry = index;
    MarkedKeys.clear();
}

int TKeySession::SelectedKeyFrame() const {
    return KeyNodeIndex() >= 0 && SelectedEntry >= 0 && SelectedEntry < EntryCount()
               ? SelectedKeyEntry().Frame
               : -1;
}

std::vector<TKeyRef> TKeySession::SelectedKeys() const {
    if (!KeyFile) return {};
    std::vector<TKeyRef> keys = ValidKeys(*KeyFile, MarkedKeys);
    if (keys.empty() && KeyNodeIndex() >= 0 && SelectedEntry >= 0 && SelectedEntry < EntryCount())
        keys.push_back({KeyNodeIndex(), SelectedEntry});
    return keys;
}

void TKeySession::ClampSelection(int count) {
    if (SelectedEntry >= count) SelectedEntry = count - 1;
}

// ---------------------------------------------------------------------------------------------
// Entry commands

void TKeySession::AutoCopy(int source) {
    TKEYEntries& entries = SelectedKeyNode().Entries;
    const TKEYEntry from = entries[source];
    const int first = SelectedEntry;
    (void)entries[first];
    const TSettings& g = Settings;
    const int last = g.AUTOCOPY_FWD ? entries.Count() - 1 : first;
    for (int i = first; i <= last; ++i) {
        TKEYEntry& to = entries[i];
        if (g.AUTOCOPY_X) to.X = from.X;
        if (g.AUTOCOPY_Y) to.Y = from.Y;
        if (g.AUTOCOPY_Z) to.Z = from.Z;
        if (g.AUTOCOPY_PCH) to.Pitch = from.Pitch;
        // The option captioned "Roll" carries the yaw, the one captioned "Yaw" the roll.
        if (g.AUTOCOPY_ROL) to.Yaw = from.Yaw;
        if (g.AUTOCOPY_YAW) to.Roll = from.Roll;
    }
    // Every entry that changed gets rates that lead to its successor, and the entry before it
    // rates that lead to it; otherwise the later entries would play with stale rates.
    for (int i = first; i <= last; ++i)
        KeyFile->UpdateEntry(KeyNodeIndex(), i);
}

void TKeySession::CopyEntry() {
    CopiedEntry = SelectedKeyNode().Entries.Get(SelectedEntry);
}

void TKeySession::CutEntry() {
    CopyEntry();
    DeleteEntry();
}

bool TKeySession::PasteEntry() {
    if (!CopiedEntry) return false;
    TKEYEntry& to = SelectedKeyEntry();
    const TKEYEntry from = *CopiedEntry; // may be the same entry
    TakePose(to, from);
    KeyFile->UpdateEntry(KeyNodeIndex(), SelectedEntry);
    return true;
}

void TKeySession::AddEntry(int frame) {
    if (KeyFile && KeyNodeIndex() < 0) {
        AddKeyNode(frame);
        return;
    }
    (void)SelectedKeyNode();
    KeyFile->AppendEntry(KeyNodeIndex());
}

void TKeySession::AddKeyNode(int frame) {
    if (!Model || SelectedNode < 0 || SelectedNode >= Model->HNodes.Count())
        throw ListError("No node of the model is selected");
    const T3DOHNode& h = Model->HNodes[SelectedNode];
    TKEYNode& node = KeyFile->Nodes.Add();
    node.NodeNumber = SelectedNode;
    node.MeshName = h.Name;
    TKEYEntry& e = node.Entries.Add();
    e.Frame = frame;
    TakePose(e, h);
    // The game's joint table must hold the new node's number.
    KeyFile->Joints = std::max(KeyFile->Joints, SelectedNode + 1);
    KeyFile->Joints = std::max(KeyFile->Joints, KeyFile->Nodes.Count());
    if (frame >= KeyFile->Frames) KeyFile->Frames = ClampFrame(int64_t(frame) + 1);
    SelectedEntry = 0;
}

void TKeySession::InsertEntry() {
    (void)SelectedKeyNode();
    KeyFile->InsertEntry(KeyNodeIndex(), SelectedEntry);
}

bool TKeySession::DeleteEntry() {
    TKEYEntries& entries = SelectedKeyNode().Entries;
    if (entries.Count() <= 1) return false;
    entries.Delete(SelectedEntry);
    if (SelectedEntry > entries.Count() - 1) SelectedEntry = entries.Count() - 1;
    KeyFile->UpdateEntry(KeyNodeIndex(), SelectedEntry);
    return true;
}

int TKeySession::DragEntry(TAxis axis, TDragKind kind, int dx) {
    TKEYEntry& e = SelectedKeyEntry();
    if (kind == TDragKind::Move) {
        const double step = dx * Settings.MOVE_STEP;
        if (axis == TAxis::X) e.X += step;
        if (axis == TAxis::Y) e.Y += step;
        if (axis == TAxis::Z) e.Z += step;
    } else {
        // x turns the pitch, y the roll, z the yaw.
        if (axis == TAxis::X) e.Pitch = NormalizeAngle(e.Pitch + dx);
        if (axis == TAxis::Y) e.Roll = NormalizeAngle(e.Roll + dx);
        if (axis == TAxis::Z) e.Yaw = NormalizeAngle(e.Yaw + dx);
    }
    KeyFile->UpdateEntry(KeyNodeIndex(), SelectedEntry);
    return e.Frame;
}

// ---------------------------------------------------------------------------------------------
// Rules

std::string TKeySession::ProjectDirOf(const std::string& modelPath) {
    if (IsContainerPath(modelPath)) return {};
    std::string dir = PathDir(modelPath);
    if (dir.empty()) return dir;
    std::string parent = dir.substr(0, dir.size() - 1);
    if (SameText(PathName(parent), "3do")) return PathDir(parent);
    return dir;
}

std::string TKeySession::AbsolutePath(const std::string& path) {
    if (path.empty()) return path;
    const size_t gt = path.find('>');
    const std::string disk = gt == std::string::npos ? path : path.substr(0, gt);
    const std::string rest = gt == std::string::npos ? std::string() : path.substr(gt);
    // A bare name (no folder) is a resource name for the search; a container always has a
    // place on disk, even when named without a folder.
    if (gt == std::string::npos && PathDir(disk).empty()) return path;
    std::error_code ec;
    std::filesystem::path p = std::filesystem::absolute(std::filesystem::path(disk), ec);
    if (ec) return path;
    return p.lexically_normal().string() + rest;
}

void TKeySession::AddRecent(std::array<std::string, kRecentCount>& list, const std::string& path) {
    int p = kRecentCount;
    for (int i = 0; i < kRecentCount; ++i)
        if (list[size_t(i)] == path) {
            p = i;
            break;
        }
    if (p > 0) {
        if (p == kRecentCount) p = kRecentCount - 1;
        for (int i = p; i > 0; --i)
            list[size_t(i)] = list[size_t(i - 1)];
    }
    list[0] = path;
}

} // namespace vorlin
