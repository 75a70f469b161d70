// TKEYFile's rates, entry editing and posing a model (reading and writing its text, and
// whether it differs from its file, are in u_key.cpp).
#include <algorithm>
#include <cmath>
#include <string>

#include "key/u_key.h"
#include "model/u_3dos.h"
#include "settings/GlobalVars.h"
#include "support/errors.h"
#include "support/misc_utils.h"

namespace vorlin {

// ---------------------------------------------------------------------------------------------
// Editing operations

int32_t ClampFrame(int64_t frame) {
    if (frame > INT32_MAX) return INT32_MAX;
    if (frame < INT32_MIN) return INT32_MIN;
    return int32_t(frame);
}

void TKEYFile::ComputeRates(int node, int i) {
    TKEYEntry& e = Nodes[node].Entries[i];
    e = RecalculatedEntry(node, i);
}

TKEYEntry TKEYFile::RecalculatedRates(int node, int i) const {
    const TKEYEntries& entries = Nodes[node].Entries;
    TKEYEntry e = entries[i];
    e.DX = e.DY = e.DZ = 0;
    e.DPitch = e.DYaw = e.DRoll = 0;
    int n = entries.Count();
    bool last = i == n - 1;
    if (last && !Loops()) return e;
    const TKEYEntry& s = last ? entries[0] : entries[i + 1];
    double d = last ? double(Frames) - e.Frame + s.Frame : double(s.Frame) - e.Frame;

    auto rate = [d](double to, double from) {
        double diff = to - from;
        return diff != 0 && d != 0 ? diff / d : 0.0;
    };
    e.DX = rate(s.X, e.X);
    e.DY = rate(s.Y, e.Y);
    e.DZ = rate(s.Z, e.Z);
    e.DPitch = AngleRate(d, s.Pitch, e.Pitch);
    e.DYaw = AngleRate(d, s.Yaw, e.Yaw);
    e.DRoll = AngleRate(d, s.Roll, e.Roll);
    return e;
}

TKEYEntry TKEYFile::RecalculatedEntry(int node, int i) const {
    TKEYEntry e = RecalculatedRates(node, i);
    // The last entry of an animation that does not loop has no next: rates 0, nothing else.
    if (i == Nodes[node].Entries.Count() - 1 && !Loops()) return e;
    e.X = Round8(e.X);
    e.Y = Round8(e.Y);
    e.Z = Round8(e.Z);
    e.Pitch = Round8(e.Pitch);
    e.Roll = Round8(e.Roll);
    e.Yaw = Round8(e.Yaw);

    if (e.DPitch == 0 && e.DRoll == 0 && e.DYaw == 0)
        e.Flags = 1;
    else if (e.DX == 0 && e.DY == 0 && e.DZ == 0)
        e.Flags = 2;
    else
        e.Flags = 3;
    if (e.DX == 0 && e.DY == 0 && e.DZ == 0 && e.DPitch == 0 && e.DYaw == 0 && e.DRoll == 0)
        e.Flags = 0;
    return e;
}

void TKEYFile::UpdateEntry(int node, int i) {
    ComputeRates(node, i);
    int n = Nodes[node].Entries.Count();
    if (i > 0)
        ComputeRates(node, i - 1);
    else if (Loops() && n > 0)
        ComputeRates(node, n - 1);
}

void TKEYFile::RecalcAll() {
    for (int node = 0; node < Nodes.Count(); ++node)
        for (int i = 0; i < Nodes[node].Entries.Count(); ++i)
            UpdateEntry(node, i);
}

void TKEYFile::AppendEntry(int node) {
    TKEYEntries& entries = Nodes[node].Entries;
    const TKEYEntry& last = entries[entries.Count() - 1];
    auto e = std::make_shared<TKEYEntry>();
    e->X = last.X;
    e->Y = last.Y;
    e->Z = last.Z;
    e->Pitch = last.Pitch;
    e->Yaw = last.Yaw;
    e->Roll = last.Roll;
    // At least a frame on (two keys of a node on one frame would play as one), at most to the
    // last frame a KEY holds; with no frame left there, no entry is added.
    const int32_t frame = ClampFrame(int64_t(last.Frame) + std::max(Settings.DEFAULT_FRAMEGAP, 1));
    if (frame <= last.Frame)
        throw Error("No entry can follow an entry at frame " + std::to_string(last.Frame));
    e->Frame = frame;
    entries.Add(e);
    if (e->Frame >= Frames) Frames = ClampFrame(int64_t(e->Frame) + 1);
    UpdateEntry(node, entries.Count() - 1);
}

void TKEYFile::InsertEntry(int node, int a) {
    TKEYEntries& entries = Nodes[node].Entries;
    if (!entries.Empty()) (void)entries[a]; // refuse a bad index before anything changes
    AppendEntry(node);
    int n = entries.Count();
    if (a < n - 2) {
        for (int j = n - 1; j >= a + 1; --j) {
            TKEYEntry& to = entries[j];
            const TKEYEntry& from = entries[j - 1];
            int32_t frame = to.Frame;
            to = from;
            to.Frame = frame;
        }
    }
    for (int i = a; i < n; ++i)
        UpdateEntry(node, i);
}

// ---------------------------------------------------------------------------------------------
// Posing a model

TKEYPose TKEYFile::EvaluateNode(int node, int frame) const {
    return PoseFromEntry(Nodes[node].Entries[EntryForFrame(node, frame)], frame);
}

int TKEYFile::EntryForFrame(int node, int frame, int hint) const {
    const TKEYEntries& entries = Nodes[node].Entries;
    // The first entry after the frame ends the search; the one before it poses the frame.
    int after = std::max(hint, 0);
    while (after < entries.Count() && entries[after].Frame <= frame)
        ++after;
    // Before the first entry the game carries entry 0 backwards by its rates.
    return after > 0 ? after - 1 : 0;
}

TKEYPose TKEYFile::PoseFromEntry(const TKEYEntry& e, double frame) {
    // In doubles: frames far apart (an entry at -2147483648, say) have no 32-bit difference.
    const double d = frame - double(e.Frame);
    // The game moves on only what the flags mark: bit 1 the position, bit 2 the orientation.
    const double dp = (e.Flags & 1) ? d : 0.0;
    const double dr = (e.Flags & 2) ? d : 0.0;
    TKEYPose pose;
    pose.X = dp * e.DX + e.X;
    pose.Y = dp * e.DY + e.Y;
    pose.Z = dp * e.DZ + e.Z;
    pose.Pitch = NormalizeAngle(dr * e.DPitch + e.Pitch);
    pose.Yaw = NormalizeAngle(dr * e.DYaw + e.Yaw);
    pose.Roll = NormalizeAngle(dr * e.DRoll + e.Roll);
    return pose;
}

int32_t TKEYFile::Joint(int k) const {
    return Nodes[k].NodeNumber.value_or(k);
}

int TKEYFile::NodeOfJoint(int joint) const {
    for (int k = Nodes.Count() - 1; k >= 0; --k)
        if (Joint(k) == joint) return k;
    return -1;
}

void TKEYFile::ApplyToModel(T3DO& model, int frame) const {
    const int joints = model.HNodes.Count();
    jointNode_.assign(size_t(joints), -1);
    for (int k = 0; k < Nodes.Count(); ++k) {
        const int32_t j = Joint(k);
        if (j >= 0 && j < joints) jointNode_[size_t(j)] = k; // a later node replaces an earlier
    }
    model.ResetPose();
    for (int j = 0; j < joints; ++j) {
        const int k = jointNode_[size_t(j)];
        if (k < 0 || Nodes[k].Entries.Empty()) continue; // left at rest, as the game does
        TKEYPose p = EvaluateNode(k, frame);
        model.HNodes[j].SetCurrentPose(p.X, p.Y, p.Z, p.Pitch, p.Yaw, p.Roll);
    }
    model.TransformVertices();
}

} // namespace vorlin
