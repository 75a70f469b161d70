#include "edit/marker_edit.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "edit/markers.h"
#include "key/key_check.h"
#include "support/misc_utils.h"

namespace vorlin {

std::optional<int> MarkerAt(const TKEYMarkers& markers, const TTimelineLayout& layout, double x,
                            double radius) {
    std::optional<int> best;
    double nearest = radius;
    for (int i = 0; i < markers.Count(); ++i) {
        const double d = std::abs(layout.X(markers[i].Frame) - x);
        if (d <= nearest) {
            nearest = d;
            best = i;
        }
    }
    return best;
}

int MarkerPlace(const TKEYMarkers& markers, double frame) {
    int place = 0;
    for (int i = 0; i < markers.Count(); ++i)
        if (markers[i].Frame <= frame) place = i + 1;
    return place;
}

std::optional<int32_t> NearestKeyFrame(const TKEYFile& doc, double frame) {
    std::optional<int32_t> best;
    for (const auto& node : doc.Nodes)
        for (const auto& e : node->Entries)
            if (!best || std::abs(e->Frame - frame) < std::abs(*best - frame)) best = e->Frame;
    return best;
}

TMarkerMove::TMarkerMove(const TKEYFile& doc, std::vector<int> markers) {
    std::sort(markers.begin(), markers.end());
    markers.erase(std::unique(markers.begin(), markers.end()), markers.end());
    std::erase_if(markers, [&](int m) { return m < 0 || m >= doc.Markers.Count(); });
    markers_ = std::move(markers);
    const double last = std::max(doc.Frames - 1, 0);
    lo_ = INT32_MIN;
    hi_ = INT32_MAX;
    for (int m : markers_) {
        const double from = doc.Markers[m].Frame;
        from_.push_back(from);
        // A marker already outside the animation does not stop the others: it may stay.
        lo_ = std::max(lo_, int(std::clamp(std::min(0.0, std::ceil(-from)), -2e9, 0.0)));
        hi_ = std::min(hi_, int(std::clamp(std::max(0.0, std::floor(last - from)), 0.0, 2e9)));
    }
}

int TMarkerMove::Clamp(int delta) const {
    return markers_.empty() ? 0 : std::clamp(delta, lo_, hi_);
}

int TMarkerMove::Apply(TKEYFile& doc, int delta) const {
    delta = Clamp(delta);
    for (size_t i = 0; i < markers_.size(); ++i)
        if (markers_[i] < doc.Markers.Count()) doc.Markers[markers_[i]].Frame = from_[i] + delta;
    return delta;
}

std::vector<TKeyRef> KeysOnFramesOf(const TKEYFile& doc, const std::vector<TKeyRef>& keys) {
    std::vector<int32_t> frames;
    for (const TKeyRef& k : ValidKeys(doc, keys))
        frames.push_back(doc.Nodes[k.node].Entries[k.entry].Frame);
    std::sort(frames.begin(), frames.end());
    std::vector<TKeyRef> out;
    for (const TKeyRef& k : AllKeys(doc))
        if (std::binary_search(frames.begin(), frames.end(),
                               doc.Nodes[k.node].Entries[k.entry].Frame))
            out.push_back(k);
    return out;
}

std::vector<TKeyRef> KeysBetween(const TKEYFile& doc, double a, double b) {
    if (a > b) std::swap(a, b);
    std::vector<TKeyRef> out;
    for (const TKeyRef& k : AllKeys(doc)) {
        const int32_t f = doc.Nodes[k.node].Entries[k.entry].Frame;
        if (f >= a && f <= b) out.push_back(k);
    }
    return out;
}

namespace {

bool IsRangeOf(const std::string& item, const std::string& path) {
    return item.size() > path.size() && item.compare(0, path.size(), path) == 0 &&
           item[path.size()] == '\t';
}

} // namespace

std::optional<TFrameRange> StoredPreviewRange(const std::vector<std::string>& list,
                                              const std::string& path) {
    for (const std::string& item : list) {
        if (!IsRangeOf(item, path)) continue;
        const char* p = item.data() + path.size() + 1;
        const char* end = item.data() + item.size();
        TFrameRange r;
        auto [q, ec] = std::from_chars(p, end, r.First);
        if (ec != std::errc() || q == end || *q != '\t') return std::nullopt;
        auto [e, ec2] = std::from_chars(q + 1, end, r.Last);
        if (ec2 != std::errc() || e != end || r.First < 0 || r.Last <= r.First) return std::nullopt;
        return r;
    }
    return std::nullopt;
}

void StorePreviewRange(std::vector<std::string>& list, const std::string& path,
                       const std::optional<TFrameRange>& range, size_t most) {
    std::erase_if(list, [&](const std::string& item) { return IsRangeOf(item, path); });
    if (path.empty() || !range) return;
    list.insert(list.begin(),
                path + '\t' + std::to_string(range->First) + '\t' + std::to_string(range->Last));
    if (list.size() > most) list.resize(most);
}

std::string MarkerTypeName(int type) {
    const std::string item = MarkerTypeItem(type);
    return item.empty() ? MarkerGridName(type) : item;
}

int MarkerTypeToAdd(int type) {
    return type >= 1 && type < kMarkerTypeCount ? type : 1;
}

std::string MarkerLimitText() {
    return "The game takes at most " + std::to_string(kMaxMarkers) +
           " markers: delete one before adding another";
}

TCommandResult AddMarkerCommand(TKeyDocument& doc, double frame, int type) {
    if (!doc.KeyFile || doc.Editing()) return {};
    TKEYMarkers& list = doc.KeyFile->Markers;
    if (list.Count() >= kMaxMarkers) return {false, MarkerLimitText()};
    const int place = MarkerPlace(list, frame);
    const bool done = doc.Run("Add Marker", {}, [&] {
        list.Insert(place, std::make_shared<TKEYMarker>(TKEYMarker{frame, type}));
    });
    if (!done) return {};
    doc.SetPickedMarkers({place});
    return {true, MarkerTypeName(type) + " marker at frame " + GeneralFloat(frame)};
}

TCommandResult DeleteMarkersCommand(TKeyDocument& doc) {
    const std::vector<int> picked = doc.PickedMarkers();
    if (!doc.KeyFile || picked.empty() || doc.Editing()) return {};
    const bool done = doc.Run(picked.size() == 1 ? "Delete Marker" : "Delete Markers", {}, [&] {
        for (auto m = picked.rbegin(); m != picked.rend(); ++m)
            doc.KeyFile->Markers.Delete(*m);
    });
    if (!done) return {};
    doc.SetPickedMarkers({});
    return {true, picked.size() == 1 ? "1 marker deleted"
                                     : std::to_string(picked.size()) + " markers deleted"};
}

TCommandResult SetMarkerTypeCommand(TKeyDocument& doc, int marker, int type) {
    if (!doc.KeyFile || doc.Editing() || marker < 0 || marker >= doc.KeyFile->Markers.Count() ||
        doc.KeyFile->Markers[marker].MarkerType == type)
        return {};
    const bool done =
        doc.Run("Change Marker Type", {}, [&] { doc.KeyFile->Markers[marker].MarkerType = type; });
    if (!done) return {};
    doc.SetPickedMarkers({marker});
    return {true, "Marker at frame " + GeneralFloat(doc.KeyFile->Markers[marker].Frame) + ": " +
                      MarkerTypeName(type)};
}

TCommandResult PickBetweenMarkersCommand(TKeyDocument& doc) {
    const std::vector<int> picked = doc.PickedMarkers();
    if (!doc.KeyFile || doc.Editing()) return {};
    if (picked.size() != 2)
        return {false, "Pick two markers (Shift+click the second) to pick the keys between them"};
    const TKEYMarkers& m = doc.KeyFile->Markers;
    const std::vector<TKeyRef> keys =
        KeysBetween(*doc.KeyFile, m[picked[0]].Frame, m[picked[1]].Frame);
    doc.SetPickedKeys(keys);
    return {false,
            keys.size() == 1 ? "1 key picked" : std::to_string(keys.size()) + " keys picked"};
}

} // namespace vorlin
