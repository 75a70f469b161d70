#include "edit/panel_layout.h"

#include <algorithm>
#include <cmath>

namespace vorlin {

namespace {

// The split's height at the window's first size (never below a pixel).
double SplitAtDefault(int split, int extra) {
    return std::max(1.0, double(split) - extra);
}

} // namespace

int StripHeight(int atDefault, int split, int extra) {
    return int(std::lround(double(atDefault) * std::max(split, 0) / SplitAtDefault(split, extra)));
}

int StripHeightAtDefault(int height, int split, int extra) {
    if (split <= 0) return height;
    return int(std::lround(double(height) * SplitAtDefault(split, extra) / split));
}

int GrownTreeHeight(int atDefault, int extra, int treeContent, int listContent) {
    const double tree = std::max(treeContent, 0), list = std::max(listContent, 0);
    if (extra <= 0 || tree + list <= 0) return atDefault;
    return atDefault + int(std::lround(extra * tree / (tree + list)));
}

} // namespace vorlin
