#include "support/Containers.h"

#include <cstring>
#include <vector>

namespace vorlin {

namespace {

uint32_t LE32(const unsigned char* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

} // namespace

TGOB2Directory::TGOB2Directory(const std::string& path) : TContainerFile(path) {
    Open();
}

void TGOB2Directory::ReadDirectory() {
    ClearFiles();
    TDiskFile file(Path); // closed when this scope ends, also on an error
    unsigned char header[kGobHeaderSize];
    ReadBlock(file, header, kGobHeaderSize);
    std::memcpy(Magic.data(), header, 4);
    if (std::memcmp(header, "GOB ", 4) != 0) throw Error(Path + " is not a GOB 2.0 file");
    Reserved1 = LE32(header + 4);
    Reserved2 = LE32(header + 8);
    EntryCount = static_cast<int32_t>(LE32(header + 12));

    // Read the entries in chunks: one call per few hundred entries instead of one per entry.
    // The buffer grows with what is read, never with the count the header claims, so a
    // damaged count ends in a short read rather than a huge allocation.
    // An entry that claims bytes past the container's end is damaged: it stays listed, but it
    // holds only the bytes really there, so no reader trusts a size the file does not back.
    const int64_t containerSize = file.FileSize();
    auto present = [containerSize](uint32_t offset, uint32_t size) -> uint32_t {
        if (offset >= containerSize) return 0;
        return int64_t(offset) + size > containerSize ? uint32_t(containerSize - offset) : size;
    };
    constexpr int kChunkEntries = 512;
    std::vector<unsigned char> chunk;
    int remaining = EntryCount;
    while (remaining > 0) {
        int n = remaining < kChunkEntries ? remaining : kChunkEntries;
        chunk.resize(static_cast<size_t>(n) * kGobEntrySize);
        ReadBlock(file, chunk.data(), static_cast<int64_t>(chunk.size()));
        for (int i = 0; i < n; ++i) {
            const unsigned char* e = chunk.data() + static_cast<size_t>(i) * kGobEntrySize;
            const char* name = reinterpret_cast<const char*>(e + 8);
            size_t len = strnlen(name, kGobNameSize);
            const uint32_t offset = LE32(e);
            AddFile(std::string(name, len), present(offset, LE32(e + 4)), offset);
        }
        remaining -= n;
    }
}

} // namespace vorlin
