#include "edit/key_document.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <unordered_map>

#include "key/key_check.h"
#include "support/FileOperations.h"
#include "support/misc_utils.h"

namespace vorlin {

// ---------------------------------------------------------------------------------------------
// Observers

int TKeyDocument::Observe(TObserver observer) {
    observers_.emplace_back(nextObserver_, std::move(observer));
    return nextObserver_++;
}

void TKeyDocument::Forget(int id) {
    std::erase_if(observers_, [id](const auto& o) { return o.first == id; });
}

void TKeyDocument::Changed(unsigned what, const std::vector<int>& nodes) {
    if (what == 0) return;
    if (what & chKeys) {
        if (nodes.empty()) pendingAll_ = true;
        pending_.Nodes.insert(pending_.Nodes.end(), nodes.begin(), nodes.end());
    }
    pending_.What |= what;
    if (running_ == 0) Flush();
}

void TKeyDocument::Flush() {
    if (pending_.What == 0) return;
    TDocumentChange change = std::move(pending_);
    pending_ = {};
    if (pendingAll_ || !(change.What & chKeys)) {
        change.Nodes.clear();
    } else {
        std::sort(change.Nodes.begin(), change.Nodes.end());
        change.Nodes.erase(std::unique(change.Nodes.begin(), change.Nodes.end()),
                           change.Nodes.end());
    }
    pendingAll_ = false;
    // Keys changed under the frame on show: the model shows them at once.
    if (change.What & (chKeys | chHeader)) Pose(frame_);
    // An observer may come or go while being told.
    const auto observers = observers_;
    for (const auto& [id, observer] : observers)
        if (std::any_of(observers_.begin(), observers_.end(),
                        [id = id](const auto& o) { return o.first == id; }))
            observer(change);
}

// ---------------------------------------------------------------------------------------------
// Loading

double TKeyDocument::LoadModel(const std::string& name) {
    auto model = std::make_unique<T3DO>(name, 0);
    // The file really read (a bare name is found by the search), kept absolute.
    model->FileName = AbsolutePath(model->FileName);
    Model = std::move(model);
    node_ = 0;
    ProjectDir = ProjectDirOf(Model->FileName);
    FloorHeight = Model->LowestPoint();
    if (KeyFile) {
        frame_ = 0;
        Pose(0);
    }
    Changed(chModel | chSelection | chFrame);
    return 10 * Model->Radius() + 3;
}

void TKeyDocument::LoadKey(const std::string& name) {
    SetKey(LoadKeyReported(name));
}

std::unique_ptr<TKEYFile> TKeyDocument::BuildNewKey() const {
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

void TKeyDocument::SetKey(std::unique_ptr<TKEYFile> doc, TOrigin origin) {
    KeyFile = std::move(doc);
    open_.reset();
    history_.Clear();
    picked_.clear();
    points_.clear();
    markers_.clear();
    range_.reset();
    entry_ = 0;
    frame_ = 0;
    playing_ = false;
    onDisk_ = origin == TOrigin::File;
    stamp_.reset();
    if (origin == TOrigin::File) RememberStamp();
    Pose(0);
    Changed(chDocument | chKeys | chHeader | chMarkers | chSelection | chPicks | chFrame | chMode |
            chHistory | chFile | chRange);
}

// ---------------------------------------------------------------------------------------------
// The frame and the mode

int TKeyDocument::LastFrame() const {
    return KeyFile && KeyFile->Frames > 0 ? KeyFile->Frames - 1 : 0;
}

void TKeyDocument::SetFrame(int frame) {
    frame_ = std::clamp(frame, 0, LastFrame());
    Pose(frame_);
    Changed(chFrame);
}

void TKeyDocument::Pose(int frame) {
    if (Model && KeyFile) KeyFile->ApplyToModel(*Model, frame);
}

void TKeyDocument::SetPlaying(bool playing) {
    playing = playing && KeyFile;
    if (playing == playing_) return;
    playing_ = playing;
    Changed(chMode);
}

void TKeyDocument::Hold() {
    if (held_++ == 0) Changed(chMode);
}

void TKeyDocument::Release() {
    if (held_ > 0 && --held_ == 0) Changed(chMode);
}

// ---------------------------------------------------------------------------------------------
// Selection

int TKeyDocument::KeyNodeIndex() const {
    return KeyFile ? KeyFile->NodeOfJoint(node_) : -1;
}

TKEYNode& TKeyDocument::SelectedKeyNode() const {
    if (!KeyFile) throw Error("No KEY document is loaded");
    const int k = KeyNodeIndex();
    if (k < 0) throw ListError("No node of the KEY drives model node " + std::to_string(node_));
    return KeyFile->Nodes[k];
}

int TKeyDocument::EntryCount() const {
    return KeyNodeIndex() >= 0 ? SelectedKeyNode().Entries.Count() : 0;
}

TKEYEntry& TKeyDocument::SelectedKeyEntry() const {
    return SelectedKeyNode().Entries[entry_];
}

int TKeyDocument::SelectedKeyFrame() const {
    return KeyNodeIndex() >= 0 && entry_ >= 0 && entry_ < EntryCount() ? SelectedKeyEntry().Frame
                                                                       : -1;
}

bool TKeyDocument::Select(int node, int entry) {
    if (open_) return false;
    node_ = node;
    const int count = EntryCount();
    entry_ = count == 0 ? -1 : std::clamp(entry, 0, count - 1);
    picked_.clear();
    markers_.clear();
    Changed(chSelection | chPicks);
    return true;
}

bool TKeyDocument::PickNode(int row) {
    int entry = entry_;
    // The frame on show stays: the node's entry that poses it there is the one selected (the
    // same entry number on another node is usually at another frame).
    if (const int k = KeyFile ? KeyFile->NodeOfJoint(row) : -1;
        k >= 0 && !KeyFile->Nodes[k].Entries.Empty())
        entry = KeyFile->EntryForFrame(k, frame_);
    return Select(row, entry);
}

bool TKeyDocument::PickEntry(int entry) {
    if (!Select(node_, entry)) return false;
    if (entry_ >= 0) SetFrame(SelectedKeyEntry().Frame);
    return true;
}

// ---------------------------------------------------------------------------------------------
// Picks

std::vector<TKeyRef> TKeyDocument::Resolve(const std::vector<TPick>& picks) const {
    std::vector<TKeyRef> out(picks.size(), TKeyRef{-1, -1});
    if (!KeyFile || picks.empty()) return out;
    const TKEYNodes& nodes = KeyFile->Nodes;
    // Each node's entries by object, made for the nodes the picks were on (and for every node
    // once a pick is not found there: a mirror moves entries between nodes).
    std::unordered_map<const TKEYEntry*, TKeyRef> where;
    std::vector<char> mapped(size_t(nodes.Count()), 0);
    auto map = [&](int n) {
        if (n < 0 || n >= nodes.Count() || mapped[size_t(n)]) return;
        mapped[size_t(n)] = 1;
        const TKEYEntries& entries = nodes[n].Entries;
        for (int i = 0; i < entries.Count(); ++i)
            where.emplace(entries.Get(i).get(), TKeyRef{n, i});
    };
    for (const TPick& p : picks)
        map(p.Node);
    bool everywhere = false;
    for (size_t k = 0; k < picks.size(); ++k) {
        auto at = where.find(picks[k].Entry.get());
        if (at == where.end() && !everywhere) {
            everywhere = true;
            for (int n = 0; n < nodes.Count(); ++n)
                map(n);
            at = where.find(picks[k].Entry.get());
        }
        if (at != where.end()) out[k] = at->second; // else its entry left the document
    }
    return out;
}

std::vector<TKeyRef> TKeyDocument::PickedKeys() const {
    std::vector<TKeyRef> keys = Resolve(picked_);
    std::erase_if(keys, [](const TKeyRef& k) { return k.node < 0; });
    if (!std::is_sorted(keys.begin(), keys.end())) std::sort(keys.begin(), keys.end());
    keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
    return keys;
}

void TKeyDocument::SetPickedKeys(const std::vector<TKeyRef>& keys) {
    picked_.clear();
    if (KeyFile)
        for (const TKeyRef& k : ValidKeys(*KeyFile, keys))
            picked_.push_back({k.node, KeyFile->Nodes[k.node].Entries.Get(k.entry)});
    if (!picked_.empty()) markers_.clear();
    Changed(chPicks);
}

std::vector<int> TKeyDocument::PickedMarkers() const {
    std::vector<int> markers = markers_;
    const int count = KeyFile ? KeyFile->Markers.Count() : 0;
    std::erase_if(markers, [&](int m) { return m < 0 || m >= count; });
    return markers;
}

void TKeyDocument::SetPickedMarkers(std::vector<int> markers) {
    std::sort(markers.begin(), markers.end());
    markers.erase(std::unique(markers.begin(), markers.end()), markers.end());
    markers_ = std::move(markers);
    Changed(chPicks);
}

void TKeyDocument::SetPreviewRange(std::optional<TFrameRange> range) {
    if (range) range = RangeBetween(range->First, range->Last, LastFrame());
    if (range == range_) return;
    range_ = range;
    Changed(chRange);
}

TFrameRange TKeyDocument::PlayRange() const {
    // FRAMES may have shrunk since the range was set: what is left of it.
    if (range_)
        if (auto left = RangeBetween(range_->First, range_->Last, LastFrame())) return *left;
    return {0, LastFrame()};
}

std::vector<TKeyRef> TKeyDocument::SelectedKeys() const {
    if (!KeyFile) return {};
    std::vector<TKeyRef> keys = PickedKeys();
    if (keys.empty() && KeyNodeIndex() >= 0 && entry_ >= 0 && entry_ < EntryCount())
        keys.push_back({KeyNodeIndex(), entry_});
    return keys;
}

std::vector<TCurveKey> TKeyDocument::PickedPoints(int node) const {
    std::vector<TCurveKey> out;
    const std::vector<TKeyRef> at = Resolve(points_);
    for (size_t k = 0; k < at.size(); ++k)
        if (at[k].node == node) out.push_back({at[k].entry, points_[k].Channel});
    return out;
}

void TKeyDocument::SetPickedPoints(int node, const std::vector<TCurveKey>& points) {
    if (!KeyFile || node < 0 || node >= KeyFile->Nodes.Count()) return;
    // The node's own picks are replaced (and those whose entry left); every other node keeps
    // its own.
    const std::vector<TKeyRef> at = Resolve(points_);
    std::vector<TPick> kept;
    for (size_t k = 0; k < at.size(); ++k)
        if (at[k].node >= 0 && at[k].node != node) kept.push_back(points_[k]);
    const TKEYEntries& entries = KeyFile->Nodes[node].Entries;
    for (const TCurveKey& c : points)
        if (c.entry >= 0 && c.entry < entries.Count())
            kept.push_back({node, entries.Get(c.entry), c.channel});
    points_ = std::move(kept);
    Changed(chPicks);
}

// ---------------------------------------------------------------------------------------------
// The file

void TKeyDocument::RememberStamp() {
    stamp_ = KeyFile ? TFileStamp::Of(KeyFile->FullName) : std::nullopt;
    Changed(chFile);
}

bool TKeyDocument::Modified() const {
    if (!KeyFile) return false;
    if (EditedHere()) return true;
    // The file is gone or another program wrote it: only this document holds this version.
    return stamp_ && TFileStamp::Of(KeyFile->FullName) != stamp_;
}

void TKeyDocument::Saved() {
    history_.SetClean();
    onDisk_ = true;
    RememberStamp();
    Changed(chHistory | chFile);
}

void TKeyDocument::LeftFile() {
    onDisk_ = false;
    Changed(chHistory | chFile);
}

// ---------------------------------------------------------------------------------------------
// Steps

std::unique_ptr<TKeyChange> TKeyDocument::StartChange(const std::vector<int>& nodes) {
    auto change = std::make_unique<TKeyChange>();
    change->NodeBefore = node_;
    change->EntryBefore = entry_;
    change->Begin(*KeyFile, nodes);
    return change;
}

void TKeyDocument::FinishChange(std::unique_ptr<TKeyChange> change, const std::string& name) {
    change->End(*KeyFile);
    change->NodeAfter = node_;
    change->EntryAfter = entry_;
    if (change->Empty()) return;
    unsigned what = chHistory;
    if (change->HeaderChanged()) what |= chHeader;
    if (change->MarkersChanged()) what |= chMarkers;
    const std::vector<int> nodes =
        change->NodesChanged() ? std::vector<int>() : change->ChangedNodes();
    if (change->NodesChanged() || !nodes.empty()) what |= chKeys;
    history_.Push(name, std::move(change));
    Changed(what, nodes);
}

bool TKeyDocument::Run(const std::string& name, const std::vector<int>& nodes,
                       const std::function<void()>& body) {
    if (!KeyFile || (open_ && running_ == 0)) return false;
    if (running_ > 0) { // part of the step under way (Delete inside Cut)
        body();
        return true;
    }
    const TKEYFile* doc = KeyFile.get();
    std::unique_ptr<TKeyChange> change = StartChange(nodes);
    auto finish = [&] {
        // Another document has nothing to take back.
        if (KeyFile.get() == doc) FinishChange(std::move(change), name);
        --running_;
        Flush();
    };
    ++running_;
    try {
        body();
    } catch (...) {
        finish(); // what was done before the error can be undone as well
        throw;
    }
    finish();
    return true;
}

bool TKeyDocument::Begin(const std::string& name, const std::vector<int>& nodes) {
    if (!CanEdit()) return false;
    open_ = StartChange(nodes);
    openName_ = name;
    Changed(chHistory); // undo waits
    return true;
}

void TKeyDocument::Commit() {
    if (!open_) return;
    std::unique_ptr<TKeyChange> change = std::move(open_);
    FinishChange(std::move(change), openName_);
    Changed(chHistory);
}

void TKeyDocument::Rollback() {
    if (!open_) return;
    std::unique_ptr<TKeyChange> change = std::move(open_);
    change->End(*KeyFile);
    change->Undo(*KeyFile);
    // A drag that keyed as it began selected its key: the selection it began with comes back.
    unsigned selection = 0;
    if (node_ != change->NodeBefore || entry_ != change->EntryBefore) {
        node_ = change->NodeBefore;
        entry_ = change->EntryBefore;
        picked_.clear();
        selection = chSelection | chPicks;
    }
    Pose(frame_);
    Changed(chHistory | chKeys | chHeader | chMarkers | selection, change->ChangedNodes());
}

bool TKeyDocument::SelectInDrag(int entry) {
    if (!open_ || entry < 0 || entry >= EntryCount()) return false;
    entry_ = entry;
    picked_.clear();
    markers_.clear();
    Changed(chSelection | chPicks);
    return true;
}

bool TKeyDocument::Undo() {
    if (!KeyFile || open_ || running_ > 0) return false;
    const TKeyChange* change = history_.Undo(*KeyFile);
    if (!change) return false;
    AfterHistory(*change, change->NodeBefore, change->EntryBefore);
    return true;
}

bool TKeyDocument::Redo() {
    if (!KeyFile || open_ || running_ > 0) return false;
    const TKeyChange* change = history_.Redo(*KeyFile);
    if (!change) return false;
    AfterHistory(*change, change->NodeAfter, change->EntryAfter);
    return true;
}

void TKeyDocument::AfterHistory(const TKeyChange& change, int node, int entry) {
    SetPlaying(false);
    Select(node, entry);
    const std::vector<TKeyRef> keys = change.ChangedKeys(*KeyFile);
    picked_.clear();
    for (const TKeyRef& k : keys)
        picked_.push_back({k.node, KeyFile->Nodes[k.node].Entries.Get(k.entry)});
    // FRAMES may have changed: the frame on show stays within it.
    frame_ = std::clamp(frame_, 0, LastFrame());
    Pose(frame_);
    Changed(chKeys | chHeader | chMarkers | chPicks | chFrame | chHistory,
            change.NodesChanged() ? std::vector<int>() : change.ChangedNodes());
}

// ---------------------------------------------------------------------------------------------
// Entry commands

void TKeyDocument::AutoCopy(int source) {
    TKEYEntries& entries = SelectedKeyNode().Entries;
    const TKEYEntry from = entries[source];
    const int first = entry_;
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

void TKeyDocument::CopyEntry() {
    CopiedEntry = SelectedKeyNode().Entries.Get(entry_);
}

void TKeyDocument::CutEntry() {
    CopyEntry();
    DeleteEntry();
}

bool TKeyDocument::PasteEntry() {
    if (!CopiedEntry) return false;
    TKEYEntry& to = SelectedKeyEntry();
    const TKEYEntry from = *CopiedEntry; // may be the same entry
    TakePose(to, from);
    KeyFile->UpdateEntry(KeyNodeIndex(), entry_);
    return true;
}

void TKeyDocument::AddEntry(int frame) {
    if (KeyFile && KeyNodeIndex() < 0) {
        AddKeyNode(frame);
        return;
    }
    (void)SelectedKeyNode();
    KeyFile->AppendEntry(KeyNodeIndex());
}

void TKeyDocument::AddKeyNode(int frame) {
    if (!Model || node_ < 0 || node_ >= Model->HNodes.Count())
        throw ListError("No node of the model is selected");
    const T3DOHNode& h = Model->HNodes[node_];
    TKEYNode& node = KeyFile->Nodes.Add();
    node.NodeNumber = node_;
    node.MeshName = h.Name;
    TKEYEntry& e = node.Entries.Add();
    e.Frame = frame;
    TakePose(e, h);
    // The game's joint table must hold the new node's number.
    KeyFile->Joints = std::max(KeyFile->Joints, node_ + 1);
    KeyFile->Joints = std::max(KeyFile->Joints, KeyFile->Nodes.Count());
    if (frame >= KeyFile->Frames) KeyFile->Frames = ClampFrame(int64_t(frame) + 1);
    entry_ = 0;
    Changed(chSelection);
}

void TKeyDocument::InsertEntry() {
    (void)SelectedKeyNode();
    KeyFile->InsertEntry(KeyNodeIndex(), entry_);
}

bool TKeyDocument::DeleteEntry() {
    TKEYEntries& entries = SelectedKeyNode().Entries;
    if (entries.Count() <= 1) return false;
    entries.Delete(entry_);
    if (entry_ > entries.Count() - 1) entry_ = entries.Count() - 1;
    KeyFile->UpdateEntry(KeyNodeIndex(), entry_);
    Changed(chSelection);
    return true;
}

int TKeyDocument::DragEntry(TAxis axis, TDragKind kind, int dx) {
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
    KeyFile->UpdateEntry(KeyNodeIndex(), entry_);
    Changed(chKeys, {KeyNodeIndex()});
    return e.Frame;
}

// ---------------------------------------------------------------------------------------------
// Rules

std::string TKeyDocument::ProjectDirOf(const std::string& modelPath) {
    if (IsContainerPath(modelPath)) return {};
    std::string dir = PathDir(modelPath);
    if (dir.empty()) return dir;
    std::string parent = dir.substr(0, dir.size() - 1);
    if (SameText(PathName(parent), "3do")) return PathDir(parent);
    return dir;
}

std::string TKeyDocument::AbsolutePath(const std::string& path) {
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

void TKeyDocument::AddRecent(std::array<std::string, kRecentCount>& list, const std::string& path) {
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
