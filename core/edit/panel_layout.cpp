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

TWindowBounds FitWindowToScreen(TWindowBounds saved, const TWindowBounds& screen, int frameWidth,
                                int frameHeight) {
    auto fit = [](int size, int least, int room) { return std::max(least, std::min(size, room)); };
    saved.Width = fit(saved.Width, kDefaultWindowWidth, screen.Width - frameWidth);
    saved.Height = fit(saved.Height, kDefaultWindowHeight, screen.Height - frameHeight);
    // Back from the far edge first, then onto the near one: a window larger than the screen
    // keeps its title bar on it.
    auto place = [](int at, int size, int from, int room) {
        return std::max(from, std::min(at, from + room - size));
    };
    saved.Left = place(saved.Left, saved.Width + frameWidth, screen.Left, screen.Width);
    saved.Top = place(saved.Top, saved.Height + frameHeight, screen.Top, screen.Height);
    return saved;
}

} // namespace vorlin
