#include "edit/markers.h"

#include "support/misc_utils.h"

namespace vorlin {

namespace {

struct TypeNames {
    const char* item;
    const char* grid;
};
const TypeNames kNames[kMarkerTypeCount] = {
    {"Left walking footstep", "Left walk"},
    {"Right walking footstep", "Right walk"},
    {"Activate fists", "Activate fist"},
    {"Activate saber", "Activate saber"},
    {"Deactivate saber", "Deactivate saber"},
    {"Left splash", "Left splash"},
    {"Unknown (7)", "Unknown (7)"},
    {"Left running footstep", "Left run"},
    {"Right running footstep", "Right run"},
    {"Hit ground (death)", "Hit ground"},
    {"Leaping", "Leaping"},
    {"Jumping", "Jumping"},
    {"Right splash", "Right splash"},
    {"Unknown (14)", "Unknown (14)"},
    {"Unknown (15)", "Unknown (15)"},
    {"", nullptr},
};

} // namespace

std::string MarkerTypeItem(int type) {
    return type >= 1 && type <= kMarkerTypeCount ? kNames[type - 1].item : "";
}

std::string MarkerGridName(int type) {
    if (type >= 1 && type <= kMarkerTypeCount && kNames[type - 1].grid)
        return kNames[type - 1].grid;
    return "Unknown (" + std::to_string(type) + ")";
}

bool IsFrameMarker(int type) {
    return type == 1 || type == 2 || type == 6 || (type >= 8 && type <= 13);
}

std::string MarkerNumberText(const TKEYMarker& marker) {
    return (IsFrameMarker(marker.MarkerType) ? "Frame = " : "Value = ") +
           GeneralFloat(marker.Frame);
}

std::vector<TKEYMarker> SaberMarkers(bool twice) {
    std::vector<int> types = twice ? std::vector<int>{4, 5, 14, 4, 5} : std::vector<int>{4, 5};
    std::vector<TKEYMarker> out;
    for (int t : types)
        out.push_back(TKEYMarker{0.0, t});
    return out;
}

} // namespace vorlin
