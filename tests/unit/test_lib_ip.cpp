// Address arithmetic, validation and the address history kept in the settings file.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <string>

#include "common/Config.h"
#include "finder/LibIP.h"
#include "support/TestSupport.h"

namespace {

class HistoryFile : public ::testing::Test {
protected:
    void SetUp() override { SetConfigPath(path_.c_str()); }
    void TearDown() override { SetConfigPath(nullptr); }
    std::string Contents() const { return testsupport::ReadFile(path_); }
    void Write(const std::string& text) const { testsupport::WriteFile(path_, text); }
    ino_t Inode() const {
        struct stat st {};
        return ::stat(path_.c_str(), &st) == 0 ? st.st_ino : 0;
    }

    testsupport::TempDir folder_;
    std::string path_ = folder_.File("tarsel.ini");
};

uint64_t Ip(const char* text) { return IpTextToValue(text); }

}  // namespace

TEST(LibIP, DottedQuadParsingIsStrict) {
    EXPECT_EQ(IpTextToValue("192.168.1.100"), 3232235876u);
    EXPECT_EQ(IpValueToText(3232235876u), "192.168.1.100");
    for (const char* bad : {"192.168.1", "256.1.1.1", "1.2.3.4.5", "1.2.3.", " 1.2.3.4",
                            "1.2.3.4 ", "1.2.3.-4", "1.2.3.4a", "0x1.2.3.4", "", "1..2.3",
                            "1.2.3.04", "1.2.3.256"}) {
        EXPECT_FALSE(IsValidIpText(bad)) << bad;
        EXPECT_EQ(IpTextToValue(bad), INVALID_IP_VALUE) << bad;
    }
    EXPECT_FALSE(IsValidIpText(nullptr));
    // Only the low 32 bits are shown.
    EXPECT_EQ(IpValueToText(INVALID_IP_VALUE), "255.255.255.255");
    EXPECT_EQ(IpValueToText((uint64_t{7} << 32) | 0x0A000001u), "10.0.0.1");
}

TEST(LibIP, SubnetArithmetic) {
    uint64_t a = Ip("192.168.1.100");
    EXPECT_EQ(SubnetOf(a, Ip("255.255.255.0")), Ip("192.168.1.0"));
    EXPECT_EQ(LastAddress(a, Ip("255.255.255.0")), Ip("192.168.1.255"));
    EXPECT_EQ(LastAddress(a, Ip("255.255.255.252")), Ip("192.168.1.103"));
    EXPECT_EQ(LastAddress(Ip("10.20.30.40"), Ip("255.0.0.0")), Ip("10.255.255.255"));
}

TEST(LibIP, MaskTableAcceptsExactlyPrefixesEightToThirty) {
    // Every dotted text whose octets come from the candidate values: exactly the contiguous
    // masks /8../30 are accepted.
    const int octets[] = {0, 1, 127, 128, 192, 224, 240, 248, 252, 254, 255};
    int accepted = 0;
    for (int o1 : octets) for (int o2 : octets) for (int o3 : octets) for (int o4 : octets) {
        char text[32];
        std::snprintf(text, sizeof text, "%d.%d.%d.%d", o1, o2, o3, o4);
        uint32_t v = (uint32_t(o1) << 24) | (uint32_t(o2) << 16) | (uint32_t(o3) << 8) | uint32_t(o4);
        int prefix = 0;
        while (prefix < 32 && (v & (0x80000000u >> prefix))) ++prefix;
        bool contiguous = prefix == 32 || (v << prefix) == 0;
        bool expected = contiguous && prefix >= 8 && prefix <= 30;
        EXPECT_EQ(IsValidMaskText(text), expected) << text;
        accepted += IsValidMaskText(text);
    }
    EXPECT_EQ(accepted, 23);
    EXPECT_FALSE(IsValidMaskText(nullptr));
}

TEST(LibIP, PortRule) {
    for (const char* good : {"80", "1", "8080", "65535", "443"}) {
        EXPECT_TRUE(IsValidPortText(good)) << good;
    }
    for (const char* bad : {"080", " 80", "80 ", "80a", "0", "65536", "-80", "+80", "", "a80",
                            "99999999999999999999", "4294967376"}) {
        EXPECT_FALSE(IsValidPortText(bad)) << bad;
    }
    EXPECT_FALSE(IsValidPortText(nullptr));
}

TEST(LibIP, HistoryValueParsing) {
    auto pairs = ParseIpHistoryValue("167772169,4278190080;;3232235783,4294967040;");
    ASSERT_EQ(pairs.size(), 2u);
    EXPECT_EQ(pairs[0].address, 167772169u);
    EXPECT_EQ(pairs[1].mask, 4294967040u);
    // Garbage pieces are skipped, the rest is kept; a missing last ';' still counts.
    pairs = ParseIpHistoryValue("x;1,2;3;4,;  5, 6;7 ,8;-1,9;10,11");
    ASSERT_EQ(pairs.size(), 4u);
    EXPECT_EQ(pairs[0].address, 1u);
    EXPECT_EQ(pairs[1].address, 5u);
    EXPECT_EQ(pairs[1].mask, 6u);
    EXPECT_EQ(pairs[2].address, INVALID_IP_VALUE);  // -1 is the invalid address
    EXPECT_EQ(pairs[3].mask, 11u);
    EXPECT_TRUE(ParseIpHistoryValue("").empty());
    EXPECT_TRUE(ParseIpHistoryValue("99999999999999999999999,1;").size() == 1);
    EXPECT_EQ(FormatIpHistoryValue({{3232235876u, 4294967040u}, {INVALID_IP_VALUE, 0}}),
              "3232235876,4294967040;-1,0;");
}

TEST_F(HistoryFile, RememberReplacesTheSubnetsPairAndWritesBothInOrder) {
    Write("[MAC]\r\n00:11:22:33:44:55=167772165,4278190080;3232235783,4294967040;\r\n");
    std::vector<IpHistoryEntry> list;
    LoadIpHistory(list);
    ASSERT_EQ(list.size(), 1u);
    RememberIp(list, "00:11:22:33:44:55", Ip("10.0.0.9"), Ip("255.0.0.0"));
    EXPECT_EQ(Contents(),
              "[MAC]\r\n00:11:22:33:44:55=167772169,4278190080;3232235783,4294967040;\r\n");
    EXPECT_EQ(FindRememberedIp(list, "00:11:22:33:44:55", Ip("10.0.0.0"), Ip("255.0.0.0")),
              Ip("10.0.0.9"));
    EXPECT_EQ(FindRememberedIp(list, "00:11:22:33:44:55", Ip("10.0.0.0"), Ip("255.255.0.0")), 0u);
    EXPECT_EQ(FindRememberedIp(list, "00:11:22:33:44:56", Ip("10.0.0.0"), Ip("255.0.0.0")), 0u);
    EXPECT_TRUE(IsIpRemembered(list, Ip("192.168.1.7"), Ip("192.168.1.0"), Ip("255.255.255.0")));
    EXPECT_FALSE(IsIpRemembered(list, Ip("192.168.1.8"), Ip("192.168.1.0"), Ip("255.255.255.0")));

    // Remembering what it holds writes nothing: the file is not even replaced.
    ino_t before = Inode();
    RememberIp(list, "00:11:22:33:44:55", Ip("192.168.1.7"), Ip("255.255.255.0"));
    EXPECT_EQ(Inode(), before);

    // A new subnet is appended; a new camera gets its own key.
    RememberIp(list, "00:11:22:33:44:55", Ip("172.16.0.2"), Ip("255.255.0.0"));
    RememberIp(list, "AA:BB:CC:DD:EE:FF", Ip("10.0.0.10"), Ip("255.0.0.0"));
    std::vector<IpHistoryEntry> reread;
    LoadIpHistory(reread);
    ASSERT_EQ(reread.size(), 2u);
    EXPECT_EQ(reread[0].pairs.size(), 3u);
    EXPECT_STREQ(reread[1].mac, "AA:BB:CC:DD:EE:FF");

    // Forgetting keeps the key with an empty value, and only the holder changes.
    ForgetIp(reread, Ip("10.0.0.10"), Ip("255.0.0.0"));
    EXPECT_NE(Contents().find("AA:BB:CC:DD:EE:FF=\r\n"), std::string::npos);
    LoadIpHistory(list);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_TRUE(list[1].pairs.empty());
    EXPECT_EQ(list[0].pairs.size(), 3u);
    // A camera with an empty entry takes a new pair.
    RememberIp(list, "AA:BB:CC:DD:EE:FF", Ip("10.0.0.11"), Ip("255.0.0.0"));
    EXPECT_NE(Contents().find("AA:BB:CC:DD:EE:FF=167772171,4278190080;\r\n"), std::string::npos);
}

TEST_F(HistoryFile, FiveHundredCamerasLoadWholeAndKeepTheirAddressesAfterRewrites) {
    std::string text = "[SYSTEM]\nLanguage=POLISH\n[MAC]\n";
    for (int i = 0; i < 500; ++i) {
        char line[128];
        std::snprintf(line, sizeof line, "02:00:00:00:%02x:%02x=%llu,4294901760;%llu,4294967040;\n",
                      i / 256, i % 256, 167772160ull + i, 3232235520ull + i);
        text += line;
    }
    Write(text);
    std::vector<IpHistoryEntry> list;
    LoadIpHistory(list);
    ASSERT_EQ(list.size(), 500u);
    EXPECT_STREQ(list[499].mac, "02:00:00:00:01:f3");

    // Change a few and forget one address; everything else must survive the rewrites.
    RememberIp(list, "02:00:00:00:00:07", Ip("10.0.200.1"), Ip("255.255.0.0"));
    RememberIp(list, "02:00:00:00:01:f3", Ip("172.16.1.1"), Ip("255.255.255.0"));
    ForgetIp(list, 3232235520ull + 100, 4294967040ull);

    std::vector<IpHistoryEntry> reread;
    LoadIpHistory(reread);
    ASSERT_EQ(reread.size(), 500u);
    for (int i = 0; i < 500; ++i) {
        const IpHistoryEntry& e = reread[static_cast<size_t>(i)];
        uint64_t expectTen = i == 7 ? Ip("10.0.200.1") : 167772160ull + static_cast<uint64_t>(i);
        EXPECT_EQ(FindRememberedIp(reread, e.mac, Ip("10.0.0.0"), 4294901760ull), expectTen) << i;
        uint64_t expectLan = i == 100 ? 0 : 3232235520ull + static_cast<uint64_t>(i);
        uint64_t lanSubnet = (3232235520ull + static_cast<uint64_t>(i)) & 4294967040ull;
        EXPECT_EQ(FindRememberedIp(reread, e.mac, lanSubnet, 4294967040ull), expectLan) << i;
    }
    EXPECT_EQ(reread[499].pairs.size(), 3u);
    EXPECT_EQ(ReadConfigText("SYSTEM", "Language", ""), "POLISH");
}

TEST_F(HistoryFile, OverlongKeysAreLeftAloneAndLongValuesReadWhole) {
    std::string longValue;
    for (int i = 0; i < 400; ++i) longValue += std::to_string(167772160 + i) + ",4294967295;";
    ASSERT_GT(longValue.size(), 4096u);
    Write("[MAC]\nthis-key-is-far-too-long-for-a-mac-text=1,2;\n00:11:22:33:44:55=" + longValue +
          "\n");
    std::vector<IpHistoryEntry> list;
    LoadIpHistory(list);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].pairs.size(), 400u);
    RememberIp(list, "this-key-is-far-too-long-for-a-mac-text", 5, 6);
    EXPECT_EQ(list.size(), 1u);
    EXPECT_NE(Contents().find("this-key-is-far-too-long-for-a-mac-text=1,2;\n"), std::string::npos);
}
