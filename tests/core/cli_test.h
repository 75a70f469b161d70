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
// The leak check of a sanitized build stops every thread at exit, and has crashed doing so
// with the OpenGL driver's worker threads alive: a command that draws is checked for every
// use of memory but not for leaks (as the tests on the display are). No effect otherwise.
inline const char* const kDrawingSanitizer =
    "ASAN_OPTIONS=detect_leaks=0:abort_on_error=0:halt_on_error=1";
inline const std::string kCliDrawing =
    std::string("env -u DISPLAY -u WAYLAND_DISPLAY ") + kDrawingSanitizer + " " + VORLIN_CLI;

inline RunResult Cli(const std::string& args) {
    return RunCommand((args.rfind("render ", 0) == 0 ? kCliDrawing : kCli) + " " + args);
}

} // namespace vorlin::test
