// The 3DO reader on any bytes, then the model posed at a few frames by a KEY that moves each
// of its nodes.
#include "fuzz_common.h"
#include "key/key_check.h"
#include "key/u_key.h"
#include "model/u_3dos.h"

using namespace vorlin;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Quiet();
    const std::string path = fuzz::WriteInput(data, size, "input.3do");
    T3DO model(path);
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
