// A file's size and modification time, to notice that another program changed it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace vorlin {

struct TFileStamp {
    int64_t Size = -1;
    int64_t TimeMs = 0; // milliseconds since the epoch, as the recovery record keeps it
    bool operator==(const TFileStamp&) const = default;
    // The stamp of a disk file; none when it does not exist (or is a folder, or a container
    // path).
    static std::optional<TFileStamp> Of(const std::string& path);
};

} // namespace vorlin
