#pragma once
// What the unit and lab tests share: waiting for an event, capturing what a call prints,
// temporary folders and file contents, and replies as a camera puts them on the wire.

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

namespace testsupport {

// Polls done() until it holds. The time-out only keeps a broken test from hanging: it is
// generous on purpose and never a claim about speed.
template <typename Predicate>
bool WaitFor(Predicate done, int timeoutMs = 20000) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return done();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

// Runs body with the process's stdout going to a file; returns what it printed.
inline std::string CaptureStdout(const std::function<void()>& body) {
    std::fflush(stdout);
    int saved = dup(STDOUT_FILENO);
    FILE* capture = std::tmpfile();
    dup2(fileno(capture), STDOUT_FILENO);
    body();
    std::fflush(stdout);
    dup2(saved, STDOUT_FILENO);
    close(saved);
    std::rewind(capture);
    std::string text;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, capture)) > 0) text.append(buffer, n);
    std::fclose(capture);
    return text;
}

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void WriteFile(const std::string& path, const std::string& contents) {
    std::ofstream(path, std::ios::binary) << contents;
}

// A fresh folder under /tmp, removed with everything in it.
class TempDir {
public:
    TempDir() {
        char pattern[] = "/tmp/tarsel-test-XXXXXX";
        if (::mkdtemp(pattern) != nullptr) path_ = pattern;
    }
    ~TempDir() {
        if (!path_.empty()) std::system(("rm -rf '" + path_ + "'").c_str());
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& Path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "/" + name; }
    // Writes a file in the folder; its path.
    std::string Write(const std::string& name, const std::string& contents) const {
        WriteFile(File(name), contents);
        return File(name);
    }

private:
    std::string path_;
};

// A discovery reply of the given type as a camera sends it: the four header bytes, the
// type, the address of the adapter whose query it answers (first octet first), sender 0,
// and one field holding the MAC. Tests change single bytes to make it malformed.
inline std::vector<unsigned char> ReplyDatagram(const unsigned char header[4], unsigned char type,
                                                const unsigned char hostAddress[4],
                                                const char* mac) {
    const size_t macLength = std::strlen(mac);
    std::vector<unsigned char> b(48 + macLength, 0);
    std::memcpy(&b[0], header, 4);
    b[4] = type;
    std::memcpy(&b[6], hostAddress, 4);
    b[40] = static_cast<unsigned char>(8 + macLength);  // the field's length, then its id
    b[44] = 2;
    std::memcpy(&b[48], mac, macLength);
    return b;
}

}  // namespace testsupport
