#include "support/fixtures.h"

#include <atomic>
#include <clocale>
#include <cstdio>
#include <fstream>
#include <random>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace vorlin::test {

namespace fs = std::filesystem;

TempDir::TempDir() {
    static std::atomic<int> counter{0};
    std::random_device rd;
    path_ = fs::temp_directory_path() / ("vorlin-test-" + std::to_string(::getpid()) + "-" +
                                         std::to_string(counter++) + "-" + std::to_string(rd()));
    fs::create_directories(path_);
}

TempDir::~TempDir() {
    std::error_code ec;
    // Restore write permission on anything a test locked, so removal succeeds.
    for (auto it = fs::recursive_directory_iterator(path_, ec); it != fs::end(it); it.increment(ec))
        fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(path_, ec);
}

std::string TempDir::file(const std::string& relative) const {
    return (path_ / relative).string();
}

std::string TempDir::write(const std::string& relative, const std::string& bytes) const {
    fs::path p = path_ / relative;
    fs::create_directories(p.parent_path());
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
    return p.string();
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteAll(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

namespace {

void PutLE32(std::string& out, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out.push_back(char((v >> (8 * i)) & 0xFF));
}

} // namespace

std::string BuildGob(const std::vector<GobEntry>& entries) {
    std::string out = "GOB ";
    PutLE32(out, 0x14);
    PutLE32(out, 0);
    PutLE32(out, uint32_t(entries.size()));
    uint32_t offset = uint32_t(16 + 136 * entries.size());
    for (const GobEntry& e : entries) {
        PutLE32(out, offset);
        PutLE32(out, uint32_t(e.data.size()));
        std::string name = e.name.substr(0, 128);
        name.resize(128, '\0');
        out += name;
        offset += uint32_t(e.data.size());
    }
    for (const GobEntry& e : entries)
        out += e.data;
    return out;
}

std::string BuildColourMat(uint8_t fillIndex) {
    std::string out = "MAT ";
    PutLE32(out, 0x32);
    PutLE32(out, 0); // type 0: a colour
    PutLE32(out, 1);
    PutLE32(out, 0);
    PutLE32(out, 0);
    PutLE32(out, 8);
    out.resize(76, '\0');
    std::string record(24, '\0');
    record[4] = char(fillIndex);
    return out + record;
}

std::string BuildTextureMat(uint16_t width, uint16_t height, int bitsPerPixel, int records,
                            const std::string& pixels) {
    std::string out = "MAT ";
    PutLE32(out, 0x32);
    PutLE32(out, 2); // a texture
    PutLE32(out, uint32_t(records));
    PutLE32(out, 0);
    PutLE32(out, 0);
    PutLE32(out, uint32_t(bitsPerPixel));
    out.resize(76, '\0');
    out += std::string(size_t(40 * records), '\x11');
    PutLE32(out, width);
    PutLE32(out, height);
    out += std::string(16, '\0');
    return out + pixels;
}

std::string BuildCmp(const std::string& palette, const std::string& lightTable) {
    std::string out(64, '\0');
    std::string p = palette.substr(0, 768);
    p.resize(768, '\0');
    out += p;
    out += std::string(63 * 256, '\0');
    std::string l = lightTable.substr(0, 256);
    l.resize(256, '\0');
    return out + l;
}

RecordingSink::RecordingSink() : previous_(SetMessageSink(this)) {}
RecordingSink::~RecordingSink() {
    SetMessageSink(previous_);
}

void RecordingSink::Log(TMsgType kind, const std::string& text) {
    messages.emplace_back(kind, text);
}

int RecordingSink::Ask(const std::string& text, const std::string&, unsigned) {
    messages.emplace_back(mtInfo, "Ask: " + text);
    return answer;
}

std::vector<std::string> RecordingSink::warnings() const {
    std::vector<std::string> w;
    for (const auto& [kind, text] : messages)
        if (kind == mtWarning) w.push_back(text);
    return w;
}

CommaLocale::CommaLocale() {
    const char* old = std::setlocale(LC_ALL, nullptr);
    saved_ = old ? old : "C";
    ok_ = std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr;
}

CommaLocale::~CommaLocale() {
    std::setlocale(LC_ALL, saved_.c_str());
}

std::string ShellQuote(const std::string& s) {
    std::string q = "'";
    for (char c : s) {
        if (c == '\'')
            q += "'\\''";
        else
            q += c;
    }
    return q + "'";
}

RunResult RunCommand(const std::string& commandLine) {
    TempDir tmp;
    std::string out = tmp.file("out"), err = tmp.file("err");
    int raw = std::system((commandLine + " >" + ShellQuote(out) + " 2>" + ShellQuote(err)).c_str());
    RunResult r;
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    r.out = ReadAll(out);
    r.err = ReadAll(err);
    return r;
}

std::string AsOrdinaryUser(const std::function<std::string()>& run) {
    if (::geteuid() != 0) return run();
    int pipe[2];
    if (::pipe(pipe) != 0) return "no pipe";
    const pid_t child = ::fork();
    if (child < 0) return "no child process";
    if (child == 0) {
        ::close(pipe[0]);
        std::string answer = ::setgid(65534) == 0 && ::setuid(65534) == 0 ? run() : "no setuid";
        (void)!::write(pipe[1], answer.data(), answer.size());
        ::_exit(0);
    }
    ::close(pipe[1]);
    std::string answer;
    char buffer[4096];
    for (ssize_t n; (n = ::read(pipe[0], buffer, sizeof buffer)) > 0;)
        answer.append(buffer, size_t(n));
    ::close(pipe[0]);
    ::waitpid(child, nullptr, 0);
    return answer;
}

std::vector<int> EntryFrames(const TKEYFile& doc, int node) {
    std::vector<int> out;
    for (const auto& e : doc.Nodes[node].Entries)
        out.push_back(e->Frame);
    return out;
}

} // namespace vorlin::test
