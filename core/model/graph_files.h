// Palettes: the built-in one, the process-wide current one, CMP colour maps, and turning a MAT
// picture into RGB through them.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "model/Images.h"

namespace vorlin {

struct TRGB {
    uint8_t r = 0, g = 0, b = 0;
    bool operator==(const TRGB&) const = default;
};
using TPalette = std::array<TRGB, 256>;

const TPalette& BuiltInPalette();
// The palette textures are built with; the built-in one until a CMP replaces it.
TPalette& CurrentPalette();

constexpr int kCmpPaletteOffset = 64;
constexpr int kCmpLightOffset = 16960;

// Raises unless the file can be read and is a whole colour map: "NAME is not a colour map
// (...)" or "NAME is cut short: ...", or the I/O error. For a CMP that was asked for, where the
// two operations below quietly fall back to the built-in palette.
void CheckColourMap(const std::string& name);
// Fills the palette from a CMP; when the file cannot be opened, with the built-in palette, and
// the result is false. A CMP too short for its palette leaves the rest as it was.
bool LoadCMPPalette(const std::string& name, TPalette& palette);
// Remaps the palette through the CMP's light table; false (palette unchanged) when the file
// cannot be opened. Entries missing from a short table map to themselves.
bool ApplyCMPLight(const std::string& name, TPalette& palette);

// The picture as rows of red, green, blue bytes, first row first. 8-bit pixels go through the
// palette; 16-bit pixels are 5-6-5 without low-bit replication. Missing pixels are black.
std::vector<uint8_t> ImageToRGB(TImageSource& image, const TPalette& palette);

} // namespace vorlin
