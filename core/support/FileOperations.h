// Path syntax, opening files on disk or inside containers, the container cache, and the search
// that turns a bare resource name into an open file.
//
// A path with ">" names a file inside a container: the container's disk path, ">", and the
// stored name with "\" between folders. Disk paths use "/"; the helpers below accept both
// separators.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "support/Files.h"

namespace vorlin {

bool IsContainerPath(std::string_view path);
// The extension of the last component, dot included (".MAT"); empty when there is none.
std::string PathExt(std::string_view path);
// Everything up to and including the last separator ("/", "\" or the first ">", which stays).
std::string PathDir(std::string_view path);
// The last component.
std::string PathName(std::string_view path);

// Container kinds, decided from the extension and, for .gob, the first four bytes.
enum ContainerKindValue : int {
    ckUnknown = 0,
    ckGob1 = 1,
    ckGob2 = 2,
    ckGoo = 3,
    ckWad = 4,
    ckLab = 5,
    ckLfd = 6,
    ckMissing = 7,
};
int ContainerKind(const std::string& path);
// A new container for a .gob (GOB 2.0) or .goo file; otherwise path + " not found" or
// path + " is not a container".
std::unique_ptr<TContainerFile> OpenContainerFile(const std::string& path);

// Opens a disk path or a container path; containers are kept in the cache.
std::unique_ptr<TFile> OpenFile(const std::string& path);
// The cached container for the path, opened and cached (unpinned) if needed, as OpenFile does.
TContainerFile& OpenCachedContainer(const std::string& path);
// The cached container for the path, opened if needed, and pinned so that it is never evicted.
TContainerFile& OpenPinnedContainer(const std::string& path);
// Whether the container can be opened and holds the stored name. Never raises.
bool ContainerHas(const std::string& container, const std::string& name);
// ProjectDir + name when that disk file exists; otherwise nullptr.
std::unique_ptr<TFile> ProjectFile(const std::string& name);
// Finds a bare resource name in the project folder and the game's containers, by the search
// order of its extension; raises "Can't find file anywhere: " + name after logging it.
std::unique_ptr<TFile> FindResource(const std::string& name);

// The disk path that exists for path: path itself, or else the path whose components match it
// ignoring case (a game folder copied from elsewhere keeps names like Resource/Res2.gob).
// Empty when there is none.
std::string FindDiskPath(const std::string& path);
bool DiskFileExists(const std::string& path);
// A file named on a command line: the disk file it names from the current folder when there
// is one (as a shell user means "walk.key"), made absolute; otherwise the path as given (a
// container path, or a bare resource name for the search).
std::string GivenPath(const std::string& path);
// A file's new contents, written to a temporary file beside it and put in its place by Commit
// once all was written, so a failed or abandoned write never damages the file that was there
// (the temporary file is removed again). The target's permissions carry over, and a link is
// followed to the file it points to. The data is synced before the rename and the folder after
// it, so a power cut leaves the old file or the new one. Every failure is an IOError naming
// the target ("Cannot write out.png: no space left on the device").
class TFileReplacement {
public:
    explicit TFileReplacement(const std::string& target);
    ~TFileReplacement();
    TFileReplacement(const TFileReplacement&) = delete;
    TFileReplacement& operator=(const TFileReplacement&) = delete;

    void Write(std::string_view bytes);
    void Commit();
    const std::string& Target() const { return target_; }

private:
    void Flush();
    [[noreturn]] void Fail(int errnoValue);
    std::string target_; // as the caller named it, for messages
    std::string path_;   // the file replaced: the target, or the file its link points to
    std::string tmp_;
    std::string pending_;
    int fd_ = -1;
};
// The whole file in one step, through a TFileReplacement.
void ReplaceFileContents(const std::string& target, std::string_view bytes);

// What a path names, the same for every way of naming one file: the disk file's device and
// inode (links and other spellings included), or that of a container with the stored name
// ignoring case and separators. Empty when there is no such file.
std::string FileIdentity(const std::string& path);
// Whether both paths name one existing file.
bool SameFile(const std::string& a, const std::string& b);
// Removes the temporary files that writes of processes no longer running left in a folder
// (given with its final "/", or empty for the current one); every replacement does so when
// it commits.
void RemoveStaleTempFiles(const std::string& dir);

// Whether a file name matches a mask, both in lower case: the text before the mask's first "*"
// must begin the name and the text after it must occur somewhere in it (an empty part always
// fits); only the first "*" is special, and "?" is an ordinary character.
bool MaskMatches(std::string_view mask, std::string_view name);

// One line of a container folder's listing as the file-open dialog shows it: a file under its
// name with its directory entry, a folder as "[" + name + "]", the parent folder as "[..]".
struct TListedName {
    std::string text;
    std::shared_ptr<TFileInfo> info; // none for a folder
    bool IsFolder() const { return info == nullptr; }
};
// The container's current folder: "[..]" first when it is not the top level, then its folders,
// then those of its files, in listing order, whose lower-cased names match the lower-cased
// mask (the mask picks files; the way up and the folders are always listed).
std::vector<TListedName> MaskedListing(TContainerFile& container, const std::string& mask);
// The folder above a container folder ("3do\key" gives "3do", "3do" gives the top level "").
std::string ParentFolder(const std::string& folder);

// The container cache: at most 11 unpinned containers are kept; all are released at exit.
struct CachedContainer {
    std::string path;
    std::unique_ptr<TContainerFile> container;
};
const std::vector<CachedContainer>& ContainerCache();
void ClearContainerCache();
constexpr size_t kContainerCacheLimit = 10;

} // namespace vorlin
