// Helpers for tests: temporary folders with real files, GOB container builder, a message sink
// that records what the core reports.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "key/u_key.h"
#include "support/misc_utils.h"

namespace vorlin::test {

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // The full path of a relative name (folders with "/").
    std::string file(const std::string& relative) const;
    // Writes bytes to a relative name, creating its folders; returns the full path.
    std::string write(const std::string& relative, const std::string& bytes) const;

private:
    std::filesystem::path path_;
};

std::string ReadAll(const std::string& path);
// Writes bytes to a file, replacing it (for refreshing golden files on request).
void WriteAll(const std::string& path, const std::string& bytes);

// One stored file of a GOB container.
struct GobEntry {
    std::string name; // with "\" between folders
    std::string data;
};
// The bytes of a GOB 2.0 container holding the entries in order.
std::string BuildGob(const std::vector<GobEntry>& entries);

// MAT materials: a colour material, and a texture with `records` 40-byte records before its
// picture header; pixels are the raw row bytes (1 or 2 per pixel).
std::string BuildColourMat(uint8_t fillIndex);
std::string BuildTextureMat(uint16_t width, uint16_t height, int bitsPerPixel, int records,
                            const std::string& pixels);
// A CMP colour map of 17216 bytes: 64 header bytes, the palette (768 bytes, padded with zeros),
// 63 tables of 256 zero bytes, then the light table (256 bytes, padded with zeros).
std::string BuildCmp(const std::string& palette, const std::string& lightTable);

// The frames of a KEY node's entries, in order.
std::vector<int> EntryFrames(const TKEYFile& doc, int node);

// Records every message and answers questions with a fixed reply; installed for its lifetime.
class RecordingSink : public MessageSink {
public:
    RecordingSink();
    ~RecordingSink() override;
    void Log(TMsgType kind, const std::string& text) override;
    int Ask(const std::string& text, const std::string& caption, unsigned flags) override;

    std::vector<std::pair<TMsgType, std::string>> messages;
    std::vector<std::string> warnings() const;
    int answer = IDOK;

private:
    MessageSink* previous_;
};

// Switches the process to a German locale (decimal comma) for its lifetime. Fails the test
// through ok() when the locale is not installed (scripts/setup.sh generates it).
class CommaLocale {
public:
    CommaLocale();
    ~CommaLocale();
    bool ok() const { return ok_; }

private:
    std::string saved_;
    bool ok_;
};

// The output and exit status of a command run through the shell.
struct RunResult {
    int status;
    std::string out;
    std::string err;
};
RunResult RunCommand(const std::string& commandLine);
// What the function returns when run as an ordinary user: in this process when it is not
// root's, else in a child process as nobody (root may read and write anything, which hides the
// permissions a test is about).
std::string AsOrdinaryUser(const std::function<std::string()>& run);
std::string ShellQuote(const std::string& s);

} // namespace vorlin::test
