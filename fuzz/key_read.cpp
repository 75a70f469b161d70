// The KEY reader on any bytes, the writer on what it read, and the check of the bytes as the
// game's loader reads them.
#include "fuzz_common.h"
#include "key/key_check.h"
#include "key/u_key.h"

using namespace vorlin;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Quiet();
    const std::string path = fuzz::WriteInput(data, size, "input.key");
    auto doc = fuzz::ReadKey(path);
    if (!doc) return 0;
    (void)doc->ToText();
    (void)CheckKey(*doc);
    const std::string text(reinterpret_cast<const char*>(data), size);
    (void)CheckKey(*doc, nullptr, &text);
    for (int n = 0; n < doc->Nodes.Count(); ++n)
        for (int frame : {0, 100, -5})
            try {
                (void)doc->EvaluateNode(n, frame);
            } catch (const ListError&) { // a node without entries
            }
    return 0;
}
