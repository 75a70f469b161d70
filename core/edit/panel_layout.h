// How the main window's panels share its height as it grows: the strip under the 3D view (the
// timeline and the curves) keeps its part of the room it shares with the view, and the left
// column's extra room goes to the node tree and the entry list by what each holds. Stored
// heights are those at the window's first size, so that a layout set in a maximized window
// comes back the same there and in proportion in a smaller one.
#pragma once

namespace vorlin {

// The window's first height (and least stored one); stored panel heights are taken at it.
constexpr int kDefaultWindowHeight = 450;

// The strip's height in a split (view, handle and strip) of split pixels in a window extra
// pixels taller than the first size, from its height at the first size: the same part of the
// split. And back: the height at the first size that gives height now.
int StripHeight(int atDefault, int split, int extra);
int StripHeightAtDefault(int height, int split, int extra);

// The node tree's height in a left column extra pixels taller than at the window's first size,
// from its height there: the tree takes the part of the extra that its rows are of both lists'
// rows (treeContent and listContent, in pixels), the entry list the rest. While both are
// empty the list takes it all; a column shorter than at the first size changes nothing here.
int GrownTreeHeight(int atDefault, int extra, int treeContent, int listContent);

// A window's place on the screen: left and top of its frame, the size inside it.
struct TWindowBounds {
    int Left = 0, Top = 0, Width = 0, Height = 0;
    bool operator==(const TWindowBounds&) const = default;
};

// The window's first size, also its least.
constexpr int kDefaultWindowWidth = 660;

// The frame a window manager usually adds (borders, title bar) in all: a window not shown yet
// does not know its own.
constexpr int kUsualFrameWidth = 8;
constexpr int kUsualFrameHeight = 40;

// Saved bounds fitted to the room a screen gives windows: at least the first size, at most
// that room (less the frame), and moved onto it, as far as it fits, so that title bar and edges
// can be reached (a size or place saved on a larger screen, or edited by hand).
TWindowBounds FitWindowToScreen(TWindowBounds saved, const TWindowBounds& screen,
                                int frameWidth = kUsualFrameWidth,
                                int frameHeight = kUsualFrameHeight);

} // namespace vorlin
