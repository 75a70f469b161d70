// A material turned into the picture the view shows.
#include "fuzz_common.h"
#include "model/Images.h"
#include "model/graph_files.h"
#include "support/FileOperations.h"

using namespace vorlin;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Quiet();
    const std::string path = fuzz::WriteInput(data, size, "input.mat");
    try {
        TMAT mat(OpenFile(path));
        (void)ImageToRGB(mat, BuiltInPalette());
    } catch (const Error&) {
    }
    return 0;
}
