// The KEY reader on any bytes, and the writer on what it read.
#include "fuzz_common.h"
#include "key/key_check.h"
#include "key/u_key.h"

using namespace vorlin;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Quiet();
    const std::string path = fuzz::WriteInput(data, size, "input.key");
    auto doc = TKEYFile::CreateFromFile(path);
    (void)doc->ToText();
    (void)CheckKey(*doc);
    for (int n = 0; n < doc->Nodes.Count(); ++n)
        for (int frame : {0, 100, -5})
            try {
                (void)doc->EvaluateNode(n, frame);
            } catch (const ListError&) { // a frame before the node's first entry
            }
    return 0;
}
