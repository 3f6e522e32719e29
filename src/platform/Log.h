#pragma once
// The diagnostic log channel. Every line of the system goes through TarselLogLine; where it
// ends up is the sink's business: syslog by default, stderr as well with --verbose, a
// capturing sink in tests. Never a file.

#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace tarsel {

// Receives one finished line ("<Tarsel>" + message + "\n", at most 2048 bytes).
using LogSink = std::function<void(std::string_view line)>;

// Replaces the sink; an empty function restores the syslog sink. Returns the previous one.
LogSink SetLogSink(LogSink sink);

// Also copy every line to stderr (the command line's --verbose).
void SetLogMirrorToStderr(bool on);

// Hands one finished line to the current sink.
void WriteLogLine(std::string_view line);

// A test helper: captures every line while it lives and restores the previous sink after.
class CapturingLogSink {
public:
    CapturingLogSink();
    ~CapturingLogSink();
    CapturingLogSink(const CapturingLogSink&) = delete;
    CapturingLogSink& operator=(const CapturingLogSink&) = delete;

    std::vector<std::string> Lines() const;
    // Number of captured lines that contain the given text.
    size_t Count(std::string_view needle) const;
    bool Contains(std::string_view needle) const { return Count(needle) > 0; }
    void Clear();

private:
    mutable std::mutex mutex_;
    std::vector<std::string> lines_;
    LogSink previous_;
};

}  // namespace tarsel
