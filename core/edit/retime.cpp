#include "edit/retime.h"

#include "support/misc_utils.h"

namespace vorlin {

TFrameCheck CheckFrameCell(const std::string& text, std::optional<int32_t> previous) {
    TFrameCheck c;
    if (!ValInt(text, c.value)) c.problems.push_back("Frame is not a whole number.");
    if (c.value < 0) c.problems.push_back("Frame number cannot be less than zero.");
    if (previous) {
        if (*previous >= c.value) c.problems.push_back("Frame numbers must be increasing.");
    } else if (c.value != 0) {
        c.problems.push_back("First entry must be at frame zero.");
    }
    return c;
}

std::optional<std::string> CheckLastFrame(const std::string& text, int32_t& value) {
    if (!ValInt(text, value)) return "Last frame is not a whole number.";
    if (value < 0) return "Last frame cannot be less than zero.";
    return std::nullopt;
}

std::optional<std::string> CheckFrameRate(const std::string& text, int32_t& value) {
    if (!ValInt(text, value)) return "Frame rate is not a whole number.";
    if (value <= 0) return "Frame rate cannot be less than 1.";
    return std::nullopt;
}

std::optional<std::string> CheckGap(const std::string& text, int32_t frames, int32_t& value) {
    if (!ValInt(text, value)) return "Entry gap is not a whole number.";
    if (value > frames) return "Entry gap is more than total number of frames.";
    if (value <= 0) return "Entry gap cannot be less than one frame.";
    return std::nullopt;
}

std::optional<std::string> CheckShift(const std::string& text, int32_t& value) {
    if (!ValInt(text, value)) return "Shift value is not a whole number of frames.";
    return std::nullopt;
}

int TargetCount(int32_t lastFrame, int32_t gap, uint32_t flags) {
    if (gap <= 0) return 1;
    int64_t n = int64_t(lastFrame) / gap + 1;
    if (flags == 0 && lastFrame % gap != 0) ++n;
    return n > INT32_MAX ? INT32_MAX : int(n);
}

void FitNode(TKEYFile& doc, int node, int count) {
    TKEYEntries& entries = doc.Nodes[node].Entries;
    if (count < 1) count = 1;
    while (entries.Count() > count)
        entries.Delete(entries.Count() - 1);
    while (entries.Count() < count)
        doc.AppendEntry(node);
}

void Respace(TKEYFile& doc, int node, int k, int32_t gap) {
    TKEYEntries& entries = doc.Nodes[node].Entries;
    for (int i = k < 0 ? 1 : k + 1; i < entries.Count(); ++i)
        entries[i].Frame = ClampFrame(int64_t(entries[i - 1].Frame) + gap);
}

void ShiftRow(TKEYFile& doc, int node, int k, int32_t shift) {
    TKEYEntries& entries = doc.Nodes[node].Entries;
    if (shift == 0 || k >= entries.Count()) return;
    for (int i = k < 0 ? 0 : k; i < entries.Count(); ++i) {
        TKEYEntry& e = entries[i];
        if (i == 0) {
            e.Frame = 0;
            continue;
        }
        const int32_t f = ClampFrame(int64_t(e.Frame) + shift);
        e.Frame = f < 0 ? 0 : f;
    }
}

void ApplyFrameToEntry(TKEYFile& doc, int k, int32_t frame) {
    for (const auto& node : doc.Nodes)
        node->Entries[k].Frame = frame;
}

int32_t HighestFrame(const TKEYFile& doc) {
    bool any = false;
    int32_t highest = 0;
    for (const auto& node : doc.Nodes)
        for (const auto& e : node->Entries) {
            if (!any || e->Frame > highest) highest = e->Frame;
            any = true;
        }
    return highest;
}

void AddEndingEntries(TKEYFile& doc) {
    const int32_t last = ClampFrame(int64_t(doc.Frames) - 1);
    for (int n = 0; n < doc.Nodes.Count(); ++n) {
        TKEYEntries& entries = doc.Nodes[n].Entries;
        if (entries.Empty() || entries.Last().Frame >= last) continue;
        doc.AppendEntry(n);
        entries.Last().Frame = last;
    }
}

void DeleteEndingEntries(TKEYFile& doc) {
    const int32_t last = ClampFrame(int64_t(doc.Frames) - 1);
    for (const auto& node : doc.Nodes) {
        TKEYEntries& entries = node->Entries;
        if (entries.Count() > 1 && entries.Last().Frame == last)
            entries.Delete(entries.Count() - 1);
    }
}

bool TakeRetimed(TKEYFile& doc, const TKEYFile& copy) {
    if (copy.Nodes.Count() != doc.Nodes.Count()) return false;
    for (int n = 0; n < doc.Nodes.Count(); ++n)
        if (copy.Nodes[n].MeshName != doc.Nodes[n].MeshName) return false;
    doc.SetHeader(copy.Header());
    doc.Markers.SetItems(copy.Markers.Items());
    // The retiming keeps each entry's place (entries only come or go at a node's end), so the
    // node's own entries take the new values: an entry remembered for pasting stays the one
    // in the node.
    for (int n = 0; n < doc.Nodes.Count(); ++n) {
        std::vector<std::shared_ptr<TKEYEntry>> entries = doc.Nodes[n].Entries.Items();
        const auto& retimed = copy.Nodes[n].Entries.Items();
        entries.resize(std::min(entries.size(), retimed.size()));
        for (size_t i = 0; i < retimed.size(); ++i)
            if (i < entries.size())
                *entries[i] = *retimed[i];
            else
                entries.push_back(std::make_shared<TKEYEntry>(*retimed[i]));
        doc.Nodes[n].Entries.SetItems(std::move(entries));
    }
    return true;
}

std::string PlayTimeText(int32_t frames, double fps) {
    const double seconds = fps != 0 ? double(frames) / fps : 0.0;
    return "Time = " + GeneralFloat(seconds).substr(0, 6) + " sec";
}

} // namespace vorlin
