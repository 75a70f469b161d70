// A colour map's palette and light table.
#include "fuzz_common.h"
#include "model/graph_files.h"

using namespace vorlin;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Quiet();
    const std::string path = fuzz::WriteInput(data, size, "input.cmp");
    TPalette palette = BuiltInPalette();
    LoadCMPPalette(path, palette);
    ApplyCMPLight(path, palette);
    return 0;
}
