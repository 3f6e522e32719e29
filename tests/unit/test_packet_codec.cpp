#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "LibPacket/PacketProcess.h"
#include "common/Md5.h"
#include "platform/Log.h"

namespace {

using Bytes = std::vector<unsigned char>;

// "01 01 fe fe" -> bytes; spaces are ignored.
Bytes Hex(const std::string& text) {
    Bytes out;
    std::string digits;
    for (char c : text) {
        if (c != ' ' && c != '\n')
            digits.push_back(c);
    }
    for (size_t i = 0; i + 1 < digits.size(); i += 2) {
        out.push_back(static_cast<unsigned char>(std::stoul(digits.substr(i, 2), nullptr, 16)));
    }
    return out;
}

Bytes Build(int transport, uint32_t type, const char* host, const char* mac, const char* user,
            const char* password, const char* request) {
    unsigned char buffer[PACKET_BUFFER_SIZE] = {};
    CPacketProcess codec;
    int length = codec.BuildPacket(buffer, transport, type, host, mac, user, password, request);
    EXPECT_GE(length, 40);
    EXPECT_LE(length, static_cast<int>(PACKET_BUFFER_SIZE));
    return Bytes(buffer, buffer + length);
}

const char kMd5Slash[] = "6666cd76f96956469e7be39d750cc7d9";

std::string EmptyItem(const char* idHex) {
    return std::string("0800 00 00 ") + idHex + " ";
}

// A reply header as a camera writes it; items appended by the caller.
Bytes ReplyHeader(uint32_t type, const unsigned char host[4]) {
    Bytes b(40, 0);
    b[0] = 0x01, b[1] = 0x01, b[2] = 0xFE, b[3] = 0xFE;
    b[4] = static_cast<unsigned char>(type & 0xFF);
    b[5] = static_cast<unsigned char>(type >> 8);
    std::memcpy(&b[6], host, 4);
    return b;
}

void AddItem(Bytes& b, uint32_t id, const std::string& value) {
    size_t length = 8 + value.size();
    b.push_back(static_cast<unsigned char>(length & 0xFF));
    b.push_back(static_cast<unsigned char>(length >> 8));
    b.push_back(0);
    b.push_back(0);
    for (int i = 0; i < 4; ++i)
        b.push_back(static_cast<unsigned char>(id >> (8 * i)));
    b.insert(b.end(), value.begin(), value.end());
}

int Decode(const Bytes& b, const char* arrival, CameraReply* reply) {
    std::memset(reply, 0, sizeof *reply);
    CPacketProcess codec;
    return codec.DecodePacket(b.data(), static_cast<int>(b.size()), arrival, reply);
}

const unsigned char kHost[4] = {0xC0, 0xA8, 0x01, 0x0A};  // 192.168.1.10

}  // namespace

TEST(BuildPacket, QueryIs120BytesForBothTransports) {
    const std::string items = EmptyItem("01000000") + EmptyItem("02000000") +
                              EmptyItem("65000000") + EmptyItem("66000000") +
                              EmptyItem("67000000") + EmptyItem("3c000000") +
                              EmptyItem("68000000") + EmptyItem("0a000000") +
                              EmptyItem("0b000000") + EmptyItem("3e000000");
    const std::string rest =
        " 0200 c0a80105 ffffffffffff 01 000000 " + std::string(kMd5Slash) + " 78000000 " + items;
    Bytes broadcast = Build(TRANSPORT_BROADCAST, HEADER_IP_QUERY, "192.168.1.5", "", "", "", "");
    EXPECT_EQ(Hex("0101fefe" + rest), broadcast);
    Bytes multicast = Build(TRANSPORT_MULTICAST, HEADER_IP_QUERY, "192.168.1.5", "", "", "", "");
    EXPECT_EQ(Hex("0200fdff" + rest), multicast);
    ASSERT_EQ(120u, multicast.size());

    Bytes wireless =
        Build(TRANSPORT_BROADCAST, HEADER_WIRELESS_IP_QUERY, "10.0.0.7", "", "", "", "");
    ASSERT_EQ(120u, wireless.size());
    EXPECT_EQ(Hex("6400 0a000007"), Bytes(wireless.begin() + 4, wireless.begin() + 10));
}

TEST(BuildPacket, AuthenticateAndSystemCommand) {
    Bytes auth = Build(TRANSPORT_BROADCAST, HEADER_IP_AUTHENTICATE, "10.0.0.7", "00:1a:2B:3c:4d:5e",
                       "admin", "pw", "ignored");
    unsigned char digest[16];
    Md5("admin/pw", 8, digest);
    EXPECT_EQ(Hex("0101fefe 0300 0a000007 001a2b3c4d5e 01 000000 " + Md5Hex(digest) + " 48000000" +
                  EmptyItem("02000000") + EmptyItem("65000000") + EmptyItem("32000000") +
                  EmptyItem("33000000")),
              auth);

    Bytes reboot = Build(TRANSPORT_BROADCAST, HEADER_SYSTEM_COMMAND, "10.0.0.7",
                         "00:1a:2b:3c:4d:5e", "admin", "admin", "system.reboot=1");
    ASSERT_EQ(63u, reboot.size());
    EXPECT_EQ(Hex("a8abc0eb28fe60c7a568bea0e5cf1ac2 3f000000"),
              Bytes(reboot.begin() + 20, reboot.begin() + 40));
    EXPECT_EQ(Hex("1700 01 00 5b000000"), Bytes(reboot.begin() + 40, reboot.begin() + 48));
    EXPECT_EQ("system.reboot=1", std::string(reboot.begin() + 48, reboot.end()));

    Bytes raw201 = Build(TRANSPORT_MULTICAST, HEADER_RAW_201, "10.0.0.7", "", "", "", "a=b&c");
    ASSERT_EQ(53u, raw201.size());  // the text whole, in one written item
    EXPECT_EQ(1, raw201[42]);

    // Any other type: header only. Unparsable address: all ones. Partial MAC: rest zero.
    Bytes other = Build(TRANSPORT_BROADCAST, 77, "not-an-address", "0a:0b", "", "", "x");
    EXPECT_EQ(Hex("0101fefe 4d00 ffffffff 0a0b00000000 01"),
              Bytes(other.begin(), other.begin() + 17));
    EXPECT_EQ(Hex("28000000"), Bytes(other.begin() + 36, other.end()));
}

TEST(BuildPacket, SetItemsFromAssignments) {
    Bytes set =
        Build(TRANSPORT_BROADCAST, HEADER_IP_SET, "10.0.0.7", "00:1a:2b:3c:4d:5e", "admin", "admin",
              "network.wire.ipv4.mode=manual&&unknown.key=1&network.device_name=Gate 3");
    EXPECT_EQ(Hex("0e00 01 00 68000000"), Bytes(set.begin() + 40, set.begin() + 48));
    EXPECT_EQ("manual", std::string(set.begin() + 48, set.begin() + 54));
    EXPECT_EQ(Hex("0e00 01 00 01000000"), Bytes(set.begin() + 54, set.begin() + 62));
    EXPECT_EQ("Gate 3", std::string(set.begin() + 62, set.end()));
    EXPECT_EQ(68u, set.size());
    EXPECT_EQ(68, set[36]);

    const char triple[] = "192.168.1.20/255.255.255.0/192.168.1.1";
    Bytes address = Build(TRANSPORT_BROADCAST, HEADER_IP_SET, "10.0.0.7", "00:1a:2b:3c:4d:5e", "",
                          "", (std::string("network.wire.ipv4.manual.address=") + triple).c_str());
    ASSERT_EQ(40u + 8 + std::strlen(triple), address.size());
    EXPECT_EQ(101, address[44]);
    EXPECT_EQ(triple, std::string(address.begin() + 48, address.end()));

    EXPECT_EQ(40u, Build(TRANSPORT_BROADCAST, HEADER_IP_SET, "10.0.0.7", "", "", "", "").size());
    EXPECT_EQ(40u,
              Build(TRANSPORT_BROADCAST, HEADER_IP_SET, "10.0.0.7", "", "", "", "nope=1").size());
    // A piece without "=" is a key with an empty value.
    Bytes bare = Build(TRANSPORT_BROADCAST, HEADER_IP_SET, "10.0.0.7", "", "", "", "system.reboot");
    ASSERT_EQ(48u, bare.size());
    EXPECT_EQ(Hex("0800 01 00 2c010000"), Bytes(bare.begin() + 40, bare.end()));
}

TEST(BuildPacket, OversizedRequestTextsStayInsideTheBuffer) {
    std::string huge(5000, 'x');
    Bytes command =
        Build(TRANSPORT_BROADCAST, HEADER_SYSTEM_COMMAND, "10.0.0.7", "", "", "", huge.c_str());
    EXPECT_EQ(PACKET_BUFFER_SIZE, command.size());
    std::string longSet = "network.device_name=" + std::string(400, 'n') + "&system.reboot=1";
    Bytes set = Build(TRANSPORT_BROADCAST, HEADER_IP_SET, "10.0.0.7", "", "", "", longSet.c_str());
    ASSERT_EQ(40u + 8 + 127 + 8 + 1, set.size());  // value cut to 127 characters
    EXPECT_EQ(44, set[44 + 135]);                  // then id 300 (0x12c)
}

TEST(DecodePacket, HeaderChecks) {
    tarsel::CapturingLogSink log;
    CameraReply reply;
    Bytes shortOne(39, 0xAB);
    std::memset(&reply, 0x5A, sizeof reply);
    CPacketProcess codec;
    EXPECT_EQ(0, codec.DecodePacket(shortOne.data(), 39, "192.168.1.10", &reply));
    EXPECT_EQ(0x5A5A5A5Au, reply.type);  // untouched

    Bytes ok = ReplyHeader(HEADER_IP_QUERY, kHost);
    EXPECT_EQ(2, Decode(ok, "192.168.1.10", &reply));
    EXPECT_EQ(2u, reply.type);
    Bytes odd = ok;
    odd[0] = 0x07, odd[1] = 0x03, odd[2] = 0xF8, odd[3] = 0xFC;
    EXPECT_EQ(2, Decode(odd, "192.168.1.10", &reply));
    EXPECT_EQ(0u, log.Count("fail"));

    Bytes badVersion = ok;
    badVersion[3] = 0xFF;
    EXPECT_EQ(-1, Decode(badVersion, "192.168.1.10", &reply));
    EXPECT_EQ(1u, log.Count("Check_Version fail"));
    EXPECT_EQ(0u, reply.type);

    log.Clear();
    EXPECT_EQ(-1, Decode(ok, "192.168.001.010", &reply));
    EXPECT_EQ(-1, Decode(ok, "192.168.1.1", &reply));
    EXPECT_EQ(2u, log.Count("<Tarsel>(PacketProcess.cpp:"));
    EXPECT_EQ(2u, log.Count("Check_SrcIp fail.\n"));

    Bytes fromHost = ok;
    fromHost[16] = 1;
    EXPECT_EQ(-1, Decode(fromHost, "192.168.1.10", &reply));
    EXPECT_EQ(1u, log.Count("Check_Sender fail\n"));

    Bytes setReply = ReplyHeader(HEADER_IP_SET, kHost);
    AddItem(setReply, 1, "ignored");
    EXPECT_EQ(1, Decode(setReply, "192.168.1.10", &reply));
    EXPECT_EQ(1u, reply.type);
    EXPECT_STREQ("", reply.deviceName);
    Bytes command = ReplyHeader(HEADER_SYSTEM_COMMAND, kHost);
    AddItem(command, 2, "00:11:22:33:44:55");
    EXPECT_EQ(200, Decode(command, "192.168.1.10", &reply));
    EXPECT_STREQ("", reply.mac);
    Bytes zeroType = ReplyHeader(0, kHost);
    EXPECT_EQ(0, Decode(zeroType, "192.168.1.10", &reply));
    EXPECT_EQ(0u, reply.type);
}

TEST(DecodePacket, ItemsAndTheirLimits) {
    tarsel::CapturingLogSink log;
    CameraReply reply;
    Bytes b = ReplyHeader(HEADER_IP_QUERY, kHost);
    AddItem(b, 1, "Lobby");
    AddItem(b, 2, std::string("00:11:22:33:44:55") + '\0');  // 18-byte value
    AddItem(b, 10, "TS-100");
    AddItem(b, 11, "2.1.0");
    AddItem(b, 60, "80");
    AddItem(b, 62, "Acme");
    AddItem(b, 101, "192.168.1.20");
    AddItem(b, 102, "255.255.255.0");
    AddItem(b, 103, "192.168.1.1");
    AddItem(b, 104, "dhcp");
    AddItem(b, 1, "Lobby 2");  // a later item overwrites
    AddItem(b, 303, "out of range");
    AddItem(b, 0, "zero id");
    AddItem(b, 50, "short");
    AddItem(b, 51, std::string(20, 'B'));
    ASSERT_EQ(2, Decode(b, "192.168.1.10", &reply));
    const std::string fields[] = {reply.deviceName, reply.mac,     reply.productName,
                                  reply.fwVersion,  reply.httpPort, reply.company,
                                  reply.ip,         reply.mask,    reply.gateway,
                                  reply.mode,       reply.serial};
    EXPECT_EQ((std::vector<std::string>{"Lobby 2", "00:11:22:33:44:55", "TS-100", "2.1.0", "80",
                                        "Acme", "192.168.1.20", "255.255.255.0", "192.168.1.1",
                                        "dhcp", ""}),
              std::vector<std::string>(std::begin(fields), std::end(fields)));
    EXPECT_EQ(0u, reply.viaHttp);
    const unsigned char shortDigest[16] = {'s', 'h', 'o', 'r', 't'};
    EXPECT_EQ(0, std::memcmp(shortDigest, reply.digestA, 16));
    EXPECT_EQ(std::string(16, 'B'), std::string(reinterpret_cast<char*>(reply.digestB), 16));
    EXPECT_EQ(0u, log.Lines().size());  // exact walk, under 400 bytes: silent

    // Values of 128..255 bytes are cut to 127 characters; 256 and more are skipped.
    Bytes longValues = ReplyHeader(HEADER_WIRELESS_IP_QUERY, kHost);
    AddItem(longValues, 1, std::string(255, 'n'));
    AddItem(longValues, 62, std::string(256, 'c'));
    AddItem(longValues, 104, "");  // an empty value is skipped
    ASSERT_EQ(100, Decode(longValues, "192.168.1.10", &reply));
    EXPECT_EQ(std::string(127, 'n'), reply.deviceName);
    EXPECT_STREQ("", reply.company);
    EXPECT_EQ(1u, log.Count("iSize:575, AllPacketDataSize:535, nType:100"));
    EXPECT_EQ(0u, log.Count("SizeCounter"));
    EXPECT_EQ(1u, log.Count("strcpy overflow"));
}

TEST(DecodePacket, MalformedWalksNeverReadPastTheDatagram) {
    tarsel::CapturingLogSink log;
    CameraReply reply;
    // Four zero bytes after the last item: logged, the items stand.
    Bytes trailing = ReplyHeader(HEADER_IP_QUERY, kHost);
    AddItem(trailing, 2, "00:11:22:33:44:55");
    trailing.insert(trailing.end(), 4, 0);
    EXPECT_EQ(2, Decode(trailing, "192.168.1.10", &reply));
    EXPECT_STREQ("00:11:22:33:44:55", reply.mac);
    EXPECT_EQ(1u, log.Count("SizeCounter:25, AllPacketDataSize:29, nType:2"));

    // An item whose length runs past the end ends the walk unread. The datagram is copied
    // into a heap block of exactly its size so that ASan sees any read beyond it.
    Bytes overrun = ReplyHeader(HEADER_IP_QUERY, kHost);
    AddItem(overrun, 1, "kept");
    AddItem(overrun, 2, "00:11:22:33:44:55");
    overrun.resize(overrun.size() - 3);
    std::vector<unsigned char> exact(overrun);
    exact.shrink_to_fit();
    EXPECT_EQ(2, Decode(exact, "192.168.1.10", &reply));
    EXPECT_STREQ("kept", reply.deviceName);
    EXPECT_STREQ("", reply.mac);
    EXPECT_EQ(1u, log.Count("SizeCounter:12, AllPacketDataSize:34, nType:2"));

    // One odd byte after the items, and a header-only reply: no read beyond the end.
    Bytes odd = ReplyHeader(HEADER_IP_AUTHENTICATE, kHost);
    AddItem(odd, 2, "x");
    odd.push_back(0x09);
    EXPECT_EQ(3, Decode(odd, "192.168.1.10", &reply));
    EXPECT_STREQ("x", reply.mac);
    Bytes headerOnly = ReplyHeader(HEADER_IP_QUERY, kHost);
    log.Clear();
    EXPECT_EQ(2, Decode(headerOnly, "192.168.1.10", &reply));
    EXPECT_EQ(0u, log.Lines().size());
}
