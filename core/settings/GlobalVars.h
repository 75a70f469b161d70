// The editor's process-wide settings, named by their stored value names, and the shared working
// state of the main window. Plain values: persistence lives in the user-interface layer.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace vorlin {

// Colours are 0x00BBGGRR: red in the low byte.
using TColor = uint32_t;
constexpr int kRecentCount = 5;
constexpr int kKeyModelCount = 20;
constexpr int kPreviewRangeCount = 20;

// The settings, in table order, with their built-in defaults.
struct TSettings {
    std::string JKGOB;
    std::string MOTSGOB;
    TColor COLOR_BACKGROUND = 0x000000;
    TColor COLOR_WIREFRAME = 0xFFFFFF;
    TColor COLOR_SELECTED = 0x0000FF;
    TColor COLOR_NODEPATH = 0xFFFFFF;
    TColor COLOR_XAXIS = 0x00FFFF;
    TColor COLOR_YAXIS = 0xFF0000;
    TColor COLOR_ZAXIS = 0x0000FF;
    TColor COLOR_GRID = 0x808080;
    int32_t DEFAULT_NUMFRAMES = 101;
    int32_t DEFAULT_FRAMEGAP = 10;
    int32_t DEFAULT_FRAMERATE = 15;
    double MOVE_STEP = 0.01;
    int32_t AUTOSAVE_SECONDS = 30; // after the last change; 0: no autosave
    bool SHOW_NODEPATH = false;
    bool FOLLOW_NODEPATH = false;
    bool SHOW_FLOOR = false;
    bool ORBIT_SELECTION = false;      // a right drag in the view orbits the selected node's pivot
    bool AUTO_KEY = false;             // Auto Key: a drag in the view first keys the frame on show
    bool ONION_SKIN = false;           // View > Onion Skin
    std::string ONION_FRAMES = "keys"; // the poses it shows: "keys", or frames before and after
    bool FLAGS_ONCE = true;
    bool AUTOCOPY_X = true;
    bool AUTOCOPY_Y = true;
    bool AUTOCOPY_Z = true;
    bool AUTOCOPY_PCH = true;
    bool AUTOCOPY_ROL = true;
    bool AUTOCOPY_YAW = true;
    bool AUTOCOPY_FWD = true;
    int32_t VORLIN_LEFT = 0;
    int32_t VORLIN_TOP = 0;
    int32_t VORLIN_WIDTH = 660;
    int32_t VORLIN_HEIGHT = 450;
    bool WINDOW_MAXIMIZED = false;
    int32_t TV3DO_HEIGHT = 162;
    int32_t SPLITTER_TOP = 177;
    int32_t PLKEY_TOP = 182;
    bool TIMELINE_VISIBLE = true;   // the timeline under the 3D view
    int32_t TIMELINE_HEIGHT = 110;  // of the timeline and the curves alike
    bool CURVES_VISIBLE = false;    // the curves' tab is the one under the view
    int32_t CURVES_CHANNELS = 0x3F; // bit c: channel c (X Y Z Pitch Yaw Roll) is drawn
    int32_t CURVES_PLOT = 0;        // the curves' one plot when too short for two: 1 angles
    std::array<std::string, kRecentCount> RECENT_3DO; // RECENT_3DO_1 .. _5, most recent first
    std::array<std::string, kRecentCount> RECENT_KEY; // RECENT_KEY_1 .. _5
    // The model each KEY was last used with, "KEY path<TAB>model path", most recent first
    // (KEY_MODEL_1 .. _20): a KEY opened on its own opens with it.
    std::vector<std::string> KEY_MODELS;
    int32_t MARKER_TYPE = 1; // the type M gives a marker: the one chosen last
    // The preview range each KEY was last played in, "KEY path<TAB>first<TAB>last", most
    // recent first (PREVIEW_RANGE_1 .. _20): the editor's, never written into the KEY.
    std::vector<std::string> PREVIEW_RANGES;
};

inline TSettings Settings;

// The eight colour settings in their usual order: background, mesh wireframe, selected mesh,
// node path, X axis, Y axis, Z axis, grid.
inline std::array<TColor*, 8> ColourSettings() {
    TSettings& g = Settings;
    return {&g.COLOR_BACKGROUND, &g.COLOR_WIREFRAME, &g.COLOR_SELECTED, &g.COLOR_NODEPATH,
            &g.COLOR_XAXIS,      &g.COLOR_YAXIS,     &g.COLOR_ZAXIS,    &g.COLOR_GRID};
}

// True when the settings store did not exist at start-up (set by LoadSettings).
inline bool FirstRun = false;

// The project folder the resource search looks in first: the folder of a model loaded from
// disk, ending in "/"; empty for a model from a container. Not stored.
inline std::string ProjectDir;

// Assigns the built-in defaults to every setting.
inline void AssignDefaults() {
    Settings = TSettings{};
}

} // namespace vorlin
