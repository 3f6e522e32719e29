#pragma once
// Shared helpers of every layer: the diagnostic log line and the bounded text copy.

#include <cstddef>

// Formats one diagnostic line: "<Tarsel>" + the printf-style message (formatted into 2048
// bytes) + "\n", the whole line cut at 2048 bytes, and hands it to the log sink.
void TarselLog(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The same line for a journal reader to notice: a failure or refusal that the normal course
// of things does not explain (Warning), or one it does but that is worth finding (Notice).
// Only the level differs; the text is formatted exactly as TarselLog formats it.
void TarselLogWarning(const char* format, ...) __attribute__((format(printf, 1, 2)));
void TarselLogNotice(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Logs a message that begins with "(%s:%d)", filling it with this source file and line.
#define TLOG(format, ...) TarselLog(format, __FILE_NAME__, __LINE__ __VA_OPT__(, ) __VA_ARGS__)
#define TLOG_WARNING(format, ...) \
    TarselLogWarning(format, __FILE_NAME__, __LINE__ __VA_OPT__(, ) __VA_ARGS__)
#define TLOG_NOTICE(format, ...) \
    TarselLogNotice(format, __FILE_NAME__, __LINE__ __VA_OPT__(, ) __VA_ARGS__)

// The one way text enters a fixed-capacity field. Copies source with its NUL when it fits
// (result 0); otherwise logs the overflow, naming the caller, and stores the first
// capacity - 1 bytes, NUL-terminated (result -1). A null source counts as "".
int BoundedCopy(char* dest, size_t capacity, const char* source, const char* callerName,
                int callerLine);

template <size_t N>
inline int BoundedCopy(char (&dest)[N], const char* source, const char* callerName,
                       int callerLine) {
    return BoundedCopy(dest, N, source, callerName, callerLine);
}

// The same for a password: an overflow is logged without the text, which must never reach
// the log (a password of 40 characters outside ASCII takes more than its 40-byte field).
int BoundedCopySecret(char* dest, size_t capacity, const char* source, const char* callerName,
                      int callerLine);

template <size_t N>
inline int BoundedCopySecret(char (&dest)[N], const char* source, const char* callerName,
                             int callerLine) {
    return BoundedCopySecret(dest, N, source, callerName, callerLine);
}

// Copies at most capacity - 1 bytes and always terminates; for texts whose overflow is
// expected and not worth a log line (platform names, formatted numbers).
void CopyTruncated(char* dest, size_t capacity, const char* source);

template <size_t N>
inline void CopyTruncated(char (&dest)[N], const char* source) {
    CopyTruncated(dest, N, source);
}
