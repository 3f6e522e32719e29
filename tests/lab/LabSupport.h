#pragma once
// Lab tests build their own virtual LAN with scripts/lab and run their code inside one of
// its namespaces. A lab that cannot be built fails the test: it never skips.
//
//   tarsel::lab::Lab lab(R"({"host":{"adapters":[...]}, "cameras":[...]})");
//   ASSERT_TRUE(lab.Ok()) << lab.Error();
//   tarsel::lab::ScopedNamespace inHost(lab.Namespace("host"));   // this thread only
//   ... sockets and threads created now live in the lab's host namespace ...

#include <fcntl.h>
#include <sched.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

namespace tarsel::lab {

inline std::string ScriptPath() { return std::string(TARSEL_SOURCE_DIR) + "/scripts/lab"; }

inline std::string Quote(const std::string& text) {
    std::string out = "'";
    for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

// Runs a shell command; its exit status, and its output (stdout and stderr) if asked.
inline int Run(const std::string& command, std::string* output = nullptr) {
    std::string text;
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr) return -1;
    std::array<char, 4096> buffer;
    size_t n;
    while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0) text.append(buffer.data(), n);
    int status = pclose(pipe);
    if (output) *output = text;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class Lab {
public:
    // Builds a lab from a JSON configuration (scripts/lab --help); extraArgs go to `up`
    // (for example "--rp-filter 1" or "--no-camsim").
    explicit Lab(const std::string& configJson, const std::string& extraArgs = "") {
        char path[] = "/tmp/tarsel-lab-config-XXXXXX";
        int fd = mkstemp(path);
        if (fd < 0) {
            error_ = "cannot write the lab configuration";
            return;
        }
        close(fd);
        configPath_ = path;
        std::ofstream(configPath_) << configJson;
        std::string env = "TARSEL_BINARY_DIR=" + Quote(TARSEL_BINARY_DIR) + " ";
        std::string output;
        int status = Run(env + "bash " + Quote(ScriptPath()) + " up --config " +
                             Quote(configPath_) + " --owner " + std::to_string(getpid()) + " " +
                             extraArgs,
                         &output);
        // The lab's name is the last line printed.
        while (!output.empty() && output.back() == '\n') output.pop_back();
        std::string last = output.substr(output.find_last_of('\n') + 1);
        if (status != 0 || last.empty()) {
            error_ = "scripts/lab up failed (" + std::to_string(status) + "): " + output;
            return;
        }
        name_ = last;
    }
    ~Lab() {
        if (!name_.empty()) Run("bash " + Quote(ScriptPath()) + " down --name " + name_);
        if (!configPath_.empty()) unlink(configPath_.c_str());
    }
    Lab(const Lab&) = delete;
    Lab& operator=(const Lab&) = delete;

    bool Ok() const { return !name_.empty(); }
    const std::string& Error() const { return error_; }
    const std::string& Name() const { return name_; }
    // Full namespace name of one of the lab's namespaces ("host", "sw", "cam1", ...).
    std::string Namespace(const std::string& shortName) const {
        return "tl-" + name_ + "-" + shortName;
    }
    // Runs a shell command in one of the lab's namespaces; its exit status.
    int Exec(const std::string& shortName, const std::string& command,
             std::string* output = nullptr) const {
        return Run("ip netns exec " + Namespace(shortName) + " " + command, output);
    }
    // Runs the command line in the host namespace, TARSEL_PASSWORD set to password; its exit
    // status, its stdout and, when asked, its stderr.
    int Tarsel(const std::string& args, std::string* out, std::string* err = nullptr,
               const std::string& password = "admin") const {
        const std::string errPath = "/tmp/tarsel-lab-" + name_ + ".err";
        const std::string command = "bash " + Quote(ScriptPath()) + " run --name " + name_ +
                                    " -- env TARSEL_PASSWORD=" + Quote(password) + " " +
                                    TARSEL_BINARY_DIR + "/tools/tarsel " + args + " 2>" + errPath;
        const int status = Run("bash -c " + Quote(command), out);
        std::ifstream in(errPath);
        if (err) *err = std::string(std::istreambuf_iterator<char>(in), {});
        unlink(errPath.c_str());
        return status;
    }
    // Forgets the neighbour (ARP) entries in every namespace of the lab.
    void FlushNeighbours() const {
        Run("bash " + Quote(ScriptPath()) + " flush --name " + name_);
    }

private:
    std::string name_, error_, configPath_;
};

// Moves the calling thread into a network namespace for its lifetime (threads it starts
// meanwhile stay there), and back afterwards.
class ScopedNamespace {
public:
    explicit ScopedNamespace(const std::string& fullName) {
        previous_ = open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC);
        int target = open(("/run/netns/" + fullName).c_str(), O_RDONLY | O_CLOEXEC);
        ok_ = previous_ >= 0 && target >= 0 && setns(target, CLONE_NEWNET) == 0;
        if (target >= 0) close(target);
    }
    ~ScopedNamespace() {
        if (previous_ >= 0) {
            if (ok_) setns(previous_, CLONE_NEWNET);
            close(previous_);
        }
    }
    ScopedNamespace(const ScopedNamespace&) = delete;
    ScopedNamespace& operator=(const ScopedNamespace&) = delete;
    bool Ok() const { return ok_; }

private:
    int previous_ = -1;
    bool ok_ = false;
};

}  // namespace tarsel::lab
