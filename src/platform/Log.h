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

// How much a line matters to someone reading the journal. Most lines trace the normal
// course of things (debug); failures and refusals (a refused datagram, a failed request or
// file write, a camera that timed out) stand out, so that `journalctl -p warning` finds
// them. The level never changes a line's text.
enum class LogLevel { Debug, Notice, Warning };

// Receives one finished line ("<Tarsel>" + message + "\n", at most 2048 bytes).
using LogSink = std::function<void(std::string_view line)>;
// The same with the line's level.
using LevelledLogSink = std::function<void(LogLevel level, std::string_view line)>;

// Replaces the sink; an empty function restores the syslog sink. Returns the previous one.
LogSink SetLogSink(LogSink sink);
LevelledLogSink SetLevelledLogSink(LevelledLogSink sink);

// Also copy every line to stderr (the command line's --verbose).
void SetLogMirrorToStderr(bool on);

// Hands one finished line to the current sink.
void WriteLogLine(std::string_view line, LogLevel level = LogLevel::Debug);

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
    // The level of the first captured line that contains the text; Debug when none does.
    LogLevel LevelOf(std::string_view needle) const;
    void Clear();

private:
    struct Line {
        LogLevel level;
        std::string text;
    };
    mutable std::mutex mutex_;
    std::vector<Line> lines_;
    LevelledLogSink previous_;
};

}  // namespace tarsel
