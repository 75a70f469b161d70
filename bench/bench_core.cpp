#include <benchmark/benchmark.h>
#include <sys/time.h>

#include <cstdio>
#include <cstring>

#include "bench_inputs.h"
#include "edit/key_change.h"
#include "edit/key_edit.h"
#include "edit/recovery.h"
#include "key/key_check.h"
#include "model/Images.h"
#include "model/graph_files.h"
#include "settings/GlobalVars.h"
#include "support/Containers.h"
#include "support/FileOperations.h"
#include "fixtures/fixtures.h"

using namespace vorlin;

namespace {

// Inputs live in one temporary folder for the whole run.
test::TempDir& Dir() {
    static test::TempDir dir;
    return dir;
}

class NullSink : public MessageSink {
public:
    void Log(TMsgType, const std::string&) override {}
    int Ask(const std::string&, const std::string&, unsigned) override { return IDOK; }
};

const std::string& KeyPath() {
    static const std::string path = [] {
        auto model = bench::LargeModel(100, 100 * 4, 1);
        auto key = bench::LargeKey(*model, 100, 2000);
        std::string p = Dir().file("large.key");
        key->SaveToFile(p);
        return p;
    }();
    return path;
}

void BM_KeyRead(benchmark::State& state) {
    const std::string& path = KeyPath();
    const int64_t bytes = int64_t(test::ReadAll(path).size());
    for (auto _ : state) {
        auto doc = TKEYFile::CreateFromFile(path);
        benchmark::DoNotOptimize(doc->Nodes.Count());
    }
    state.SetBytesProcessed(state.iterations() * bytes);
    state.counters["file_MB"] = double(bytes) / 1e6;
}
BENCHMARK(BM_KeyRead)->Unit(benchmark::kMillisecond);

void BM_KeyWrite(benchmark::State& state) {
    auto doc = TKEYFile::CreateFromFile(KeyPath());
    const std::string out = Dir().file("written.key");
    int64_t bytes = 0;
    for (auto _ : state) {
        doc->SaveToFile(out);
        state.PauseTiming();
        bytes = int64_t(test::ReadAll(out).size());
        state.ResumeTiming();
    }
    state.SetBytesProcessed(state.iterations() * bytes);
}
BENCHMARK(BM_KeyWrite)->Unit(benchmark::kMillisecond);

// The baseline of reading: the game's own way, a line at a time into a 1024-byte buffer and
// one sscanf per line, into plain arrays.
void BM_KeyReadSscanfBaseline(benchmark::State& state) {
    const std::string& path = KeyPath();
    const int64_t bytes = int64_t(test::ReadAll(path).size());
    struct Entry {
        double frame, v[12];
        unsigned flags;
    };
    for (auto _ : state) {
        std::FILE* f = std::fopen(path.c_str(), "r");
        char line[1024];
        auto next = [&] {
            while (std::fgets(line, sizeof line, f))
                if (line[0] != '#' && line[0] != ';' && line[0] != '\r' && line[0] != '\n') {
                    for (char* c = line; *c; ++c)
                        *c = char(std::tolower(static_cast<unsigned char>(*c)));
                    return true;
                }
            return false;
        };
        char word[64];
        int flags = 0, frames = 0, joints = 0, markers = 0, nodes = 0, entries = 0, num = 0;
        unsigned type = 0;
        float fps = 0;
        next() && std::sscanf(line, " section: %63s", word);
        next() && std::sscanf(line, " flags %d", &flags);
        next() && std::sscanf(line, " type %x", &type);
        next() && std::sscanf(line, " frames %d", &frames);
        next() && std::sscanf(line, " fps %f", &fps);
        next() && std::sscanf(line, " joints %d", &joints);
        next() && std::sscanf(line, " section: %63s", word);
        if (std::strcmp(word, "markers") == 0) {
            next() && std::sscanf(line, " markers %d", &markers);
            for (int m = 0; m < markers; ++m) {
                float frame;
                int kind;
                next() && std::sscanf(line, "%f %d", &frame, &kind);
            }
            next() && std::sscanf(line, " section: %63s", word);
        }
        next() && std::sscanf(line, " nodes %d", &nodes);
        std::vector<std::vector<Entry>> all(size_t(std::max(nodes, 0)));
        for (auto& node : all) {
            next() && std::sscanf(line, " node %d", &num);
            next() && std::sscanf(line, " mesh name %31s", word);
            next() && std::sscanf(line, " entries %d", &entries);
            node.resize(size_t(std::max(entries, 0)));
            for (Entry& e : node) {
                next() &&
                    std::sscanf(line, " %d: %lf %x %lf %lf %lf %lf %lf %lf", &num, &e.frame,
                                &e.flags, &e.v[0], &e.v[1], &e.v[2], &e.v[3], &e.v[4], &e.v[5]);
                next() && std::sscanf(line, " %lf %lf %lf %lf %lf %lf", &e.v[6], &e.v[7], &e.v[8],
                                      &e.v[9], &e.v[10], &e.v[11]);
            }
        }
        std::fclose(f);
        benchmark::DoNotOptimize(all.data());
    }
    state.SetBytesProcessed(state.iterations() * bytes);
}
BENCHMARK(BM_KeyReadSscanfBaseline)->Unit(benchmark::kMillisecond);

// The baseline of writing: the same text made with snprintf and written with stdio.
void BM_KeyWritePrintfBaseline(benchmark::State& state) {
    auto doc = TKEYFile::CreateFromFile(KeyPath());
    const std::string out = Dir().file("printf.key");
    int64_t bytes = 0;
    for (auto _ : state) {
        std::string text;
        char buf[512];
        auto put = [&](const char* format, auto... args) {
            const int n = std::snprintf(buf, sizeof buf, format, args...);
            text.append(buf, size_t(n));
        };
        put("# KEYFRAME %s created by Vorlin 0.6\r\n\r\n###############\r\nSECTION: HEADER\r\n\r\n",
            doc->Name.c_str());
        put("FLAGS  0x%04X\r\nTYPE   0x%04X\r\nFRAMES %d\r\nFPS    %d\r\nJOINTS %d\r\n\r\n\r\n",
            doc->Flags, doc->KeyType, doc->Frames, int(doc->FPS), doc->Joints);
        put("###############\r\nSECTION: KEYFRAME NODES\r\n\r\nNODES %d\r\n\r\n",
            doc->Nodes.Count());
        for (int n = 0; n < doc->Nodes.Count(); ++n) {
            const TKEYNode& node = doc->Nodes[n];
            put("NODE %d\r\nMESH NAME %s\r\nENTRIES %d\r\n\r\n", doc->Joint(n),
                node.MeshName.c_str(), node.Entries.Count());
            put("# num:   frame:   flags:           x:           y:           z:           p:  "
                "         y:           r:\r\n");
            put("#                                 dx:          dy:          dz:          dp:  "
                "        dy:          dr:\r\n");
            int k = 0;
            for (const auto& e : node.Entries) {
                char num[16], flags[16];
                std::snprintf(num, sizeof num, "%d:", k++);
                std::snprintf(flags, sizeof flags, "0x%04X", unsigned(e->Flags));
                put("%5s %8d %8s %12.8f %12.8f %12.8f %12.8f %12.8f %12.8f\r\n", num, e->Frame,
                    flags, e->X, e->Y, e->Z, e->Pitch, e->Yaw, e->Roll);
                put("%36.8f %12.8f %12.8f %12.8f %12.8f %12.8f\r\n", e->DX, e->DY, e->DZ, e->DPitch,
                    e->DYaw, e->DRoll);
            }
            put("\r\n");
        }
        std::FILE* f = std::fopen(out.c_str(), "wb");
        std::fwrite(text.data(), 1, text.size(), f);
        std::fclose(f);
        bytes = int64_t(text.size());
    }
    state.SetBytesProcessed(state.iterations() * bytes);
}
BENCHMARK(BM_KeyWritePrintfBaseline)->Unit(benchmark::kMillisecond);

// Checking a large KEY's text as the game's loader reads it.
void BM_KeyCheckText(benchmark::State& state) {
    const std::string text = test::ReadAll(KeyPath());
    for (auto _ : state)
        benchmark::DoNotOptimize(CheckKeyText(text).size());
    state.SetBytesProcessed(state.iterations() * int64_t(text.size()));
}
BENCHMARK(BM_KeyCheckText)->Unit(benchmark::kMillisecond);

void BM_GobOpen12000(benchmark::State& state) {
    std::vector<test::GobEntry> entries;
    for (int i = 0; i < 12000; ++i)
        entries.push_back({"3do\\mat\\material" + std::to_string(i) + ".mat", "x"});
    const std::string path = Dir().write("big.gob", test::BuildGob(entries));
    for (auto _ : state) {
        TGOB2Directory gob(path);
        benchmark::DoNotOptimize(gob.FileList.size());
    }
}
BENCHMARK(BM_GobOpen12000)->Unit(benchmark::kMillisecond);

void BM_FindResource100Warm(benchmark::State& state) {
    std::vector<test::GobEntry> entries;
    std::vector<std::string> names;
    for (int i = 0; i < 100; ++i) {
        names.push_back("tex" + std::to_string(i) + ".mat");
        entries.push_back({"3do\\mat\\" + names.back(), "MAT "});
    }
    for (int i = 0; i < 3000; ++i) // the rest of a game container
        entries.push_back({"3do\\other" + std::to_string(i) + ".3do", "x"});
    Settings.JKGOB = Dir().write("res2.gob", test::BuildGob(entries));
    ProjectDir = Dir().file("project") + "/";
    Dir().write("project/3do/model.3do", "");
    // A project folder as users have it: not changed in the last moments.
    struct timeval hourAgo[2] = {{::time(nullptr) - 3600, 0}, {::time(nullptr) - 3600, 0}};
    for (const char* folder : {"project", "project/3do"})
        ::utimes(Dir().file(folder).c_str(), hourAgo);
    NullSink quiet;
    MessageSink* old = SetMessageSink(&quiet);
    for (const auto& n : names) // warm the cache
        FindResource(n);
    for (auto _ : state)
        for (const auto& n : names)
            benchmark::DoNotOptimize(FindResource(n));
    state.SetItemsProcessed(state.iterations() * 100);
    SetMessageSink(old);
    ClearContainerCache();
    ProjectDir.clear();
}
BENCHMARK(BM_FindResource100Warm)->Unit(benchmark::kMillisecond);

void BM_PoseFrame20000(benchmark::State& state) {
    auto model = bench::LargeModel(60, 20000, 4);
    auto key = bench::LargeKey(*model, 60, 10);
    int frame = 0;
    for (auto _ : state) {
        key->ApplyToModel(*model, frame);
        frame = (frame + 1) % key->Frames;
        benchmark::DoNotOptimize(model->Meshes[59].Faces.Vertices[0].tz);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_PoseFrame20000)->Unit(benchmark::kMicrosecond);

void BM_MatToRGB256(benchmark::State& state) {
    std::string pixels(256 * 256, '\0');
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = char(i * 7);
    const std::string path = Dir().write("big.mat", test::BuildTextureMat(256, 256, 8, 0, pixels));
    for (auto _ : state) {
        TMAT mat(OpenFile(path));
        auto rgb = ImageToRGB(mat, BuiltInPalette());
        benchmark::DoNotOptimize(rgb.data());
    }
    state.SetBytesProcessed(state.iterations() * int64_t(pixels.size()));
}
BENCHMARK(BM_MatToRGB256)->Unit(benchmark::kMicrosecond);

// The editing thread's part of an autosave: the document copied as plain values (the worker
// thread writes it). Arg 1: a whole clone of the document, what a copy would cost otherwise.
void BM_AutosaveSnapshot(benchmark::State& state) {
    auto model = bench::LargeModel(100, 1000, 1);
    auto key = bench::LargeKey(*model, 100, 2000);
    for (auto _ : state) {
        if (state.range(0) == 0) {
            TKeySnapshot snapshot = TKeySnapshot::Of(*key);
            benchmark::DoNotOptimize(snapshot.Nodes.data());
        } else {
            auto copy = key->Clone();
            benchmark::DoNotOptimize(copy.get());
        }
    }
}
BENCHMARK(BM_AutosaveSnapshot)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// Insert Key on the summary row: a key at a frame between keys on every one of the 100 nodes
// of the 100 x 2,000 document, as one step (its record of the change included), then undone.
void BM_InsertKeyAllNodes(benchmark::State& state) {
    auto model = bench::LargeModel(100, 1000, 1);
    auto key = bench::LargeKey(*model, 100, 2000);
    const std::vector<int> nodes = TKeyChange::AllNodes(*key);
    for (auto _ : state) {
        TKeyChange change;
        change.Begin(*key, nodes);
        for (int n : nodes)
            InsertKey(*key, n, 10005);
        change.End(*key);
        state.PauseTiming();
        change.Undo(*key);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_InsertKeyAllNodes)->Unit(benchmark::kMillisecond);

// Scale: every key of that document picked (200,000), scaled by 0.5 about frame 0, as a drag
// step does it: from the keys as they were, re-sorted, rates derived around them.
void BM_ScaleAllKeys(benchmark::State& state) {
    auto model = bench::LargeModel(100, 1000, 1);
    auto key = bench::LargeKey(*model, 100, 2000);
    const TKeyScale scale(*key, AllKeys(*key), 0);
    double factor = 0.5;
    for (auto _ : state) {
        scale.Apply(*key, factor);
        factor = factor == 0.5 ? 0.6 : 0.5;
    }
}
BENCHMARK(BM_ScaleAllKeys)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
