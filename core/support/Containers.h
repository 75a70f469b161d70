// The GOB 2.0 container of the game (.gob) and of its expansion (.goo).
#pragma once

#include <array>
#include <cstdint>

#include "support/Files.h"

namespace vorlin {

class TGOB2Directory : public TContainerFile {
public:
    // Reads the directory; raises path + " is not a GOB 2.0 file" or an I/O error.
    explicit TGOB2Directory(const std::string& path);
    void ReadDirectory() override;

    // The 16-byte header as last read: magic, two words not examined, the entry count.
    std::array<char, 4> Magic{};
    uint32_t Reserved1 = 0;
    uint32_t Reserved2 = 0;
    int32_t EntryCount = 0;
};

constexpr int kGobHeaderSize = 16;
constexpr int kGobEntrySize = 136;
constexpr int kGobNameSize = 128;

} // namespace vorlin
