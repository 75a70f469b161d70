// The 3DO reader on any bytes (most of which it refuses as no model), then the model posed at a
// few frames by a KEY that moves each of its nodes.
#include <memory>

#include "fuzz_common.h"
#include "key/key_check.h"
#include "key/u_key.h"
#include "model/u_3dos.h"

using namespace vorlin;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Quiet();
    const std::string path = fuzz::WriteInput(data, size, "input.3do");
    std::unique_ptr<T3DO> read;
    try {
        read = std::make_unique<T3DO>(path);
    } catch (const Error&) {
        return 0; // bytes that are not a model are refused: an answer, not a fault
    }
    T3DO& model = *read;
    TKEYFile key;
    key.Frames = 20;
    key.Flags = 3;
    for (const auto& h : model.HNodes) {
        TKEYNode& node = key.Nodes.Add();
        node.MeshName = h->Name;
        TKEYEntry& a = node.Entries.Add();
        a.X = h->X;
        a.Yaw = h->Yaw;
        TKEYEntry& b = node.Entries.Add();
        b.Frame = 10;
        b.X = h->X + 1;
        b.Yaw = h->Yaw + 90;
    }
    key.RecalcAll();
    for (int frame : {0, 5, 15, 25})
        key.ApplyToModel(model, frame);
    (void)model.Radius();
    (void)model.LowestPoint();
    for (int i = 0; i < model.HNodes.Count(); ++i)
        (void)model.IsInSubtree(0, i);
    (void)CheckKeyAgainstModel(key, model);
    return 0;
}
