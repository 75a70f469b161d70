#include "support/Files.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

#include "support/FileOperations.h"
#include "support/misc_utils.h"

namespace vorlin {

// ---- TFile ----

std::string TFile::GetFullName() const {
    throw AbstractError();
}
std::string TFile::GetName() const {
    throw AbstractError();
}
int64_t TFile::Read(void*, int64_t) {
    throw AbstractError();
}
int64_t TFile::Write(const void*, int64_t) {
    throw AbstractError();
}
int64_t TFile::FileSize() {
    throw AbstractError();
}
int64_t TFile::FilePos() {
    throw AbstractError();
}
void TFile::Seek(int64_t) {
    throw AbstractError();
}
void TFile::Close() {
    throw AbstractError();
}

int64_t ReadAvailable(TFile& file, void* buffer, int64_t count) {
    const int64_t left = file.FileSize() - file.FilePos();
    if (count > left) count = left;
    if (count <= 0) return 0;
    return file.Read(buffer, count);
}

namespace {

// The name a file goes by in messages; a file without one is "the file".
std::string NameOf(const TFile& file) {
    try {
        return file.GetFullName();
    } catch (const Error&) {
        return "the file";
    }
}

// What happened, in words a user can act on.
std::string Reason(int e, TFileAction action, const std::string& path) {
    const bool writing = action == TFileAction::Write;
    switch (e) {
    case ENOENT:
        if (!writing) return "there is no such file";
        return PathDir(path).empty() ? "its folder does not exist"
                                     : "the folder " + PathDir(path) + " does not exist";
    case ENOTDIR:
        return "a part of its path is not a folder";
    case EISDIR:
        return "it is a folder";
    case EACCES:
    case EPERM:
        return "permission denied";
    case EROFS:
        return "the file system is read-only";
    case ENOSPC:
        return "no space left on the device";
    case EDQUOT:
        return "the disk quota is used up";
    case EMFILE:
    case ENFILE:
        return "too many files are open";
    case ENAMETOOLONG:
        return "the name is too long";
    case EINVAL:
        return "the name or position is not valid";
    case ELOOP:
        return "too many levels of symbolic links";
    case EIO:
        return "the device reported an input/output error";
    case EFBIG:
        return "the file is too large";
    case EBUSY:
    case ETXTBSY:
        return "the file is busy";
    case EBADF:
        return "the file is not open";
    default: {
        std::string text = std::generic_category().message(e);
        if (!text.empty() && text[0] >= 'A' && text[0] <= 'Z') text[0] = char(text[0] - 'A' + 'a');
        return text + " (error " + std::to_string(e) + ")";
    }
    }
}

} // namespace

void ReadBlock(TFile& file, void* buffer, int64_t count) {
    if (ReadAvailable(file, buffer, count) != count) throw CutShortError(NameOf(file));
}

IOError MakeIOError(int e, TFileAction action, const std::string& path) {
    return IOError(std::string(action == TFileAction::Write ? "Cannot write " : "Cannot read ") +
                       path + ": " + Reason(e, action, path),
                   e);
}

void RaiseIOError(int e, TFileAction action, const std::string& path) {
    throw MakeIOError(e, action, path);
}

IOError CutShortError(const std::string& path) {
    return IOError("Cannot read " + path + ": the file is cut short (it ends inside its data)",
                   100);
}

std::string ReadRest(TFile& file) {
    std::string bytes;
    char buf[65536];
    for (;;) {
        const int64_t n = ReadAvailable(file, buf, sizeof buf);
        if (n <= 0) break;
        bytes.append(buf, size_t(n));
    }
    return bytes;
}

// ---- TMemoryFile ----

int64_t TMemoryFile::Read(void* buffer, int64_t count) {
    const int64_t n = std::clamp<int64_t>(FileSize() - pos_, 0, std::max<int64_t>(count, 0));
    if (n > 0) std::memcpy(buffer, bytes_.data() + pos_, size_t(n));
    pos_ += n;
    return n;
}

void TMemoryFile::Seek(int64_t position) {
    if (position < 0) RaiseIOError(EINVAL, TFileAction::Read, name_);
    pos_ = position;
}

// ---- TDiskFile ----

TDiskFile::TDiskFile(const std::string& path) : path_(path) {
    if (path.empty()) throw IOError("Cannot read a file without a name", ENOENT);
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) Fail(errno);
    struct stat st;
    if (::fstat(fd_, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd_);
        fd_ = -1;
        Fail(EISDIR); // a folder opens on this system, but it is not a file to read
    }
}

TDiskFile::~TDiskFile() {
    if (fd_ >= 0) ::close(fd_);
}

std::string TDiskFile::GetName() const {
    return PathName(path_);
}

int64_t TDiskFile::Read(void* buffer, int64_t count) {
    if (fd_ < 0) Fail(EBADF);
    char* out = static_cast<char*>(buffer);
    int64_t done = 0;
    while (done < count) {
        ssize_t n = ::read(fd_, out + done, static_cast<size_t>(count - done));
        if (n < 0) {
            if (errno == EINTR) continue;
            Fail(errno);
        }
        if (n == 0) break;
        done += n;
    }
    return done;
}

int64_t TDiskFile::FileSize() {
    if (fd_ < 0) Fail(EBADF);
    struct stat st;
    if (::fstat(fd_, &st) != 0) Fail(errno);
    return st.st_size;
}

int64_t TDiskFile::FilePos() {
    if (fd_ < 0) Fail(EBADF);
    off_t p = ::lseek(fd_, 0, SEEK_CUR);
    if (p < 0) Fail(errno);
    return p;
}

void TDiskFile::Seek(int64_t position) {
    if (fd_ < 0) Fail(EBADF);
    if (::lseek(fd_, position, SEEK_SET) < 0) Fail(errno);
}

void TDiskFile::Fail(int e) const {
    RaiseIOError(e, TFileAction::Read, path_);
}

void TDiskFile::Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

// ---- TTextFile ----

TTextFile::TTextFile(std::unique_ptr<TFile> file) : source_(std::move(file)) {
    buffer_[0] = 0;
    source_->Seek(0);
    Fill();
}

TTextFile::~TTextFile() {
    try {
        source_->Close();
    } catch (...) {
        // Closing a read-only file cannot lose data; nothing to report.
    }
}

void TTextFile::Fill() {
    int64_t n = source_->FileSize() - source_->FilePos();
    if (n > kBufferSize) n = kBufferSize;
    if (n < 0) n = 0;
    if (n > 0) n = source_->Read(buffer_, n);
    pos_ = 0;
    count_ = static_cast<uint16_t>(n);
    buffer_[count_] = 0;
}

int TTextFile::FindLineFeed(int from) const {
    if (from >= count_) return -1;
    const char* start = buffer_ + from;
    const void* lf = std::memchr(start, '\n', static_cast<size_t>(count_ - from));
    return lf ? static_cast<int>(static_cast<const char*>(lf) - buffer_) : -1;
}

void TTextFile::EndLine(std::string& line, bool dropLineFeed) {
    if (const size_t nul = line.find('\0'); nul != std::string::npos) {
        line.resize(nul); // what follows the zero byte is not part of the line
        return;
    }
    if (dropLineFeed && !line.empty() && line.back() == '\n') line.pop_back();
    if (!line.empty() && line.back() == '\r') line.pop_back();
}

void TTextFile::SkipToNextLine() {
    int lf = FindLineFeed(pos_);
    while (lf < 0) {
        Fill();
        if (count_ == 0) return;
        lf = FindLineFeed(0);
    }
    pos_ = static_cast<uint16_t>(lf + 1);
    if (pos_ == count_) Fill();
}

void TTextFile::ReadLn(std::string& line) {
    line.clear();
    if (pos_ == count_) Fill();
    if (count_ == 0) return;
    int lf = FindLineFeed(pos_);
    if (lf >= 0) {
        int n = MinInt(lf - pos_, kMaxLine);
        line.assign(buffer_ + pos_, static_cast<size_t>(n));
        EndLine(line, false);
        pos_ = static_cast<uint16_t>(pos_ + n);
        SkipToNextLine();
        return;
    }
    // The line goes on in the next chunk.
    line.assign(buffer_ + pos_, static_cast<size_t>(MinInt(count_ - pos_, kMaxLine)));
    Fill();
    if (count_ == 0) {
        EndLine(line, false);
        return;
    }
    lf = FindLineFeed(0);
    int second = lf >= 0 ? lf : count_;
    second = MinInt(second, kMaxLine - static_cast<int>(line.size()));
    line.append(buffer_, static_cast<size_t>(second));
    pos_ = static_cast<uint16_t>(second);
    EndLine(line, true);
    SkipToNextLine();
}

std::string TTextFile::ReadLn() {
    std::string line;
    ReadLn(line);
    return line;
}

// ---- TFileChangeControl ----

TFileChangeControl::Snapshot TFileChangeControl::Take(const std::string& path) {
    Snapshot s;
    struct stat st;
    if (::stat(path.c_str(), &st) == 0) {
        s.exists = true;
        s.size = st.st_size;
        s.mtimeNs = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    }
    return s;
}

void TFileChangeControl::SetFile(const std::string& path) {
    path_ = path;
    snapshot_ = Take(path);
}

bool TFileChangeControl::Changed() const {
    Snapshot now = Take(path_);
    return !now.exists || !snapshot_.exists || now.size != snapshot_.size ||
           now.mtimeNs != snapshot_.mtimeNs;
}

// ---- TFileInfo ----

std::string TFileInfo::GetColumn(int n) const {
    return n == 1 ? std::to_string(Size) : "";
}

// ---- TContainerFile ----

namespace {

// A stored name as the indexes hold it: ignoring case, and "/" taken for the container's "\"
// (a name typed in a shell, "res2.gob>3do/key/walk.key").
std::string IndexKey(std::string_view name) {
    std::string key = UpperCase(name);
    std::replace(key.begin(), key.end(), '/', '\\');
    return key;
}

} // namespace

TContainerFile::TContainerFile(std::string path) : Path(std::move(path)) {}

void TContainerFile::Open() {
    ChangeControl.SetFile(Path);
    ReadDirectory();
}

void TContainerFile::RefreshIfChanged() {
    if (!ChangeControl.Changed()) return;
    // Renew the snapshot first, so that one re-read answers one change rather than every
    // later operation reading the whole directory again.
    ChangeControl.SetFile(Path);
    ReadDirectory();
}

void TContainerFile::ClearFiles() {
    FileList.clear();
    fileIndex_.clear();
}

void TContainerFile::AddFile(std::string name, uint32_t size, uint32_t offset) {
    int index = static_cast<int>(FileList.size());
    fileIndex_.emplace(IndexKey(name), index); // keeps the first of equal names
    // Every folder on the name's path exists, also one that holds only folders (misc for
    // misc\cmp\x.cmp): otherwise it could be neither listed nor entered.
    for (size_t slash = name.find('\\'); slash != std::string::npos;
         slash = name.find('\\', slash + 1)) {
        if (slash == 0) continue;
        std::string folder = name.substr(0, slash);
        if (dirIndex_.emplace(IndexKey(folder), static_cast<int>(DirList.size())).second)
            DirList.push_back(std::move(folder));
    }
    FileList.push_back({std::move(name), std::make_shared<TFileInfo>(size, offset)});
}

int TContainerFile::IndexOfFile(std::string_view name) const {
    auto it = fileIndex_.find(IndexKey(name));
    return it == fileIndex_.end() ? -1 : it->second;
}

std::unique_ptr<TFile> TContainerFile::OpenFile(const std::string& name, bool forWriting) {
    RefreshIfChanged();
    if (forWriting) throw Error("Cannot write file inside container: " + name);
    int i = IndexOfFile(name);
    if (i < 0) throw Error("File not found: " + name);
    const TFileInfo& fi = *FileList[i].info;
    return std::make_unique<TSubFile>(Path, fi.Size, fi.Offset, name);
}

std::unique_ptr<TFile> TContainerFile::OpenFileByFI(const TFileInfo* info) {
    if (ChangeControl.Changed()) throw Error("File has be changed! reload.");
    for (const TFileItem& item : FileList)
        if (item.info.get() == info)
            return std::make_unique<TSubFile>(Path, info->Size, info->Offset, item.name);
    throw Error("OpenFileByFI: Cannot find file");
}

bool TContainerFile::ChDir(const std::string& folder) {
    if (folder.empty() || dirIndex_.count(IndexKey(folder))) {
        CurDir = folder;
        std::replace(CurDir.begin(), CurDir.end(), '/', '\\');
        return true;
    }
    return false;
}

namespace {

// The remainder of name after prefix (ignoring case) when it names a direct member.
bool DirectMember(const std::string& name, const std::string& prefix, std::string& rest) {
    if (name.size() < prefix.size() ||
        !SameText(std::string_view(name).substr(0, prefix.size()), prefix))
        return false;
    std::string_view r = std::string_view(name).substr(prefix.size());
    if (r.find('\\') != std::string_view::npos) return false;
    rest.assign(r);
    return true;
}

} // namespace

const std::vector<TFileItem>& TContainerFile::ListFiles() {
    RefreshIfChanged();
    FileListing.clear();
    std::string prefix = CurDir.empty() ? std::string() : CurDir + "\\";
    std::string rest;
    for (const TFileItem& item : FileList)
        if (DirectMember(item.name, prefix, rest)) FileListing.push_back({rest, item.info});
    return FileListing;
}

const std::vector<std::string>& TContainerFile::ListDirs() {
    RefreshIfChanged();
    DirListing.clear();
    std::string prefix = CurDir.empty() ? std::string() : CurDir + "\\";
    std::string rest;
    for (const std::string& dir : DirList)
        if (DirectMember(dir, prefix, rest)) DirListing.push_back(rest);
    return DirListing;
}

std::shared_ptr<TFileInfo> TContainerFile::GetFileInfo(const std::string& name) const {
    int i = IndexOfFile(name);
    return i < 0 ? nullptr : FileList[i].info;
}

std::string TContainerFile::ColumnTitle(int n) const {
    if (n == 0) return "Name";
    if (n == 1) return "Size";
    return "";
}

std::string TContainerFile::GetName() const {
    return PathName(Path);
}

// ---- TSubFile ----

TSubFile::TSubFile(const std::string& containerPath, uint32_t size, uint32_t offset,
                   const std::string& storedName)
    : offset_(offset), size_(size), file_(std::make_unique<TDiskFile>(containerPath)),
      fullName_(containerPath + ">" + storedName) {
    file_->Seek(offset_);
}

std::string TSubFile::GetName() const {
    return PathName(fullName_);
}

int64_t TSubFile::Read(void* buffer, int64_t count) {
    const int64_t left = size_ - FilePos();
    if (count > left) count = left;
    if (count <= 0) return 0;
    return file_->Read(buffer, count);
}

int64_t TSubFile::FilePos() {
    return file_->FilePos() - offset_;
}

void TSubFile::Seek(int64_t position) {
    file_->Seek(position + offset_);
}

void TSubFile::Close() {
    file_->Close();
}

} // namespace vorlin
