// Which bone drives which model node: the names' parts and sides, and the automatic mapping of
// the usual skeletons onto the sample's.
#include <gtest/gtest.h>

#include "expect_error.h"
#include "interop/bone_map.h"

namespace vorlin {
namespace {

TEST(BoneMap, NamesGiveTheirPartAndSide) {
    struct Case {
        const char* name;
        const char* part;
        TSide side;
    };
    const Case cases[] = {
        {"l_upper_arm", "upperarm", TSide::Left},
        {"r_forearm", "forearm", TSide::Right},
        {"L_THIGH", "thigh", TSide::Left},
        {"ky_rshin", "shin", TSide::Right},
        {"LeftForeArm", "forearm", TSide::Left},
        {"RightUpLeg", "thigh", TSide::Right},
        {"LeftLeg", "shin", TSide::Left},
        {"LeftShoulder", "upperarm", TSide::Left},
        {"mixamorig:LeftArm", "upperarm", TSide::Left},
        {"Bip01 R Calf", "shin", TSide::Right},
        {"upperarm.L", "upperarm", TSide::Left},
        {"thigh_r", "thigh", TSide::Right},
        {"Left-Knee", "shin", TSide::Left},
        {"LHipJoint", "thigh", TSide::Left},
        {"lowerarm_l", "forearm", TSide::Left},
        {"RightToeBase", "toe", TSide::Right},
        {"LeftHand", "hand", TSide::Left},
        {"Hips", "hips", TSide::None},
        {"pelvis", "hips", TSide::None},
        {"root", "hips", TSide::None},
        {"torso", "spine", TSide::None},
        {"Spine1", "spine", TSide::None},
        {"LowerBack", "spine", TSide::None},
        {"chest", "spine", TSide::None},
        {"Neck", "neck", TSide::None},
        {"HEAD", "head", TSide::None},
        {"gun", "", TSide::None},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const TBoneClass got = ClassifyBone(c.name);
        EXPECT_EQ(got.Part, c.part);
        if (*c.part) {
            EXPECT_EQ(got.Side, c.side);
        }
    }
    // A name that is the word beats one that holds it among others.
    EXPECT_GT(ClassifyBone("LeftUpLeg").Score, ClassifyBone("LHipJoint").Score);
    EXPECT_GT(ClassifyBone("Spine").Score, ClassifyBone("Spine1").Score);
    EXPECT_EQ(BoneKey("mixamorig:Left_Fore-Arm"), "leftforearm");
}

const std::vector<std::string> kSampleNames = {
    "root",      "torso",   "head",   "l_upper_arm", "l_forearm", "r_upper_arm",
    "r_forearm", "l_thigh", "l_shin", "r_thigh",     "r_shin"};
const std::vector<int> kSampleParents = {-1, 0, 1, 1, 3, 1, 5, 0, 7, 0, 9};

TEST(BoneMap, UsualSkeletonsMapOntoTheSample) {
    struct Skeleton {
        const char* name;
        std::vector<std::string> bones;
        std::vector<int> parents;
        std::vector<std::string> want; // the sample's nodes in order
    };
    const Skeleton skeletons[] = {
        // CMU's captures: a collar bone named shoulder, three bones of back, hip joints.
        {"cmu",
         {"Hips",       "LHipJoint",     "LeftUpLeg", "LeftLeg",      "LeftFoot", "RHipJoint",
          "RightUpLeg", "RightLeg",      "RightFoot", "LowerBack",    "Spine",    "Spine1",
          "Neck",       "Neck1",         "Head",      "LeftShoulder", "LeftArm",  "LeftForeArm",
          "LeftHand",   "RightShoulder", "RightArm",  "RightForeArm", "RightHand"},
         {-1, 0, 1, 2, 3, 0, 5, 6, 7, 0, 9, 10, 11, 12, 13, 11, 15, 16, 17, 11, 19, 20, 21},
         {"Hips", "LowerBack", "Head", "LeftArm", "LeftForeArm", "RightArm", "RightForeArm",
          "LeftUpLeg", "LeftLeg", "RightUpLeg", "RightLeg"}},
        // Mixamo's, with its namespace.
        {"mixamo",
         {"mixamorig:Hips", "mixamorig:Spine", "mixamorig:Spine1", "mixamorig:Spine2",
          "mixamorig:Neck", "mixamorig:Head", "mixamorig:LeftShoulder", "mixamorig:LeftArm",
          "mixamorig:LeftForeArm", "mixamorig:RightShoulder", "mixamorig:RightArm",
          "mixamorig:RightForeArm", "mixamorig:LeftUpLeg", "mixamorig:LeftLeg",
          "mixamorig:RightUpLeg", "mixamorig:RightLeg"},
         {-1, 0, 1, 2, 3, 4, 3, 6, 7, 3, 9, 10, 0, 12, 0, 14},
         {"mixamorig:Hips", "mixamorig:Spine", "mixamorig:Head", "mixamorig:LeftArm",
          "mixamorig:LeftForeArm", "mixamorig:RightArm", "mixamorig:RightForeArm",
          "mixamorig:LeftUpLeg", "mixamorig:LeftLeg", "mixamorig:RightUpLeg",
          "mixamorig:RightLeg"}},
        // The same names in another case and with other separators map name for name.
        {"same names",
         {"ROOT", "Torso", "Head", "L-Upper-Arm", "L_FOREARM", "R_Upper_Arm", "r_forearm",
          "L_THIGH", "l_shin", "R_THIGH", "R_SHIN", "extra"},
         {-1, 0, 1, 1, 3, 1, 5, 0, 7, 0, 9, 0},
         {"ROOT", "Torso", "Head", "L-Upper-Arm", "L_FOREARM", "R_Upper_Arm", "r_forearm",
          "L_THIGH", "l_shin", "R_THIGH", "R_SHIN"}},
    };
    for (const Skeleton& s : skeletons) {
        SCOPED_TRACE(s.name);
        const TBoneMap map = AutoMap(kSampleNames, kSampleParents, s.bones, s.parents);
        ASSERT_EQ(map.Source.size(), kSampleNames.size());
        for (size_t n = 0; n < kSampleNames.size(); ++n) {
            SCOPED_TRACE(kSampleNames[n]);
            ASSERT_GE(map.Source[n], 0);
            EXPECT_EQ(s.bones[size_t(map.Source[n])], s.want[n]);
        }
        EXPECT_TRUE(map.UnmappedNodes().empty());
        EXPECT_EQ(map.UnusedBones(int(s.bones.size())).size(),
                  s.bones.size() - kSampleNames.size());
    }
}

TEST(BoneMap, ChangesByHandAndTheirMistakes) {
    const std::vector<std::string> bones = {"Hips", "Spine", "Head", "Tail"};
    const std::vector<int> parents = {-1, 0, 1, 0};
    TBoneMap map = AutoMap(kSampleNames, kSampleParents, bones, parents);
    EXPECT_EQ(map.Source[2], 2);
    EXPECT_EQ(map.Source[3], -1); // no arm in this skeleton
    ApplyMapChanges(map, kSampleNames, bones, {{"head", ""}, {"L_THIGH", "tail"}});
    EXPECT_EQ(map.Source[2], -1);
    EXPECT_EQ(map.Source[7], 3);
    EXPECT_EQ(map.UnmappedNodes().size(), 8u);
    struct Bad {
        std::pair<std::string, std::string> change;
        const char* message;
    };
    for (const Bad& b : {Bad{{"wing", "Hips"}, "The model has no node wing"},
                         Bad{{"head", "Wing"}, "The motion has no bone Wing"}})
        test::ExpectError([&] { ApplyMapChanges(map, kSampleNames, bones, {b.change}); },
                          b.message);
}

} // namespace
} // namespace vorlin
