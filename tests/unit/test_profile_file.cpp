// The settings file read and written the way Windows-made files expect.

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <ctime>

#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "common/Config.h"
#include "platform/Log.h"
#include "platform/ProfileFile.h"
#include "support/TestSupport.h"

namespace {

using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::WriteFile;

// Restores the default settings path after a test that pointed it elsewhere.
struct ConfigPathScope {
    explicit ConfigPathScope(const std::string& path) { SetConfigPath(path.c_str()); }
    ~ConfigPathScope() { SetConfigPath(nullptr); }
};

const char kWindowsFile[] =
    "\xEF\xBB\xBF; written by hand on site\r\n"
    "[System]\r\n"
    "  language = POLISH  \r\n"
    "Other=\"quoted value\"\r\n"
    "\r\n"
    "[mac]\r\n"
    "00:11:22:33:44:55=3232235876,4294967040;\r\n"
    "; a comment inside the section\r\n"
    "AA:BB:CC:DD:EE:FF=\r\n"
    "\r\n"
    "[Extra]\r\n"
    "keep=me\r\n";

}  // namespace

TEST(ProfileFile, ReadsWindowsFileWithBomCrlfMixedCaseAndComments) {
    TempDir dir;
    std::string path = dir.File("tarsel.ini");
    WriteFile(path, kWindowsFile);
    ConfigPathScope scope(path);

    char buffer[1024];
    EXPECT_EQ(ReadConfigString("SYSTEM", "Language", "ENGLISH", buffer, sizeof buffer), 6);
    EXPECT_STREQ(buffer, "POLISH");
    EXPECT_EQ(ReadConfigText("system", "OTHER", ""), "quoted value");
    EXPECT_EQ(ReadConfigText("MAC", "00:11:22:33:44:55", "x"), "3232235876,4294967040;");
    EXPECT_EQ(ReadConfigText("MAC", "aa:bb:cc:dd:ee:ff", "x"), "");
    EXPECT_EQ(ReadConfigText("MAC", "missing", "dflt"), "dflt");
    EXPECT_EQ(ReadConfigText("Nowhere", "Language", "dflt"), "dflt");
    // The comment line is no key.
    EXPECT_EQ(ReadConfigKeys("MAC"),
              (std::vector<std::string>{"00:11:22:33:44:55", "AA:BB:CC:DD:EE:FF"}));

    // Name lists as the Windows call gives them: NUL after each, one more at the end.
    char names[64];
    int n = ReadConfigString("MAC", nullptr, "", names, sizeof names);
    EXPECT_EQ(std::string(names, static_cast<size_t>(n) + 1),
              std::string("00:11:22:33:44:55\0AA:BB:CC:DD:EE:FF\0\0", 37));
    n = ReadConfigString(nullptr, nullptr, "", names, sizeof names);
    EXPECT_EQ(std::string(names, static_cast<size_t>(n) + 1), std::string("System\0mac\0Extra\0\0", 18));

    // Cut to the buffer, always terminated.
    char small[4];
    EXPECT_EQ(ReadConfigString("SYSTEM", "Language", "", small, sizeof small), 3);
    EXPECT_STREQ(small, "POL");
}

TEST(ProfileFile, RewriteKeepsEveryOtherLineByteForByte) {
    TempDir dir;
    std::string path = dir.File("tarsel.ini");
    WriteFile(path, kWindowsFile);
    ConfigPathScope scope(path);

    ASSERT_EQ(WriteConfigString("MAC", "00:11:22:33:44:55", "1,2;"), 0);
    std::string expected = kWindowsFile;
    expected.replace(expected.find("3232235876,4294967040;"), 22, "1,2;");
    EXPECT_EQ(ReadFile(path), expected);

    // A new key goes after the section's last entry, before its blank line, with CRLF.
    ASSERT_EQ(WriteConfigString("mac", "01:02:03:04:05:06", "7,8;"), 0);
    std::string withNew = expected;
    withNew.insert(withNew.find("\r\n\r\n[Extra]") + 2, "01:02:03:04:05:06=7,8;\r\n");
    EXPECT_EQ(ReadFile(path), withNew);

    // A new section goes to the end.
    ASSERT_EQ(WriteConfigString("New", "k", "v"), 0);
    EXPECT_EQ(ReadFile(path), withNew + "[New]\r\nk=v\r\n");

    // Mixed-case key names replace the existing line and keep the file's spelling.
    ASSERT_EQ(WriteConfigString("EXTRA", "KEEP", "again"), 0);
    EXPECT_NE(ReadFile(path).find("\r\nkeep=again\r\n"), std::string::npos);
    EXPECT_EQ(ReadFile(path).find("KEEP"), std::string::npos);
}

TEST(ProfileFile, LanguageIsNeverWrittenAndMissingFileIsCreated) {
    TempDir dir;
    std::string path = dir.File("tarsel.ini");
    ConfigPathScope scope(path);

    EXPECT_EQ(ReadConfigText("SYSTEM", "Language", "ENGLISH"), "ENGLISH");
    EXPECT_EQ(WriteConfigString("SYSTEM", "Language", "POLISH"), 0);
    EXPECT_EQ(WriteConfigString("SYSTEM", "LANGUAGE", "POLISH"), 0);
    EXPECT_NE(::access(path.c_str(), F_OK), 0) << "the language write must not create the file";

    ASSERT_EQ(WriteConfigString("MAC", "00:11:22:33:44:55", ""), 0);
    EXPECT_EQ(ReadFile(path), "[MAC]\n00:11:22:33:44:55=\n");
    EXPECT_EQ(ReadConfigKeys("MAC"), std::vector<std::string>{"00:11:22:33:44:55"});
}

TEST(ProfileFile, WriteIsAtomicAndKeepsModeAndLeavesNoTemporaryFile) {
    TempDir dir;
    std::string path = dir.File("tarsel.ini");
    WriteFile(path, "[A]\nx=1\n");
    ::chmod(path.c_str(), 0600);
    struct stat before {};
    ASSERT_EQ(::stat(path.c_str(), &before), 0);

    std::string key = "x", value = "2";
    ASSERT_TRUE(tarsel::WriteProfileValue(path, "A", &key, &value));
    struct stat after {};
    ASSERT_EQ(::stat(path.c_str(), &after), 0);
    EXPECT_NE(before.st_ino, after.st_ino) << "the file must be replaced, not rewritten in place";
    EXPECT_EQ(after.st_mode & 0777, 0600u);
    EXPECT_EQ(ReadFile(path), "[A]\nx=2\n");
    // Nothing but the file itself is left in the folder.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);

    // A folder that cannot take the temporary file fails cleanly and keeps the old file.
    EXPECT_FALSE(tarsel::WriteProfileValue(dir.File("missing/tarsel.ini"), "A", &key, &value));
}

// Temporaries a writer killed mid-write left behind go at the next write, named in the
// log; a fresh one (a writer at work) and other files stay.
TEST(ProfileFile, NextWriteRemovesStaleTemporaries) {
    TempDir dir;
    const std::string path = dir.File("tarsel.ini");
    WriteFile(path, "[A]\nx=1\n");
    const timespec old[2] = {{::time(nullptr) - tarsel::kStaleTemporarySeconds - 60, 0},
                             {::time(nullptr) - tarsel::kStaleTemporarySeconds - 60, 0}};
    for (const char* name : {"tarsel.ini.a1B2c3", "tarsel.ini.bak", "tarsel.ini.abc-12"}) {
        WriteFile(dir.File(name), std::string(1000, 'x'));
        ASSERT_EQ(0, ::utimensat(AT_FDCWD, dir.File(name).c_str(), old, 0));
    }
    WriteFile(dir.File("tarsel.ini.fresh1"), "a writer at work");
    // A fresh one named by a writer that no longer runs goes at once; one of a writer that
    // runs stays.
    const pid_t ended = ::fork();
    if (ended == 0) ::_exit(0);
    ASSERT_EQ(ended, ::waitpid(ended, nullptr, 0));
    const std::string orphan = "tarsel.ini." + std::to_string(ended) + ".Zx81ab";
    const std::string running = "tarsel.ini." + std::to_string(::getpid()) + ".Zx81ab";
    WriteFile(dir.File(orphan), "a writer killed");
    WriteFile(dir.File(running), "a writer at work");
    ConfigPathScope scope(path);
    tarsel::CapturingLogSink log;
    ASSERT_EQ(0, WriteConfigString("A", "x", "2"));
    for (const std::string& gone : {std::string("tarsel.ini.a1B2c3"), orphan})
        EXPECT_NE(0, ::access(dir.File(gone).c_str(), F_OK)) << gone;
    for (const std::string& kept : {std::string("tarsel.ini.bak"), std::string("tarsel.ini.abc-12"),
                                    std::string("tarsel.ini.fresh1"), running})
        EXPECT_EQ(0, ::access(dir.File(kept).c_str(), F_OK)) << kept;
    EXPECT_TRUE(log.Contains("Removed 2 temporary files that interrupted writes left beside " + path));
    EXPECT_EQ(ReadFile(path), "[A]\nx=2\n");
}

TEST(ProfileText, RemovalLineBreaksAndFilesWithoutFinalNewline) {
    tarsel::ProfileText text("[A]\nx=1\ny=2\n[B]\nz=3");
    std::string y = "y";
    text.Set("a", &y, nullptr);
    EXPECT_EQ(text.Render(), "[A]\nx=1\n[B]\nz=3");
    std::string z = "z", v = "4";
    text.Set("B", &z, &v);
    EXPECT_EQ(text.Render(), "[A]\nx=1\n[B]\nz=4");
    std::string w = "w";
    text.Set("B", &w, &v);
    EXPECT_EQ(text.Render(), "[A]\nx=1\n[B]\nz=4\nw=4\n");
    text.Set("A", nullptr, nullptr);
    EXPECT_EQ(text.Render(), "[B]\nz=4\nw=4\n");

    // A value with a line break cannot inject a section into the file.
    TempDir dir;
    std::string path = dir.File("t.ini");
    std::string key = "k", evil = "1\r\n[SYSTEM]\r\nLanguage=POLISH";
    ASSERT_TRUE(tarsel::WriteProfileValue(path, "MAC", &key, &evil));
    EXPECT_EQ(ReadFile(path), "[MAC]\nk=1\n");
    EXPECT_TRUE(tarsel::ReadProfileSections(path) == std::vector<std::string>{"MAC"});

    // Only the first of two same-named sections counts, as with the Windows calls.
    tarsel::ProfileText twice("[S]\na=1\n[s]\na=2\nb=3\n");
    std::string value;
    EXPECT_TRUE(twice.Find("S", "a", &value));
    EXPECT_EQ(value, "1");
    EXPECT_FALSE(twice.Find("S", "b", &value));
}

TEST(ProfileFile, ConcurrentWritersLoseNoEntry) {
    TempDir dir;
    std::string path = dir.File("tarsel.ini");
    ConfigPathScope scope(path);
    std::vector<std::thread> writers;
    for (int t = 0; t < 4; ++t) {
        writers.emplace_back([t] {
            for (int k = 0; k < 10; ++k) {
                std::string key = "02:00:00:00:0" + std::to_string(t) + ":" + std::to_string(10 + k);
                WriteConfigString("MAC", key.c_str(), std::to_string(t * 100 + k).c_str());
                ReadConfigText("MAC", key.c_str(), "");
            }
        });
    }
    for (std::thread& w : writers) w.join();
    EXPECT_EQ(ReadConfigSection("MAC").size(), 40u);
    EXPECT_EQ(ReadConfigText("MAC", "02:00:00:00:03:19", ""), "309");
}
