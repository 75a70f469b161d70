// A KEY read, saved and read again is the same document: saving is a fixed point.
#include <cstdlib>

#include "fuzz_common.h"
#include "key/u_key.h"

using namespace vorlin;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Quiet();
    const std::string path = fuzz::WriteInput(data, size, "input.key");
    auto first = fuzz::ReadKey(path);
    if (!first) return 0;
    const std::string saved = fuzz::WorkFile("saved.key");
    first->Name = "saved.key";
    first->FullName = saved;
    try {
        first->SaveToFile(saved);
    } catch (const Error&) {
        return 0; // a value that cannot be written is refused, not written wrongly
    }
    auto again = TKEYFile::CreateFromFile(saved);
    if (again->ToText() != first->ToText()) std::abort();
    if (first->IsModified()) std::abort();
    return 0;
}
