#include "platform/Log.h"

#include <syslog.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <memory>

namespace tarsel {
namespace {

std::mutex g_sinkMutex;
std::shared_ptr<const LevelledLogSink> g_sink;  // empty: syslog
std::atomic<bool> g_mirror{false};

int SyslogPriority(LogLevel level) {
    switch (level) {
        case LogLevel::Warning: return LOG_WARNING;
        case LogLevel::Notice: return LOG_NOTICE;
        case LogLevel::Debug: break;
    }
    return LOG_DEBUG;
}

void SyslogSink(LogLevel level, std::string_view line) {
    static std::once_flag opened;
    std::call_once(opened, [] { openlog("tarsel", LOG_PID, LOG_USER); });
    // syslog adds its own line end; the tag stays part of the message.
    std::string_view body = line;
    if (!body.empty() && body.back() == '\n') body.remove_suffix(1);
    syslog(SyslogPriority(level), "%.*s", static_cast<int>(body.size()), body.data());
}

}  // namespace

LevelledLogSink SetLevelledLogSink(LevelledLogSink sink) {
    std::lock_guard lock(g_sinkMutex);
    LevelledLogSink previous = g_sink ? *g_sink : LevelledLogSink{};
    g_sink = sink ? std::make_shared<const LevelledLogSink>(std::move(sink)) : nullptr;
    return previous;
}

LogSink SetLogSink(LogSink sink) {
    LevelledLogSink levelled;
    if (sink) levelled = [sink = std::move(sink)](LogLevel, std::string_view line) { sink(line); };
    LevelledLogSink previous = SetLevelledLogSink(std::move(levelled));
    if (!previous) return {};
    return [previous](std::string_view line) { previous(LogLevel::Debug, line); };
}

void SetLogMirrorToStderr(bool on) { g_mirror = on; }

void WriteLogLine(std::string_view line, LogLevel level) {
    std::shared_ptr<const LevelledLogSink> sink;
    {
        std::lock_guard lock(g_sinkMutex);
        sink = g_sink;
    }
    if (sink) {
        (*sink)(level, line);
    } else {
        SyslogSink(level, line);
    }
    if (g_mirror) {
        // One write per line so that lines of several threads do not interleave.
        ssize_t ignored = ::write(STDERR_FILENO, line.data(), line.size());
        (void)ignored;
    }
}

CapturingLogSink::CapturingLogSink() {
    previous_ = SetLevelledLogSink([this](LogLevel level, std::string_view line) {
        std::lock_guard lock(mutex_);
        lines_.push_back({level, std::string(line)});
    });
}

CapturingLogSink::~CapturingLogSink() { SetLevelledLogSink(previous_); }

std::vector<std::string> CapturingLogSink::Lines() const {
    std::lock_guard lock(mutex_);
    std::vector<std::string> texts;
    for (const Line& l : lines_) texts.push_back(l.text);
    return texts;
}

size_t CapturingLogSink::Count(std::string_view needle) const {
    std::lock_guard lock(mutex_);
    size_t n = 0;
    for (const Line& l : lines_) {
        if (l.text.find(needle) != std::string::npos) ++n;
    }
    return n;
}

LogLevel CapturingLogSink::LevelOf(std::string_view needle) const {
    std::lock_guard lock(mutex_);
    for (const Line& l : lines_)
        if (l.text.find(needle) != std::string::npos) return l.level;
    return LogLevel::Debug;
}

void CapturingLogSink::Clear() {
    std::lock_guard lock(mutex_);
    lines_.clear();
}

}  // namespace tarsel
