#include "support/file_stamp.h"

#include <sys/stat.h>

#include "support/FileOperations.h"

namespace vorlin {

std::optional<TFileStamp> TFileStamp::Of(const std::string& path) {
    struct stat st;
    if (path.empty() || IsContainerPath(path) || ::stat(path.c_str(), &st) != 0 ||
        S_ISDIR(st.st_mode))
        return std::nullopt;
    return TFileStamp{int64_t(st.st_size),
                      int64_t(st.st_mtim.tv_sec) * 1000 + int64_t(st.st_mtim.tv_nsec) / 1000000};
}

} // namespace vorlin
