#include "common/stdafx.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/Log.h"

namespace {
constexpr size_t kLogLineMax = 2048;
constexpr char kLogTag[] = "<Tarsel>";

__attribute__((format(printf, 2, 0))) void LogFormatted(tarsel::LogLevel level,
                                                     const char* format, va_list args) {
    char message[kLogLineMax];
    int n = std::vsnprintf(message, sizeof message, format, args);
    if (n < 0) message[0] = '\0';

    std::string line;
    line.reserve(kLogLineMax);
    line.append(kLogTag);
    line.append(message);
    line.push_back('\n');
    if (line.size() > kLogLineMax) line.resize(kLogLineMax);
    tarsel::WriteLogLine(line, level);
}

}  // namespace

void TarselLog(const char* format, ...) {
    va_list args;
    va_start(args, format);
    LogFormatted(tarsel::LogLevel::Debug, format, args);
    va_end(args);
}

void TarselLogWarning(const char* format, ...) {
    va_list args;
    va_start(args, format);
    LogFormatted(tarsel::LogLevel::Warning, format, args);
    va_end(args);
}

void TarselLogNotice(const char* format, ...) {
    va_list args;
    va_start(args, format);
    LogFormatted(tarsel::LogLevel::Notice, format, args);
    va_end(args);
}

namespace {

int CopyWithin(char* dest, size_t capacity, const char* source, const char* callerName,
               int callerLine, bool secret) {
    if (dest == nullptr || capacity == 0) return -1;
    if (source == nullptr) source = "";
    size_t n = std::strlen(source);
    if (n >= capacity) {
        TLOG_NOTICE("(%s:%d)[%s:%d] Error: strcpy overflow %d <= %d, string: %s",
                    callerName ? callerName : "", callerLine, static_cast<int>(capacity),
                    static_cast<int>(n), secret ? "(a password, not shown)" : source);
        std::memset(dest, 0, capacity);
        std::memcpy(dest, source, capacity - 1);
        return -1;
    }
    std::memcpy(dest, source, n + 1);
    return 0;
}

}  // namespace

int BoundedCopy(char* dest, size_t capacity, const char* source, const char* callerName,
                int callerLine) {
    return CopyWithin(dest, capacity, source, callerName, callerLine, false);
}

int BoundedCopySecret(char* dest, size_t capacity, const char* source, const char* callerName,
                      int callerLine) {
    return CopyWithin(dest, capacity, source, callerName, callerLine, true);
}

void CopyTruncated(char* dest, size_t capacity, const char* source) {
    if (dest == nullptr || capacity == 0) return;
    if (source == nullptr) source = "";
    size_t n = ::strnlen(source, capacity - 1);
    std::memcpy(dest, source, n);
    dest[n] = '\0';
}
