#include "edit/recovery.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "support/FileOperations.h"
#include "support/errors.h"
#include "support/misc_utils.h"

namespace fs = std::filesystem;

namespace vorlin {

TKeySnapshot TKeySnapshot::Of(const TKEYFile& doc) {
    TKeySnapshot s;
    s.Name = doc.Name;
    s.FullName = doc.FullName;
    s.Header = doc.Header();
    s.Markers.reserve(size_t(doc.Markers.Count()));
    for (const auto& m : doc.Markers)
        s.Markers.push_back(*m);
    s.Nodes.resize(size_t(doc.Nodes.Count()));
    for (int n = 0; n < doc.Nodes.Count(); ++n) {
        const TKEYNode& from = doc.Nodes[n];
        Node& to = s.Nodes[size_t(n)];
        to.MeshName = from.MeshName;
        to.NodeNumber = from.NodeNumber;
        to.Entries.reserve(size_t(from.Entries.Count()));
        for (const auto& e : from.Entries)
            to.Entries.push_back(*e);
    }
    return s;
}

std::unique_ptr<TKEYFile> TKeySnapshot::Document() const {
    auto doc = std::make_unique<TKEYFile>();
    doc->Name = Name;
    doc->FullName = FullName;
    doc->SetHeader(Header);
    for (const TKEYMarker& m : Markers)
        doc->Markers.Add(std::make_shared<TKEYMarker>(m));
    for (const Node& from : Nodes) {
        TKEYNode& to = doc->Nodes.Add();
        to.MeshName = from.MeshName;
        to.NodeNumber = from.NodeNumber;
        for (const TKEYEntry& e : from.Entries)
            to.Entries.Add(std::make_shared<TKEYEntry>(e));
    }
    return doc;
}

std::string TRecoveryFolder::KeyPath(const std::string& session) const {
    return dir_ + "/" + session + ".key";
}

std::string TRecoveryFolder::RecordPath(const std::string& session) const {
    return dir_ + "/" + session + ".json";
}

std::string TRecoveryFolder::LockPath(const std::string& session) const {
    return dir_ + "/" + session + ".lock";
}

std::string TRecoveryFolder::NewSession(int64_t pid, int64_t msecsSinceEpoch) {
    return "session-" + std::to_string(pid) + "-" + std::to_string(msecsSinceEpoch);
}

std::vector<std::string> TRecoveryFolder::Sessions() const {
    std::vector<std::string> sessions;
    std::error_code ec;
    for (fs::directory_iterator it(dir_, ec), end; !ec && it != end; it.increment(ec)) {
        if (!it->is_regular_file(ec)) continue;
        const fs::path p = it->path();
        if (p.extension() == ".key" || p.extension() == ".json")
            sessions.push_back(p.stem().string());
    }
    std::sort(sessions.begin(), sessions.end());
    sessions.erase(std::unique(sessions.begin(), sessions.end()), sessions.end());
    return sessions;
}

std::vector<std::string> TRecoveryFolder::BareLocks() const {
    const std::vector<std::string> sessions = Sessions();
    std::vector<std::string> locks;
    std::error_code ec;
    for (fs::directory_iterator it(dir_, ec), end; !ec && it != end; it.increment(ec)) {
        const fs::path p = it->path();
        if (p.extension() == ".lock" &&
            !std::binary_search(sessions.begin(), sessions.end(), p.stem().string()))
            locks.push_back(p.stem().string());
    }
    std::sort(locks.begin(), locks.end());
    return locks;
}

void TRecoveryFolder::Write(const std::string& session, const std::string& keyText,
                            const std::string& record) const {
    std::error_code ec;
    fs::create_directories(dir_, ec);
    ReplaceFileContents(KeyPath(session), keyText);
    ReplaceFileContents(RecordPath(session), record);
}

std::unique_ptr<TKEYFile> TRecoveryFolder::ReadKey(const std::string& session) const {
    // The writer's first line and its last line end: anything else was not written whole by
    // autosave.
    {
        std::ifstream in(KeyPath(session), std::ios::binary);
        std::string start(11, '\0');
        if (!in.read(start.data(), std::streamsize(start.size())) || start != "# KEYFRAME ")
            throw Error("it does not begin as the KEY writer begins a file");
        char last = 0;
        if (!in.seekg(-1, std::ios::end) || !in.get(last) || last != '\n')
            throw Error("it ends inside a line: the file was cut short");
    }
    TKeptMessages warnings;
    bool whole = false;
    std::unique_ptr<TKEYFile> doc = TKEYFile::CreateFromFile(KeyPath(session), &whole);
    if (!warnings.Kept.empty()) throw Error(warnings.Kept.front());
    if (!whole)
        throw Error("it ends before the nodes, entries or markers it announces: the file was cut "
                    "short");
    return doc;
}

void TRecoveryFolder::Remove(const std::string& session) const {
    std::error_code ec;
    fs::remove(RecordPath(session), ec);
    fs::remove(KeyPath(session), ec);
}

std::string TRecoveryFolder::SetAside(const std::string& session) const {
    const std::string aside = dir_ + "/unreadable";
    std::error_code ec;
    fs::create_directories(aside, ec);
    std::string moved;
    for (const std::string& from : {KeyPath(session), RecordPath(session)}) {
        if (!fs::exists(from, ec)) continue;
        const std::string to = aside + "/" + fs::path(from).filename().string();
        fs::rename(from, to, ec);
        if (ec) throw Error("Cannot move " + from + " to " + aside + ": " + ec.message());
        if (moved.empty() && from == KeyPath(session)) moved = to;
    }
    return moved;
}

} // namespace vorlin
