// Checking a whole mod at once: every KEY of the files, folders and containers given, by the
// rules Check KEY applies (the game's loader, line by line), each against a model when asked,
// on all cores. What cannot be read is a finding of its own, and the run goes on.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "key/key_check.h"

namespace vorlin {

struct TModCheckOptions {
    // Every KEY also against this model (a disk or container path).
    std::string Model;
    // Each KEY against the model of its container or folder tree (a KEY given alone: of its
    // folder and the one above) that binds most of its nodes by name.
    bool AutoModels = false;
    // Worker threads; 0 for one a core.
    unsigned Threads = 0;
    // Told on the calling thread while the KEYs are checked: (done, total).
    std::function<void(size_t done, size_t total)> Progress;
};

// A finding with its place in words ("line 12, node 3 (TORSO) entry 5").
struct TPlacedFinding : TFinding {
    std::string Where;
};

struct TKeyReport {
    // The KEY (a container path for one stored in a container); for a container that cannot
    // be read, the container.
    std::string Path;
    // The model the KEY was checked against; empty for none.
    std::string Model;
    // With AutoModels: the nodes the chosen model binds by name, of the KEY's nodes (a model
    // chosen binds at least half; none chosen leaves Model empty).
    int Bound = 0, Nodes = 0;
    std::vector<TPlacedFinding> Findings;
    // What reading the KEY (or its model) logged.
    std::vector<std::string> Warnings;

    bool HasErrors() const;
};

// The reports in the order the KEYs were found: each path in turn, a folder's KEYs (searched
// below it, loose files only) and a container's sorted by name; a file found twice is checked
// once. Raises for what stops the
// whole run: a path that is not there, nothing to check, a model that cannot be read.
std::vector<TKeyReport> CheckMod(const std::vector<std::string>& paths,
                                 const TModCheckOptions& options);

} // namespace vorlin
