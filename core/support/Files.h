// The file interface every resource reader uses, its disk implementation, the buffered text
// line reader, the change control, and the container classes built on them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "support/errors.h"

namespace vorlin {

// A readable file: a loose file on disk or a file stored inside a container. Created open at
// position 0. Operations a class does not provide raise AbstractError.
class TFile {
public:
    virtual ~TFile() = default;
    virtual std::string GetFullName() const;
    virtual std::string GetName() const;
    virtual int64_t Read(void* buffer, int64_t count);
    virtual int64_t Write(const void* buffer, int64_t count);
    virtual int64_t FileSize();
    virtual int64_t FilePos();
    virtual void Seek(int64_t position);
    // Closes the handle; the object is released by its owner.
    virtual void Close();
};

// Reads up to count bytes, never past the file's end (FileSize - FilePos); returns how many.
// Every reader goes through this or ReadBlock, so that a file stored inside a container never
// yields the bytes of the file stored after it.
int64_t ReadAvailable(TFile& file, void* buffer, int64_t count);
// Reads exactly count bytes or raises the file's CutShortError.
void ReadBlock(TFile& file, void* buffer, int64_t count);
// The bytes from the position to the end, as many as there really are (read in pieces, so a
// size that a damaged directory claims reserves nothing).
std::string ReadRest(TFile& file);

// What was being done to a file when it failed.
enum class TFileAction { Read, Write };
// The I/O error for an errno value: the file and what happened in words, "Cannot read
// dir.key: it is a folder", "Cannot write out.png: no space left on the device". Every failed
// file operation is reported through these, so the editor and the command line say the same.
IOError MakeIOError(int errnoValue, TFileAction action, const std::string& path);
[[noreturn]] void RaiseIOError(int errnoValue, TFileAction action, const std::string& path);
// A file that ends before the data it announces (code 100): "Cannot read PATH: the file is
// cut short (it ends inside its data)".
IOError CutShortError(const std::string& path);

// A disk file opened for reading only.
class TDiskFile : public TFile {
public:
    explicit TDiskFile(const std::string& path);
    ~TDiskFile() override;
    TDiskFile(const TDiskFile&) = delete;
    TDiskFile& operator=(const TDiskFile&) = delete;

    std::string GetFullName() const override { return path_; }
    std::string GetName() const override;
    int64_t Read(void* buffer, int64_t count) override;
    int64_t FileSize() override;
    int64_t FilePos() override;
    void Seek(int64_t position) override;
    void Close() override;

private:
    [[noreturn]] void Fail(int errnoValue) const;
    std::string path_;
    int fd_ = -1;
};

// Bytes already in memory read as a file (a file read whole before it is parsed elsewhere).
class TMemoryFile : public TFile {
public:
    TMemoryFile(std::string bytes, std::string fullName)
        : bytes_(std::move(bytes)), name_(std::move(fullName)) {}
    std::string GetFullName() const override { return name_; }
    int64_t Read(void* buffer, int64_t count) override;
    int64_t FileSize() override { return int64_t(bytes_.size()); }
    int64_t FilePos() override { return pos_; }
    void Seek(int64_t position) override;
    void Close() override {}

private:
    std::string bytes_;
    std::string name_;
    int64_t pos_ = 0;
};

// Reads lines from a file in chunks of 8096 bytes. Lines end at a line feed, optionally after
// a carriage return; a line is cut to its first 4096 bytes and the rest of it discarded; a line
// holding a zero byte ends there, as a C string does for the game, and the next line reads on.
class TTextFile {
public:
    static constexpr int kBufferSize = 8096;
    static constexpr int kMaxLine = 4096;

    explicit TTextFile(std::unique_ptr<TFile> file);
    ~TTextFile();
    TTextFile(const TTextFile&) = delete;
    TTextFile& operator=(const TTextFile&) = delete;

    // The next line without its line end; empty at the end of the file.
    void ReadLn(std::string& line);
    std::string ReadLn();
    bool Eof() const { return count_ == 0; }
    TFile& Source() { return *source_; }

private:
    void Fill();
    // Index of the first line feed at or after from, or -1.
    int FindLineFeed(int from) const;
    // Cuts a line at its first zero byte and its line end (a carriage return before it).
    static void EndLine(std::string& line, bool dropLineFeed);
    void SkipToNextLine();

    std::unique_ptr<TFile> source_;
    uint16_t pos_ = 0;
    uint16_t count_ = 0;
    char buffer_[kBufferSize + 1];
};

// Remembers a file's size and modification time, to notice when someone else changed it.
class TFileChangeControl {
public:
    void SetFile(const std::string& path);
    // True when the size or time differs from the snapshot, or the file is gone.
    bool Changed() const;
    const std::string& Path() const { return path_; }

private:
    struct Snapshot {
        bool exists = false;
        int64_t size = 0;
        int64_t mtimeNs = 0;
    };
    static Snapshot Take(const std::string& path);
    std::string path_;
    Snapshot snapshot_;
};

// One directory entry of a container.
class TFileInfo {
public:
    TFileInfo(uint32_t size, uint32_t offset) : Size(size), Offset(offset) {}
    virtual ~TFileInfo() = default;
    // Column 1 is the size in decimal; the name (column 0) is held by the container's list.
    virtual std::string GetColumn(int n) const;

    uint32_t Size;
    uint32_t Offset;
};

// A stored name and its directory entry. The entry is shared so that a listing handed out
// earlier stays valid after the directory was read again.
struct TFileItem {
    std::string name;
    std::shared_ptr<TFileInfo> info;
};

class TSubFile;

// A read-only archive of named files.
class TContainerFile {
public:
    explicit TContainerFile(std::string path);
    virtual ~TContainerFile() = default;
    TContainerFile(const TContainerFile&) = delete;
    TContainerFile& operator=(const TContainerFile&) = delete;

    virtual std::string GetFullName() const { return Path; }
    virtual std::unique_ptr<TFile> OpenFile(const std::string& name, bool forWriting = false);
    virtual std::unique_ptr<TFile> OpenFileByFI(const TFileInfo* info);
    virtual bool ChDir(const std::string& folder);
    virtual const std::vector<TFileItem>& ListFiles();
    virtual const std::vector<std::string>& ListDirs();
    virtual std::shared_ptr<TFileInfo> GetFileInfo(const std::string& name) const;
    virtual void ReadDirectory() = 0;

    // The two-column listing of the file-open dialog.
    int ColumnCount() const { return 2; }
    std::string ColumnTitle(int n) const;
    int ColumnWidth(int n) const { return n == 0 ? 13 : 10; }
    std::string GetName() const;

    bool Pinned = false;
    const std::string Path;
    std::vector<TFileItem> FileList;
    std::vector<std::string> DirList;
    std::vector<TFileItem> FileListing;
    std::vector<std::string> DirListing;
    TFileChangeControl ChangeControl;
    std::string CurDir;

protected:
    // Must be called by the derived constructor: takes the snapshot and reads the directory.
    void Open();
    // Clears FileList and its index (DirList stays).
    void ClearFiles();
    void AddFile(std::string name, uint32_t size, uint32_t offset);
    // Reads the directory again when the file changed on disk since it was last read.
    void RefreshIfChanged();

private:
    int IndexOfFile(std::string_view name) const;
    std::unordered_map<std::string, int> fileIndex_; // upper-cased name -> first item
    std::unordered_map<std::string, int> dirIndex_;  // upper-cased folder -> item
};

// A file stored inside a container, read through a handle of its own on the container file.
class TSubFile : public TFile {
public:
    TSubFile(const std::string& containerPath, uint32_t size, uint32_t offset,
             const std::string& storedName);
    std::string GetFullName() const override { return fullName_; }
    std::string GetName() const override;
    // Stops at the stored file's end: the bytes after it belong to another file.
    int64_t Read(void* buffer, int64_t count) override;
    int64_t FileSize() override { return size_; }
    int64_t FilePos() override;
    void Seek(int64_t position) override;
    void Close() override;

private:
    int64_t offset_;
    int64_t size_;
    std::unique_ptr<TDiskFile> file_;
    std::string fullName_;
};

} // namespace vorlin
