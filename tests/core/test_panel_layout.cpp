// How the main window's panels share its height as it grows, without a window.
#include <gtest/gtest.h>

#include "edit/panel_layout.h"

using namespace vorlin;

TEST(PanelLayout, TheStripKeepsItsPartOfTheSplitAndComesBackAsItWasSet) {
    // A split of 390 pixels at the first size, 110 of them the strip's.
    const struct {
        int atDefault, split, extra, height;
    } cases[] = {
        {110, 390, 0, 110},   // the first size: as stored
        {110, 940, 550, 265}, // 550 pixels taller: the same part of the split
        {110, 290, -100, 82}, // shorter than the first size: in proportion too
        {150, 390, 0, 150},   {0, 940, 550, 0},
    };
    for (auto c : cases) {
        EXPECT_EQ(StripHeight(c.atDefault, c.split, c.extra), c.height)
            << c.atDefault << " in " << c.split;
        // Stored from where it is, it comes back there, give or take the rounding.
        EXPECT_NEAR(StripHeightAtDefault(c.height, c.split, c.extra), c.atDefault, 1)
            << c.height << " in " << c.split;
    }
    // A height dragged in a tall window is stored as what it is at the first size, and
    // comes back as dragged in that window.
    const int stored = StripHeightAtDefault(400, 940, 550);
    EXPECT_EQ(stored, 166);
    EXPECT_NEAR(StripHeight(stored, 940, 550), 400, 2);
    // A split of nothing (a window not laid out yet) gives nothing away.
    EXPECT_EQ(StripHeightAtDefault(110, 0, 0), 110);
    EXPECT_EQ(StripHeight(110, 0, -450), 0);
}

TEST(PanelLayout, TheLeftColumnsExtraGoesToTheTreeAndTheListByWhatTheyHold) {
    const struct {
        int atDefault, extra, tree, list, height;
    } cases[] = {
        {162, 0, 200, 100, 162},   // the first size: as stored
        {162, 300, 200, 100, 362}, // two thirds of the rows are the tree's
        {162, 300, 100, 200, 262},  {162, 300, 0, 100, 162}, // no model: the list takes it all
        {162, 300, 200, 0, 462},                             // no KEY: the tree does
        {162, 300, 0, 0, 162},      // nothing to show: the list, as it always did
        {162, -100, 200, 100, 162}, // a shorter column: the tree gives way elsewhere
    };
    for (auto c : cases)
        EXPECT_EQ(GrownTreeHeight(c.atDefault, c.extra, c.tree, c.list), c.height)
            << c.extra << " " << c.tree << "/" << c.list;
    // A drag moves the tree as far as the pointer went, at any size.
    EXPECT_EQ(GrownTreeHeight(192, 300, 200, 100) - GrownTreeHeight(162, 300, 200, 100), 30);
}

TEST(PanelLayout, ASavedWindowIsFittedToTheScreenWithItsFrame) {
    const TWindowBounds screen{0, 0, 1280, 1024};
    const struct {
        const char* what;
        TWindowBounds saved, fitted;
    } cases[] = {
        {"on the screen: as saved", {100, 80, 800, 600}, {100, 80, 800, 600}},
        {"below the first size", {10, 10, 100, -20}, {10, 10, 660, 450}},
        {"wider than the screen", {500, 0, 99999, 450}, {0, 0, 1270, 450}},
        {"beyond the far corner: the frame too", {50000, 50000, 660, 450}, {610, 544, 660, 450}},
        {"before the near corner", {-98719, -5, 660, 450}, {0, 0, 660, 450}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FitWindowToScreen(c.saved, screen, 10, 30), c.fitted) << c.what;
    // A screen smaller than the first size: the first size, its title bar on the screen.
    EXPECT_EQ(FitWindowToScreen({300, 300, 800, 600}, {0, 0, 640, 400}, 10, 30),
              (TWindowBounds{0, 0, 660, 450}));
    // A second screen's room starts where it lies.
    EXPECT_EQ(FitWindowToScreen({0, 0, 660, 450}, {1280, 24, 1920, 1056}, 10, 30),
              (TWindowBounds{1280, 24, 660, 450}));
}
