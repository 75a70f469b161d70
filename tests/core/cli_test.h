// What the tests of vorlin-cli share: the bundled sample, and the tool run with no display at
// all, as on a build server.
#pragma once

#include <string>

#include "fixtures/fixtures.h"

namespace vorlin::test {

inline const std::string kSample = VORLIN_SAMPLE_DIR;
inline const std::string kModel = kSample + "/3do/sample.3do";
inline const std::string kWalk = kSample + "/3do/key/walk.key"; // 32 frames at 15 a second
inline const std::string kCli = std::string("env -u DISPLAY -u WAYLAND_DISPLAY ") + VORLIN_CLI;

inline RunResult Cli(const std::string& args) {
    return RunCommand(kCli + " " + args);
}

} // namespace vorlin::test
