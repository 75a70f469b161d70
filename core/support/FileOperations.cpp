#include "support/FileOperations.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>

#include "settings/GlobalVars.h"
#include "support/Containers.h"
#include "support/misc_utils.h"

namespace vorlin {

namespace {

bool IsSeparator(char c) {
    return c == '/' || c == '\\';
}

// Index just past the folder part: after the last separator, the first ">" counting as one.
size_t NameStart(std::string_view path) {
    size_t gt = path.find('>');
    size_t start = 0;
    for (size_t i = 0; i < path.size(); ++i)
        if (IsSeparator(path[i]) || i == gt) start = i + 1;
    return start;
}

} // namespace

bool IsContainerPath(std::string_view path) {
    return path.find('>') != std::string_view::npos;
}

std::string PathDir(std::string_view path) {
    return std::string(path.substr(0, NameStart(path)));
}

std::string PathName(std::string_view path) {
    return std::string(path.substr(NameStart(path)));
}

std::string PathExt(std::string_view path) {
    std::string_view name = path.substr(NameStart(path));
    size_t dot = name.rfind('.');
    return dot == std::string_view::npos ? std::string() : std::string(name.substr(dot));
}

bool DiskFileExists(const std::string& path) {
    struct stat st;
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

std::string GivenPath(const std::string& path) {
    if (path.empty() || IsContainerPath(path)) return path;
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return path;
    const std::filesystem::path absolute = std::filesystem::absolute(path, ec);
    return ec ? path : absolute.lexically_normal().string();
}

namespace {

bool PathExists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

// The names of one folder, by their upper-case form. A folder's modification time changes
// whenever an entry is added, removed or renamed, so a listing stays good while that time does.
// Time stamps are coarse on some file systems, and a listing taken within a moment of the
// folder's last change could miss a change in the same tick: such a listing is not kept.
struct FolderListing {
    int64_t mtimeNs = 0;
    std::unordered_map<std::string, std::string> names; // upper case -> first in name order
};

std::unordered_map<std::string, FolderListing>& ListingCache() {
    static std::unordered_map<std::string, FolderListing> cache;
    return cache;
}

constexpr int64_t kSettledNs = 2'000'000'000;

int64_t NowNs() {
    timespec ts;
    ::clock_gettime(CLOCK_REALTIME, &ts);
    return int64_t(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

// The entry of folder whose name equals name ignoring case; the first in name order when
// several do, so the answer does not depend on the order the folder lists them in.
std::string MatchInFolder(const std::string& folder, const std::string& name) {
    const std::string dirPath = folder.empty() ? "." : folder;
    struct stat st;
    if (::stat(dirPath.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return {};
    const int64_t mtime = int64_t(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec;
    auto& cache = ListingCache();
    auto it = cache.find(dirPath);
    if (it == cache.end() || it->second.mtimeNs != mtime) {
        FolderListing listing;
        listing.mtimeNs = mtime;
        DIR* dir = ::opendir(dirPath.c_str());
        if (!dir) return {};
        while (dirent* e = ::readdir(dir)) {
            std::string entry(e->d_name);
            auto [slot, added] = listing.names.emplace(UpperCase(entry), entry);
            if (!added && entry < slot->second) slot->second = entry;
        }
        ::closedir(dir);
        if (it != cache.end()) cache.erase(it);
        if (NowNs() - mtime < kSettledNs) {
            auto found = listing.names.find(UpperCase(name));
            return found == listing.names.end() ? std::string() : found->second;
        }
        if (cache.size() > 256) cache.clear(); // bounded; listings are read again on demand
        it = cache.emplace(dirPath, std::move(listing)).first;
    }
    auto found = it->second.names.find(UpperCase(name));
    return found == it->second.names.end() ? std::string() : found->second;
}

bool IsDirectory(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Splits at the last separator: the folder (with its separator; "/" for the root) and the name.
void SplitLast(const std::string& path, std::string& folder, std::string& name) {
    size_t cut = path.find_last_of("/\\");
    folder = cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
    name = cut == std::string::npos ? path : path.substr(cut + 1);
}

// The folder that exists for path, its components matched ignoring case where the exact ones
// do not exist. The result ends with "/", or is empty for the current folder.
bool FindDiskFolder(std::string path, std::string& resolved) {
    while (path.size() > 1 && (path.back() == '/' || path.back() == '\\'))
        path.pop_back();
    if (path.empty() || path == ".") {
        resolved.clear();
        return true;
    }
    if (IsDirectory(path)) {
        resolved = path == "/" ? path : path + "/";
        return true;
    }
    std::string parent, name, base;
    SplitLast(path, parent, name);
    if (!FindDiskFolder(parent, base)) return false;
    std::string match = MatchInFolder(base, name);
    if (match.empty() || !IsDirectory(base + match)) return false;
    resolved = base + match + "/";
    return true;
}

} // namespace

std::string FindDiskPath(const std::string& path) {
    if (path.empty()) return {};
    if (DiskFileExists(path)) return path;
    std::string parent, name, folder;
    SplitLast(path, parent, name);
    if (name.empty() || !FindDiskFolder(parent, folder)) return {};
    std::string match = MatchInFolder(folder, name);
    if (match.empty()) return {};
    return DiskFileExists(folder + match) ? folder + match : std::string();
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

// The cached container of a path: the same path first. Two containers whose names differ only
// in case are two files here; a name that matches no file exactly may still name a cached one
// ignoring case, as every other name on disk is found.
CachedContainer* FindCached(const std::string& path) {
    for (CachedContainer& c : TheCache().items)
        if (c.path == path) return &c;
    if (PathExists(path)) return nullptr;
    for (CachedContainer& c : TheCache().items)
        if (SameText(c.path, path)) return &c;
    return nullptr;
}

} // namespace

const std::vector<CachedContainer>& ContainerCache() {
    return TheCache().items;
}

void ClearContainerCache() {
    TheCache().items.clear();
}

TContainerFile& OpenCachedContainer(const std::string& path) {
    if (CachedContainer* cached = FindCached(path)) return *cached->container;
    // Open first: a container that fails to open leaves the cache as it was.
    std::unique_ptr<TContainerFile> container = OpenContainerFile(path);
    auto& items = TheCache().items;
    if (items.size() > kContainerCacheLimit) {
        auto victim = std::find_if(items.begin(), items.end(),
                                   [](const CachedContainer& c) { return !c.container->Pinned; });
        if (victim != items.end()) items.erase(victim);
    }
    items.push_back({path, std::move(container)});
    return *items.back().container;
}

std::unique_ptr<TFile> OpenFile(const std::string& path) {
    size_t gt = path.find('>');
    if (gt == std::string::npos) return std::make_unique<TDiskFile>(path);
    return OpenCachedContainer(path.substr(0, gt)).OpenFile(path.substr(gt + 1), false);
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
        return {{true, 0, "mat/"},        {true, 0, "3do/mat/"}, {false, 0, "mat\\"},
                {false, 0, "3do\\mat\\"}, {false, 1, "mat\\"},   {false, 1, "3do\\mat\\"}};
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

// ---------------------------------------------------------------------------------------------
// Listing a container folder for the file-open dialog

bool MaskMatches(std::string_view mask, std::string_view name) {
    if (mask.empty()) return true;
    const size_t star = mask.find('*');
    const std::string_view prefix = mask.substr(0, star);
    const std::string_view suffix =
        star == std::string_view::npos ? std::string_view() : mask.substr(star + 1);
    if (!prefix.empty() && name.substr(0, prefix.size()) != prefix) return false;
    return suffix.empty() || name.find(suffix) != std::string_view::npos;
}

namespace {

std::string LowerCase(std::string_view text) {
    std::string s(text);
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return s;
}

} // namespace

std::vector<TListedName> MaskedListing(TContainerFile& container, const std::string& mask) {
    const std::string lowMask = LowerCase(mask);
    std::vector<TListedName> out;
    // The way up and the folders stay under any mask: the mask picks files, and a folder
    // hidden by it could not be entered to look for them.
    if (!container.CurDir.empty()) out.push_back({"[..]", nullptr});
    for (const std::string& dir : container.ListDirs())
        out.push_back({"[" + dir + "]", nullptr});
    for (const TFileItem& file : container.ListFiles())
        if (MaskMatches(lowMask, LowerCase(file.name))) out.push_back({file.name, file.info});
    return out;
}

std::string ParentFolder(const std::string& folder) {
    const size_t slash = folder.rfind('\\');
    return slash == std::string::npos ? std::string() : folder.substr(0, slash);
}

namespace {

// Names of temporary files differ between threads of one process (autosave writes while the
// user saves).
uint64_t NextTempNumber() {
    static std::atomic<uint64_t> next{uint64_t(std::time(nullptr)) << 16};
    return next++;
}

// The temporary file a write makes beside its target: ".NAME.PID-NUMBER".
std::string TempName(const std::string& name, int64_t pid, uint64_t number) {
    return "." + name + "." + std::to_string(pid) + "-" + std::to_string(number);
}

// The process that made a temporary file of that form, or 0 when the name is not one: only the
// files this program writes (KEY files and the recovery records) count.
int64_t TempFileOwner(std::string_view name) {
    if (name.size() < 2 || name[0] != '.') return 0;
    const size_t dash = name.rfind('-');
    const size_t dot = name.rfind('.', dash);
    if (dash == std::string_view::npos || dot == std::string_view::npos || dot == 0) return 0;
    auto digits = [](std::string_view d) {
        return !d.empty() &&
               std::all_of(d.begin(), d.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    const std::string_view pid = name.substr(dot + 1, dash - dot - 1);
    if (!digits(pid) || !digits(name.substr(dash + 1))) return 0;
    const std::string ext = UpperCase(PathExt(name.substr(1, dot - 1)));
    if (ext != ".KEY" && ext != ".JSON") return 0;
    int64_t owner = 0;
    const auto r = std::from_chars(pid.data(), pid.data() + pid.size(), owner);
    return r.ec == std::errc() ? owner : 0;
}

} // namespace

void RemoveStaleTempFiles(const std::string& dir) {
    DIR* d = ::opendir(dir.empty() ? "." : dir.c_str());
    if (!d) return;
    std::vector<std::string> stale;
    while (const dirent* e = ::readdir(d)) {
        const int64_t owner = TempFileOwner(e->d_name);
        // A writer still running keeps its file: it is about to become the target.
        if (owner > 0 && owner != ::getpid() && ::kill(pid_t(owner), 0) != 0 && errno == ESRCH)
            stale.emplace_back(e->d_name);
    }
    ::closedir(d);
    for (const std::string& name : stale)
        ::unlink((dir + name).c_str());
}

TFileReplacement::TFileReplacement(const std::string& target) : target_(target), path_(target) {
    struct stat st;
    bool exists = ::lstat(path_.c_str(), &st) == 0;
    if (exists && S_ISLNK(st.st_mode)) {
        // Replace the file the link points to, not the link.
        if (char* real = ::realpath(target.c_str(), nullptr)) {
            path_ = real;
            std::free(real);
        }
        exists = ::stat(path_.c_str(), &st) == 0;
    }
    if (exists) {
        if (S_ISDIR(st.st_mode)) RaiseIOError(EISDIR, TFileAction::Write, target_);
        // Renaming over a file needs only the folder's permission; refuse what the user could
        // not have written in place.
        if (::access(path_.c_str(), W_OK) != 0) RaiseIOError(errno, TFileAction::Write, target_);
    }
    const std::string dir = PathDir(path_);
    // Created with the usual permissions (the process's umask applies), in the target's folder
    // so that the rename is atomic.
    for (int attempt = 0; fd_ < 0; ++attempt) {
        tmp_ = dir + TempName(PathName(path_), ::getpid(), NextTempNumber());
        fd_ = ::open(tmp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd_ >= 0 || (errno == EEXIST && attempt < 100)) continue;
        const int e = errno;
        tmp_.clear();
        if (e == EACCES || e == EPERM)
            throw IOError("Cannot write " + target_ + ": no permission to create files in " +
                              (dir.empty() ? std::string("the current folder") : dir),
                          e);
        RaiseIOError(e, TFileAction::Write, target_);
    }
    if (exists) {
        if (::fchown(fd_, st.st_uid, st.st_gid) != 0) {
            // Another owner cannot be kept by an ordinary user; the file becomes theirs.
        }
        if (::fchmod(fd_, st.st_mode & 07777) != 0) Fail(errno);
    }
}

TFileReplacement::~TFileReplacement() {
    if (fd_ >= 0) ::close(fd_);
    if (!tmp_.empty()) ::unlink(tmp_.c_str());
}

void TFileReplacement::Fail(int e) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (!tmp_.empty()) ::unlink(tmp_.c_str());
    tmp_.clear();
    RaiseIOError(e, TFileAction::Write, target_);
}

void TFileReplacement::Write(std::string_view bytes) {
    if (fd_ < 0) RaiseIOError(EBADF, TFileAction::Write, target_);
    // Small pieces (an encoder's) gather into large writes.
    constexpr size_t kChunk = 1 << 20;
    if (pending_.size() + bytes.size() < kChunk) {
        pending_.append(bytes);
        return;
    }
    Flush();
    pending_.assign(bytes);
    Flush();
}

void TFileReplacement::Flush() {
    size_t done = 0;
    while (done < pending_.size()) {
        const ssize_t n = ::write(fd_, pending_.data() + done, pending_.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            Fail(errno);
        }
        done += size_t(n);
    }
    pending_.clear();
}

void TFileReplacement::Commit() {
    if (fd_ < 0) RaiseIOError(EBADF, TFileAction::Write, target_);
    Flush();
    // On the disk before it takes the target's name: a power cut then leaves the old file or
    // the new one, never a name over missing data. A full disk shows here at the latest.
    if (::fsync(fd_) != 0 && errno != EINVAL) Fail(errno);
    const int closed = ::close(fd_);
    fd_ = -1;
    if (closed != 0) Fail(errno);
    if (::rename(tmp_.c_str(), path_.c_str()) != 0) Fail(errno);
    tmp_.clear();
    // And the rename itself, which lives in the folder.
    const std::string dir = PathDir(path_);
    const int folder = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        (void)::fsync(folder);
        ::close(folder);
    }
    // A write killed in the middle left its temporary file, as large as the document.
    RemoveStaleTempFiles(dir);
}

void ReplaceFileContents(const std::string& target, std::string_view bytes) {
    TFileReplacement file(target);
    file.Write(bytes);
    file.Commit();
}

namespace {

std::string DiskIdentity(const std::string& path) {
    struct stat st;
    if (path.empty() || ::stat(path.c_str(), &st) != 0) return {};
    return std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino);
}

} // namespace

std::string FileIdentity(const std::string& path) {
    const size_t gt = path.find('>');
    if (gt == std::string::npos) return DiskIdentity(path);
    const std::string container = DiskIdentity(path.substr(0, gt));
    if (container.empty()) return {};
    std::string stored = UpperCase(path.substr(gt + 1));
    std::replace(stored.begin(), stored.end(), '/', '\\');
    return container + ">" + stored;
}

bool SameFile(const std::string& a, const std::string& b) {
    const std::string id = FileIdentity(a);
    return !id.empty() && id == FileIdentity(b);
}

} // namespace vorlin
