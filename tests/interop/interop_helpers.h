// What the interop tests share: the sample's files, a BVH written from a table, and the world
// places of a model's nodes and of a motion's bones.
#pragma once

#include <string>
#include <vector>

#include "interop/motion.h"
#include "model/u_3dos.h"

namespace vorlin::test {

std::string SamplePath(const std::string& relative);

// A BVH bone: its offset from its parent, its parent's index (-1 for the root) and whether it
// is an End Site.
struct TBvhBone {
    std::string Name;
    int Parent;
    double X, Y, Z;
    bool End = false;
};
// The BVH text: the root has six channels (Xposition Yposition Zposition Zrotation Xrotation
// Yrotation), every other joint three; frames[f] lists the channels' values in that order.
std::string BvhText(const std::vector<TBvhBone>& bones,
                    const std::vector<std::vector<double>>& frames, double frameTime);

// A small humanoid in a T-pose, Y up, facing +Z (left at +X), as motion capture stands, and the
// number of channels a frame of it has.
std::vector<TBvhBone> TestSkeleton();
int ChannelCount(const std::vector<TBvhBone>& bones);

// The angle in degrees between two directions.
double AngleBetween(const TVec3& a, const TVec3& b);

// World transforms of a model's nodes as the KEY poses it at a frame.
std::vector<TXform> PosedWorld(const T3DO& model, const TKEYFile& key, int frame);
// The world direction of model node n: towards the node named `towards`, or along its mesh.
TVec3 NodeDirection(const T3DO& model, const std::vector<TXform>& world, int n,
                    const std::string& towards = {});
int NodeIndex(const T3DO& model, const std::string& name);
int BoneIndex(const TMotion& motion, const std::string& name);

} // namespace vorlin::test
