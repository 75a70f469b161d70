// Recovery of unsaved work: a cheap snapshot of a document that can be written away from the
// editing thread, and the folder of recovery files.
//
// The folder holds, for every editor session that autosaved, SESSION.key (the document as
// the KEY writer writes it) and SESSION.json (whose document it is; written by the window
// layer), and SESSION.lock while that session runs. Files that do not read back are moved to
// unreadable/ and kept there.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "key/u_key.h"

namespace vorlin {

// A document's contents as plain values: taking it copies memory and allocates a handful of
// blocks, where a clone allocates one block per entry.
struct TKeySnapshot {
    struct Node {
        std::string MeshName;
        std::optional<int32_t> NodeNumber;
        std::vector<TKEYEntry> Entries;
    };
    std::string Name, FullName;
    TKEYHeader Header;
    std::vector<TKEYMarker> Markers;
    std::vector<Node> Nodes;

    static TKeySnapshot Of(const TKEYFile& doc);
    // The document again (on any thread).
    std::unique_ptr<TKEYFile> Document() const;
};

class TRecoveryFolder {
public:
    explicit TRecoveryFolder(std::string dir) : dir_(std::move(dir)) {}
    const std::string& Dir() const { return dir_; }
    std::string KeyPath(const std::string& session) const;
    std::string RecordPath(const std::string& session) const;
    std::string LockPath(const std::string& session) const;
    // A name no other session has: the process and the time.
    static std::string NewSession(int64_t pid, int64_t msecsSinceEpoch);

    // The sessions that left a document or a record, by name.
    std::vector<std::string> Sessions() const;
    // The sessions that hold or left a lock file and nothing else (a session killed before or
    // after its copy, or one that saved since).
    std::vector<std::string> BareLocks() const;
    // Writes a session's document and then its record, each replacing the old one whole (a
    // record names a document that is complete).
    void Write(const std::string& session, const std::string& keyText,
               const std::string& record) const;
    // Reads a session's document; raises an error when it does not read back whole: a warning
    // while reading, a last line cut off, or fewer nodes, entries or markers than it announces
    // (the writer never makes such a file, so it was damaged).
    std::unique_ptr<TKEYFile> ReadKey(const std::string& session) const;
    // Deletes a session's document and record.
    void Remove(const std::string& session) const;
    // Moves a session's document and record into unreadable/; returns where the document went
    // (empty when there was none).
    std::string SetAside(const std::string& session) const;

private:
    std::string dir_;
};

} // namespace vorlin
