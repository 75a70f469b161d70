#include "support/FileOperations.h"

#include <algorithm>
#include <dirent.h>
#include <sys/stat.h>

#include "settings/GlobalVars.h"
#include "support/Containers.h"
#include "support/misc_utils.h"

namespace vorlin {

namespace {

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

// Index just past the folder part: after the last separator, the first ">" counting as one.
size_t NameStart(std::string_view path) {
    size_t gt = path.find('>');
    size_t start = 0;
    for (size_t i = 0; i < path.size(); ++i)
        if (IsSeparator(path[i]) || i == gt) start = i + 1;
    return start;
}

} // namespace

bool IsContainerPath(std::string_view path) { return path.find('>') != std::string_view::npos; }

std::string PathDir(std::string_view path) { return std::string(path.substr(0, NameStart(path))); }

std::string PathName(std::string_view path) { return std::string(path.substr(NameStart(path))); }

std::string PathExt(std::string_view path) {
    std::string_view name = path.substr(NameStart(path));
    size_t dot = name.rfind('.');
    return dot == std::string_view::npos ? std::string() : std::string(name.substr(dot));
}

bool DiskFileExists(const std::string& path) {
    struct stat st;
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

namespace {

bool PathExists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

// The entry of folder whose name equals name ignoring case; the first in name order when
// several do, so the answer does not depend on the order the folder lists them in.
std::string MatchInFolder(const std::string& folder, const std::string& name) {
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (!dir) return {};
    std::string best;
    while (dirent* e = ::readdir(dir)) {
        std::string_view entry(e->d_name);
        if (SameText(entry, name) && (best.empty() || entry < best)) best.assign(entry);
    }
    ::closedir(dir);
    return best;
}

} // namespace

std::string FindDiskPath(const std::string& path) {
    if (path.empty()) return {};
    if (DiskFileExists(path)) return path;
    // Walk the components, keeping those that exist and matching the others ignoring case.
    std::string resolved;
    size_t i = 0;
    if (path[0] == '/') {
        resolved = "/";
        i = 1;
    }
    while (i < path.size()) {
        size_t next = path.find_first_of("/\\", i);
        std::string part = path.substr(i, next == std::string::npos ? std::string::npos : next - i);
        i = next == std::string::npos ? path.size() : next + 1;
        if (part.empty() || part == ".") continue;
        std::string candidate = resolved + part;
        if (!PathExists(candidate)) {
            std::string match = MatchInFolder(resolved, part);
            if (match.empty()) return {};
            candidate = resolved + match;
        }
        resolved = candidate;
        if (i < path.size()) resolved += '/';
    }
    return DiskFileExists(resolved) ? resolved : std::string();
}

int ContainerKind(const std::string& path) {
    if (!PathExists(path)) return ckMissing;
    std::string ext = UpperCase(PathExt(path));
    if (ext == ".WAD") return ckWad;
    if (ext == ".LAB") return ckLab;
    if (ext == ".LFD") return ckLfd;
    if (ext == ".GOO") return ckGoo;
    if (ext != ".GOB") return ckUnknown;
    try {
        TDiskFile f(path);
        char magic[4];
        if (f.Read(magic, 4) != 4) return ckUnknown;
        return std::string_view(magic, 4) == "GOB " ? ckGob2 : ckGob1;
    } catch (const Error&) {
        return ckUnknown;
    }
}

std::unique_ptr<TContainerFile> OpenContainerFile(const std::string& path) {
    switch (ContainerKind(path)) {
    case ckGob2:
    case ckGoo:
        return std::make_unique<TGOB2Directory>(path);
    case ckMissing:
        throw Error(path + " not found");
    default:
        throw Error(path + " is not a container");
    }
}

namespace {

struct Cache {
    std::vector<CachedContainer> items;
    ~Cache() { items.clear(); }
};

Cache& TheCache() {
    static Cache cache;
    return cache;
}

CachedContainer* FindCached(const std::string& path) {
    for (CachedContainer& c : TheCache().items)
        if (SameText(c.path, path)) return &c;
    return nullptr;
}

} // namespace

const std::vector<CachedContainer>& ContainerCache() { return TheCache().items; }

void ClearContainerCache() { TheCache().items.clear(); }

std::unique_ptr<TFile> OpenFile(const std::string& path) {
    size_t gt = path.find('>');
    if (gt == std::string::npos) return std::make_unique<TDiskFile>(path);
    std::string containerPath = path.substr(0, gt);
    std::string stored = path.substr(gt + 1);
    CachedContainer* cached = FindCached(containerPath);
    if (!cached) {
        // Open first: a container that fails to open leaves the cache as it was.
        std::unique_ptr<TContainerFile> container = OpenContainerFile(containerPath);
        auto& items = TheCache().items;
        if (items.size() > kContainerCacheLimit) {
            auto victim = std::find_if(items.begin(), items.end(),
                                       [](const CachedContainer& c) { return !c.container->Pinned; });
            if (victim != items.end()) items.erase(victim);
        }
        items.push_back({containerPath, std::move(container)});
        cached = &items.back();
    }
    return cached->container->OpenFile(stored, false);
}

TContainerFile& OpenPinnedContainer(const std::string& path) {
    CachedContainer* cached = FindCached(path);
    if (!cached) {
        auto& items = TheCache().items;
        items.push_back({path, OpenContainerFile(path)});
        cached = &items.back();
    }
    cached->container->Pinned = true;
    return *cached->container;
}

bool ContainerHas(const std::string& container, const std::string& name) {
    if (container.empty()) return false;
    try {
        return OpenPinnedContainer(container).GetFileInfo(name) != nullptr;
    } catch (...) {
        return false;
    }
}

std::unique_ptr<TFile> ProjectFile(const std::string& name) {
    std::string path = FindDiskPath(ProjectDir + name);
    if (path.empty()) return nullptr;
    return OpenFile(path);
}

namespace {

struct Place {
    bool project;  // a folder under ProjectDir, or else a folder inside a container
    int container; // 0 the game's (JKGOB), 1 the expansion's (MOTSGOB)
    const char* folder;
};

std::vector<Place> PlacesFor(const std::string& ext) {
    if (ext == ".MAT")
        return {{true, 0, "mat/"},     {true, 0, "3do/mat/"},  {false, 0, "mat\\"},
                {false, 0, "3do\\mat\\"}, {false, 1, "mat\\"}, {false, 1, "3do\\mat\\"}};
    if (ext == ".3DO") return {{true, 0, "3do/"}, {false, 0, "3do\\"}};
    if (ext == ".KEY") return {{true, 0, "/3do/key/"}, {false, 0, "3do\\key\\"}};
    if (ext == ".CMP") return {{true, 0, "misc/cmp/"}, {false, 0, "misc\\cmp\\"}};
    if (ext == ".PUP") return {{true, 0, "misc/pup/"}, {false, 0, "misc\\pup\\"}};
    return {};
}

} // namespace

std::unique_ptr<TFile> FindResource(const std::string& name) {
    if (std::string path = FindDiskPath(ProjectDir + name); !path.empty()) return OpenFile(path);
    for (const Place& place : PlacesFor(UpperCase(PathExt(name)))) {
        if (place.project) {
            std::string path = FindDiskPath(ProjectDir + place.folder + name);
            if (!path.empty()) return OpenFile(path);
        } else {
            const std::string& container = place.container == 0 ? Settings.JKGOB : Settings.MOTSGOB;
            std::string stored = std::string(place.folder) + name;
            if (ContainerHas(container, stored)) return OpenFile(container + ">" + stored);
        }
    }
    std::string message = "Can't find file anywhere: " + name;
    LogMessage(mtWarning, message);
    throw Error(message);
}

} // namespace vorlin
