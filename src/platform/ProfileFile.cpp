#include "platform/ProfileFile.h"

#include <dirent.h>
#include <signal.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <functional>
#include <mutex>
#include <sstream>
#include <unordered_set>

namespace tarsel {
namespace {

std::mutex& ProfileLock() {
    static std::mutex lock;
    return lock;
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]);
        unsigned char y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

// Reads the whole file; false when it cannot be opened (a missing file reads as empty).
bool ReadWholeFile(const std::string& path, std::string* text) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream buffer;
    buffer << in.rdbuf();
    *text = buffer.str();
    return true;
}

bool WriteAll(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

// The file a write replaces: a symbolic link is followed, so the link stays.
std::string WriteTarget(const std::string& path) {
    char resolved[PATH_MAX];
    return ::realpath(path.c_str(), resolved) != nullptr ? std::string(resolved) : path;
}

std::string FolderOf(const std::string& target) {
    const size_t slash = target.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : target.substr(0, slash);
}

// Whether name is one of the temporaries a write makes beside the file base: base, ".",
// the writer's process id and ".", then the six letters or digits mkstemp chose; or, as
// writers before the id was added named them, without the id. *writer receives the id, or
// 0 for a name without one.
bool IsTemporaryName(const std::string& name, const std::string& base, pid_t* writer) {
    if (name.size() < base.size() + 7 || name.compare(0, base.size(), base) != 0 ||
        name[base.size()] != '.')
        return false;
    for (size_t i = name.size() - 6; i < name.size(); ++i)
        if (!std::isalnum(static_cast<unsigned char>(name[i]))) return false;
    *writer = 0;
    if (name.size() == base.size() + 7) return true;
    const std::string id = name.substr(base.size() + 1, name.size() - base.size() - 8);
    if (name[name.size() - 7] != '.' || id.empty() || id.size() > 9 ||
        id.find_first_not_of("0123456789") != std::string::npos || id[0] == '0')
        return false;
    *writer = static_cast<pid_t>(std::stol(id));
    return true;
}

}  // namespace

// Writes text to a temporary file beside target, flushes it to disk and renames it over
// target, so that readers and a crash see either the old or the new file, never a half one.
bool ReplaceFileAtomically(const std::string& path, const std::string& text) {
    const std::string target = WriteTarget(path);
    const std::string folder = FolderOf(target);
    // The writer's id in the name: should it die mid-write, the next write knows the
    // temporary for an orphan at once.
    std::string temp = target + "." + std::to_string(::getpid()) + ".XXXXXX";
    int fd = ::mkstemp(temp.data());
    if (fd < 0) return false;
    struct stat old {};
    mode_t mode = 0644;
    if (::stat(target.c_str(), &old) == 0) mode = old.st_mode & 07777;
    bool ok = ::fchmod(fd, mode) == 0 && WriteAll(fd, text) && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (ok) ok = ::rename(temp.c_str(), target.c_str()) == 0;
    if (!ok) {
        ::unlink(temp.c_str());
        return false;
    }
    int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

namespace {

// Holds an advisory lock on the folder of the settings file while one process reads,
// changes and replaces the file: another process (the window and a command line at once)
// then works on the new file, not on the copy it read before, and no entry is lost. The
// folder is locked, not the file, because every write replaces the file itself.
class FolderLock {
public:
    explicit FolderLock(const std::string& path) {
        const size_t slash = path.rfind('/');
        const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
        fd_ = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd_ < 0) return;  // no folder: the write fails anyway
        while (::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
        }
    }
    ~FolderLock() {
        if (fd_ >= 0) ::close(fd_);  // closing releases the lock
    }
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

private:
    int fd_ = -1;
};

// Removes the temporaries of the file that a writer killed mid-write left behind: this
// user's regular files named like them whose writer no longer runs, or (for a name without
// a writer's id, or an id taken since by another process) untouched for
// kStaleTemporarySeconds. Called under the folder lock, so no writer of ours is filling
// one; the age spares a writer that does not take the lock.
int RemoveStaleTemporaries(const std::string& path) {
    const std::string target = WriteTarget(path);
    const std::string folder = FolderOf(target);
    const std::string base = target.substr(target.rfind('/') + 1);
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) return 0;
    const time_t now = ::time(nullptr);
    int removed = 0;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        pid_t writer = 0;
        if (!IsTemporaryName(name, base, &writer)) continue;
        const std::string file = folder + "/" + name;
        struct stat info {};
        if (::lstat(file.c_str(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != ::geteuid())
            continue;
        const bool writerGone = writer > 0 && ::kill(writer, 0) != 0 && errno == ESRCH;
        if (!writerGone && now - info.st_mtime < kStaleTemporarySeconds) continue;
        if (::unlink(file.c_str()) == 0) ++removed;
    }
    ::closedir(dir);
    return removed;
}

}  // namespace

ProfileText::ProfileText(std::string_view text) {
    if (text.substr(0, 3) == "\xEF\xBB\xBF") {
        bom_ = text.substr(0, 3);
        text.remove_prefix(3);
    }
    endsWithEol_ = text.empty() || text.back() == '\n';
    bool firstLine = true;
    while (!text.empty()) {
        size_t nl = text.find('\n');
        std::string_view raw = text.substr(0, nl);
        text.remove_prefix(nl == std::string_view::npos ? text.size() : nl + 1);
        if (firstLine) {
            eol_ = (!raw.empty() && raw.back() == '\r') ? "\r\n" : "\n";
            firstLine = false;
        }
        Line line;
        line.raw = std::string(raw);
        std::string_view body = Trim(raw);
        if (!body.empty() && body.front() == '[') {
            size_t close = body.find(']');
            line.kind = 1;
            line.name = std::string(
                Trim(body.substr(1, close == std::string_view::npos ? body.size() - 1 : close - 1)));
        } else if (!body.empty() && body.front() != ';') {
            size_t eq = raw.find('=');
            if (eq != std::string_view::npos) {
                line.kind = 2;
                line.name = std::string(Trim(raw.substr(0, eq)));
                line.valueAt = eq + 1;
            }
        }
        lines_.push_back(std::move(line));
    }
}

bool ProfileText::SectionRange(std::string_view section, size_t* first, size_t* end) const {
    for (size_t i = 0; i < lines_.size(); ++i) {
        if (lines_[i].kind != 1 || !SameName(lines_[i].name, section)) continue;
        size_t j = i + 1;
        while (j < lines_.size() && lines_[j].kind != 1) ++j;
        *first = i;
        *end = j;
        return true;
    }
    return false;
}

namespace {
// A value as the Windows calls return it: blanks around it trimmed, one pair of enclosing
// quotes removed.
std::string_view ValueOf(std::string_view raw, size_t valueAt) {
    std::string_view v = Trim(raw.substr(valueAt));
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
        v = v.substr(1, v.size() - 2);
    }
    return v;
}
}  // namespace

bool ProfileText::Find(std::string_view section, std::string_view key, std::string* value) const {
    size_t first = 0, end = 0;
    if (!SectionRange(section, &first, &end)) return false;
    for (size_t i = first + 1; i < end; ++i) {
        const Line& line = lines_[i];
        if (line.kind != 2 || !SameName(line.name, key)) continue;
        if (value != nullptr) *value = std::string(ValueOf(line.raw, line.valueAt));
        return true;
    }
    return false;
}

std::vector<std::pair<std::string, std::string>> ProfileText::Entries(
    std::string_view section) const {
    std::vector<std::pair<std::string, std::string>> entries;
    std::unordered_set<std::string> seen;
    size_t first = 0, end = 0;
    if (!SectionRange(section, &first, &end)) return entries;
    for (size_t i = first + 1; i < end; ++i) {
        const Line& line = lines_[i];
        if (line.kind != 2 || line.name.empty()) continue;
        std::string folded = line.name;
        for (char& c : folded) {
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        }
        if (!seen.insert(std::move(folded)).second) continue;
        entries.emplace_back(line.name, std::string(ValueOf(line.raw, line.valueAt)));
    }
    return entries;
}

std::vector<std::string> ProfileText::Keys(std::string_view section) const {
    std::vector<std::string> keys;
    size_t first = 0, end = 0;
    if (!SectionRange(section, &first, &end)) return keys;
    for (size_t i = first + 1; i < end; ++i) {
        if (lines_[i].kind == 2 && !lines_[i].name.empty()) keys.push_back(lines_[i].name);
    }
    return keys;
}

std::vector<std::string> ProfileText::Sections() const {
    std::vector<std::string> names;
    for (const Line& line : lines_) {
        if (line.kind == 1) names.push_back(line.name);
    }
    return names;
}

void ProfileText::Set(std::string_view section, const std::string* key, const std::string* value) {
    // A new line takes the file's own ending; a last line without one gets it first.
    auto makeLine = [this](std::string text, int kind, std::string name, size_t valueAt) {
        if (eol_ == "\r\n") text.push_back('\r');
        Line line;
        line.raw = std::move(text);
        line.kind = kind;
        line.name = std::move(name);
        line.valueAt = valueAt;
        return line;
    };
    auto appendLine = [this](Line line) {
        if (!lines_.empty() && !endsWithEol_ && eol_ == "\r\n") lines_.back().raw.push_back('\r');
        endsWithEol_ = true;
        lines_.push_back(std::move(line));
    };

    size_t first = 0, end = 0;
    bool found = SectionRange(section, &first, &end);
    if (key == nullptr) {
        if (found) lines_.erase(lines_.begin() + static_cast<long>(first),
                                lines_.begin() + static_cast<long>(end));
        return;
    }
    if (!found) {
        if (value == nullptr) return;
        appendLine(makeLine("[" + std::string(section) + "]", 1, std::string(section), 0));
        appendLine(makeLine(*key + "=" + *value, 2, *key, key->size() + 1));
        return;
    }
    size_t lastEntry = first;
    for (size_t i = first + 1; i < end; ++i) {
        Line& line = lines_[i];
        if (line.kind != 2) continue;
        if (!SameName(line.name, *key)) {
            lastEntry = i;
            continue;
        }
        if (value == nullptr) {
            lines_.erase(lines_.begin() + static_cast<long>(i));
            return;
        }
        // Keep the name as the file spells it; replace only what follows the '='.
        // The line keeps its own ending.
        bool hadCr = !line.raw.empty() && line.raw.back() == '\r';
        line.raw = line.name + "=" + *value;
        if (hadCr) line.raw.push_back('\r');
        line.valueAt = line.name.size() + 1;
        return;
    }
    if (value == nullptr) return;
    Line added = makeLine(*key + "=" + *value, 2, *key, key->size() + 1);
    if (lastEntry + 1 == lines_.size()) {
        appendLine(std::move(added));
    } else {
        lines_.insert(lines_.begin() + static_cast<long>(lastEntry + 1), std::move(added));
    }
}

std::string ProfileText::Render() const {
    std::string out = bom_;
    for (size_t i = 0; i < lines_.size(); ++i) {
        out += lines_[i].raw;
        if (i + 1 < lines_.size() || endsWithEol_) out.push_back('\n');
    }
    return out;
}

bool ReadProfileValue(const std::string& path, std::string_view section, std::string_view key,
                      std::string* value) {
    std::lock_guard<std::mutex> guard(ProfileLock());
    std::string text;
    if (!ReadWholeFile(path, &text)) return false;
    return ProfileText(text).Find(section, key, value);
}

std::vector<std::string> ReadProfileKeys(const std::string& path, std::string_view section) {
    std::lock_guard<std::mutex> guard(ProfileLock());
    std::string text;
    if (!ReadWholeFile(path, &text)) return {};
    return ProfileText(text).Keys(section);
}

std::vector<std::string> ReadProfileSections(const std::string& path) {
    std::lock_guard<std::mutex> guard(ProfileLock());
    std::string text;
    if (!ReadWholeFile(path, &text)) return {};
    return ProfileText(text).Sections();
}

std::vector<std::pair<std::string, std::string>> ReadProfileSection(const std::string& path,
                                                                    std::string_view section) {
    std::lock_guard<std::mutex> guard(ProfileLock());
    std::string text;
    if (!ReadWholeFile(path, &text)) return {};
    return ProfileText(text).Entries(section);
}

namespace {

// A line break inside a name or value would split the line and corrupt the file's
// structure: everything from the first one on is dropped.
const std::string* OneLine(const std::string* s, std::string* out) {
    if (s == nullptr) return nullptr;
    *out = s->substr(0, s->find_first_of("\r\n"));
    return out;
}

// Reads the file, lets change edit it, and replaces the file when the text changed: all
// under the process's lock and the folder lock, so that no other write, of this process
// or another, comes between the read and the replacement.
bool ModifyProfile(const std::string& path, int* staleRemoved,
                   const std::function<void(ProfileText&)>& change) {
    std::lock_guard<std::mutex> guard(ProfileLock());
    FolderLock folderLock(path);
    const int removed = RemoveStaleTemporaries(path);
    if (staleRemoved != nullptr) *staleRemoved = removed;
    std::string text;
    if (!ReadWholeFile(path, &text)) {
        // Only a missing file may be created anew; an unreadable one must not be overwritten.
        if (::access(path.c_str(), F_OK) == 0) return false;
        text.clear();
    }
    ProfileText profile(text);
    change(profile);
    std::string updated = profile.Render();
    if (updated == text && !text.empty()) return true;
    return ReplaceFileAtomically(path, updated);
}

}  // namespace

bool WriteProfileValue(const std::string& path, std::string_view section, const std::string* key,
                       const std::string* value, int* staleRemoved) {
    return ModifyProfile(path, staleRemoved, [&](ProfileText& profile) {
        std::string keyLine, valueLine;
        profile.Set(section, OneLine(key, &keyLine), OneLine(value, &valueLine));
    });
}

bool UpdateProfileValue(const std::string& path, std::string_view section, const std::string& key,
                        const ProfileChange& change, int* staleRemoved) {
    return ModifyProfile(path, staleRemoved, [&](ProfileText& profile) {
        std::string current, updated;
        const bool present = profile.Find(section, key, &current);
        if (!change(present ? &current : nullptr, &updated)) return;
        std::string keyLine, valueLine;
        profile.Set(section, OneLine(&key, &keyLine), OneLine(&updated, &valueLine));
    });
}

}  // namespace tarsel
