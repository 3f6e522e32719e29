#include "platform/Log.h"

#include <syslog.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <memory>

namespace tarsel {
namespace {

std::mutex g_sinkMutex;
std::shared_ptr<const LogSink> g_sink;  // empty: syslog
std::atomic<bool> g_mirror{false};

void SyslogSink(std::string_view line) {
    static std::once_flag opened;
    std::call_once(opened, [] { openlog("tarsel", LOG_PID, LOG_USER); });
    // syslog adds its own line end; the tag stays part of the message.
    std::string_view body = line;
    if (!body.empty() && body.back() == '\n') body.remove_suffix(1);
    syslog(LOG_DEBUG, "%.*s", static_cast<int>(body.size()), body.data());
}

}  // namespace

LogSink SetLogSink(LogSink sink) {
    std::lock_guard lock(g_sinkMutex);
    LogSink previous = g_sink ? *g_sink : LogSink{};
    g_sink = sink ? std::make_shared<const LogSink>(std::move(sink)) : nullptr;
    return previous;
}

void SetLogMirrorToStderr(bool on) { g_mirror = on; }

void WriteLogLine(std::string_view line) {
    std::shared_ptr<const LogSink> sink;
    {
        std::lock_guard lock(g_sinkMutex);
        sink = g_sink;
    }
    if (sink) {
        (*sink)(line);
    } else {
        SyslogSink(line);
    }
    if (g_mirror) {
        // One write per line so that lines of several threads do not interleave.
        ssize_t ignored = ::write(STDERR_FILENO, line.data(), line.size());
        (void)ignored;
    }
}

CapturingLogSink::CapturingLogSink() {
    previous_ = SetLogSink([this](std::string_view line) {
        std::lock_guard lock(mutex_);
        lines_.emplace_back(line);
    });
}

CapturingLogSink::~CapturingLogSink() { SetLogSink(previous_); }

std::vector<std::string> CapturingLogSink::Lines() const {
    std::lock_guard lock(mutex_);
    return lines_;
}

size_t CapturingLogSink::Count(std::string_view needle) const {
    std::lock_guard lock(mutex_);
    size_t n = 0;
    for (const auto& l : lines_) {
        if (l.find(needle) != std::string::npos) ++n;
    }
    return n;
}

void CapturingLogSink::Clear() {
    std::lock_guard lock(mutex_);
    lines_.clear();
}

}  // namespace tarsel
