#include "fuzz_common.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>

#include "settings/GlobalVars.h"
#include "support/misc_utils.h"

namespace vorlin::fuzz {

namespace {

class NullSink : public MessageSink {
public:
    void Log(TMsgType, const std::string&) override {}
    int Ask(const std::string&, const std::string&, unsigned) override { return IDCANCEL; }
};

// Made once and never destroyed: the clean-up at exit runs after static destructors may have.
const std::string& Folder() {
    static const std::string* folder = [] {
        auto* f = new std::string(
            (std::filesystem::temp_directory_path() / ("vorlin-fuzz-" + std::to_string(::getpid())))
                .string());
        std::filesystem::create_directories(*f);
        std::atexit([] {
            std::error_code ec;
            std::filesystem::remove_all(Folder(), ec);
        });
        return f;
    }();
    return *folder;
}

} // namespace

std::string WorkFile(const std::string& name) {
    return Folder() + "/" + name;
}

std::string WriteInput(const uint8_t* data, size_t size, const std::string& name) {
    const std::string path = WorkFile(name);
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) std::abort();
    if (size && std::fwrite(data, 1, size, f) != size) std::abort();
    std::fclose(f);
    return path;
}

std::unique_ptr<TKEYFile> ReadKey(const std::string& path) {
    try {
        return TKEYFile::CreateFromFile(path);
    } catch (const Error&) {
        return nullptr;
    }
}

void Quiet() {
    static NullSink sink;
    SetMessageSink(&sink);
    AssignDefaults();
    ProjectDir.clear();
}

} // namespace vorlin::fuzz
