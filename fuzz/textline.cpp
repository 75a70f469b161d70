// The text line reader: every line at most 4096 bytes, and the reading ends.
#include <cstdlib>

#include "fuzz_common.h"
#include "support/FileOperations.h"
#include "support/Files.h"

using namespace vorlin;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Quiet();
    const std::string path = fuzz::WriteInput(data, size, "input.txt");
    TTextFile text(OpenFile(path));
    std::string line;
    size_t lines = 0;
    while (!text.Eof()) {
        text.ReadLn(line);
        if (line.size() > size_t(TTextFile::kMaxLine)) std::abort();
        if (++lines > size + 1) std::abort(); // no line is handed out twice
    }
    return 0;
}
