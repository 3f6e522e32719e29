// The settings file under pressure, and where an installed program keeps it.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "common/Config.h"
#include "finder/LibIP.h"
#include "support/TestSupport.h"

namespace {

std::string Mac(int process, int camera) {
    char mac[18];
    std::snprintf(mac, sizeof mac, "00:1B:2C:%02X:%02X:%02X", process, camera >> 8, camera & 255);
    return mac;
}

// Two automatic assignments at once, on two subnets, for the same cameras that the history
// already knows from a third, and for new ones: each holds the history as read at its
// start, and every camera keeps every subnet's address.
TEST(SettingsFileSharing, TwoProcessesRememberingAtOnceLoseNothing) {
    testsupport::TempDir dir;
    std::string known = "[MAC]\n";
    for (int camera = 0; camera < 100; ++camera) known += Mac(0, camera) + "=167772161,4278190080;\n";
    const std::string path = dir.Write("tarsel.ini", known);
    std::vector<pid_t> children;
    for (int process = 1; process <= 2; ++process) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            SetConfigPath(path.c_str());
            std::vector<IpHistoryEntry> own;
            LoadIpHistory(own);
            int failures = 0;
            const uint32_t subnet = 0xC0A80000u + (process << 8);
            for (int camera = 0; camera < 100; ++camera)
                failures += RememberIp(own, Mac(0, camera).c_str(), subnet + camera, 0xFFFFFF00u) != 0 ||
                            RememberIp(own, Mac(process, camera).c_str(), subnet + camera, 0xFFFFFF00u) != 0;
            _exit(failures == 0 ? 0 : 1);
        }
        children.push_back(child);
    }
    for (pid_t child : children) {
        int status = 0;
        ASSERT_EQ(child, waitpid(child, &status, 0));
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    SetConfigPath(path.c_str());
    std::vector<IpHistoryEntry> all;
    LoadIpHistory(all);
    ASSERT_EQ(300u, all.size());
    for (const IpHistoryEntry& entry : all)
        EXPECT_EQ(std::string(entry.mac).rfind("00:1B:2C:00:", 0) == 0 ? 3u : 1u, entry.pairs.size()) << entry.mac;
    SetConfigPath(nullptr);
}

// Two programs hold the history as read at their searches' start: the older one forgetting
// an address never overwrites what the newer one wrote for the camera since.
TEST(SettingsFileSharing, ForgettingFromAnOlderCopyKeepsANewerEntry) {
    testsupport::TempDir dir;
    SetConfigPath(dir.Write("tarsel.ini", "[MAC]\n00:1B:2C:00:00:01=3232235876,4294967040;\n").c_str());
    std::vector<IpHistoryEntry> older, newer;
    LoadIpHistory(older);
    LoadIpHistory(newer);
    // The newer program gives the camera an address in another subnet as well...
    ASSERT_EQ(0, RememberIp(newer, "00:1B:2C:00:00:01", 167772169u, 4278190080u));
    // ...and the older one forgets the camera's first address: only that pair goes.
    ForgetIp(older, 3232235876u, 4294967040u);
    std::vector<IpHistoryEntry> file;
    LoadIpHistory(file);
    ASSERT_EQ(1u, file.size());
    ASSERT_EQ(1u, file[0].pairs.size());
    EXPECT_EQ(167772169u, file[0].pairs[0].address);
    EXPECT_EQ(file[0].pairs.size(), older[0].pairs.size());  // the older copy caught up

    // The newer program moved the camera within the subnet: forgetting the old address,
    // which the file no longer holds, writes nothing.
    ASSERT_EQ(0, RememberIp(newer, "00:1B:2C:00:00:01", 3232235877u, 4294967040u));
    LoadIpHistory(older);
    ASSERT_EQ(0, RememberIp(newer, "00:1B:2C:00:00:01", 3232235878u, 4294967040u));
    ForgetIp(older, 3232235877u, 4294967040u);
    LoadIpHistory(file);
    ASSERT_EQ(2u, file[0].pairs.size());
    EXPECT_EQ(3232235878u, file[0].pairs[1].address);  // added after the other subnet's
    EXPECT_FALSE(TakeIpHistoryWriteFailure());
    SetConfigPath(nullptr);
}

TEST(SettingsFileSharing, BadKeysAndFailedWritesAreRefusedAndReported) {
    testsupport::TempDir dir;
    const std::string path = dir.Write(
        "tarsel.ini", "[MAC]\n00:1b:2c:00:00:01=3232235777,4294967040;\nnot-a-mac=1,2;\n");
    SetConfigPath(path.c_str());
    std::vector<IpHistoryEntry> list;
    LoadIpHistory(list);
    ASSERT_EQ(1u, list.size());  // the key that is no MAC is not taken
    for (const char* bad : {"00:1B:2C:00:00:02=1", "[00:1B:2C:00:00]", "00:1B:2C:00:00;2",
                            "00:1B:2C:00:00:0G", "00:1B:2C:00:00:022"}) {
        EXPECT_EQ(-1, RememberIp(list, bad, 1, 2)) << bad;
    }
    EXPECT_FALSE(TakeIpHistoryWriteFailure());

    // A folder that cannot be made: the write fails, is reported once.
    const std::string blocked = dir.Write("file", "") + "/sub/tarsel.ini";
    SetConfigPath(blocked.c_str());
    EXPECT_EQ(-1, RememberIp(list, "00:1B:2C:00:00:03", 3232235779u, 4294967040u));
    EXPECT_TRUE(TakeIpHistoryWriteFailure());
    EXPECT_FALSE(TakeIpHistoryWriteFailure());
    SetConfigPath(nullptr);
}

TEST(SettingsFileSharing, KeyListFillingTheBufferExactlyStaysInside) {
    testsupport::TempDir dir;
    SetConfigPath(dir.Write("tarsel.ini", "[S]\nabcdefgh=1\nxy=2\n").c_str());
    char memory[16];
    std::memset(memory, '#', sizeof memory);
    // "abcdefgh" and its NUL fill 9 of 10 bytes; "xy" finds no room at all.
    EXPECT_EQ(8, ReadConfigString("S", nullptr, "", memory, 10));
    EXPECT_EQ(0, std::memcmp(memory, "abcdefgh\0\0", 10));
    EXPECT_EQ(std::string(6, '#'), std::string(memory + 10, 6));
    SetConfigPath(nullptr);
}

TEST(SettingsFileSharing, InstalledProgramsKeepTheFileInTheUsersFolder) {
    testsupport::TempDir dir;
    setenv("XDG_CONFIG_HOME", dir.Path().c_str(), 1);
    // /usr/bin is writable for root, yet an installed program never writes there.
    EXPECT_EQ(dir.Path() + "/tarsel/tarsel.ini", ConfigPathFor("/usr/bin/tarsel"));
    // A portable copy in a folder of its own keeps it beside itself.
    EXPECT_EQ(dir.File("tarsel.ini"), ConfigPathFor(dir.File("tarsel")));
    unsetenv("XDG_CONFIG_HOME");
}

}  // namespace
