#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "common/stdafx.h"
#include "platform/Log.h"

TEST(BoundedCopy, FitsExactlyBelowCapacityAndCutsAtOrPast) {
    tarsel::CapturingLogSink log;
    char field[33];

    // 32 characters fit a 33-byte field with the NUL, silently.
    std::string fits(32, 'a');
    EXPECT_EQ(0, BoundedCopy(field, fits.c_str(), "Caller", 7));
    EXPECT_EQ(fits, field);
    EXPECT_EQ(0u, log.Lines().size());

    // 33 characters do not: cut to 32, logged once with caller, capacity and length.
    std::string over(33, 'b');
    EXPECT_EQ(-1, BoundedCopy(field, over.c_str(), "CTSmainDlg::rvRepeatProcess", 120));
    EXPECT_EQ(std::string(32, 'b'), field);
    ASSERT_EQ(1u, log.Lines().size());
    const std::string line = log.Lines()[0];
    EXPECT_EQ(0u, line.find("<Tarsel>(stdafx.cpp:"));
    EXPECT_NE(std::string::npos,
              line.find("[CTSmainDlg::rvRepeatProcess:120] Error: strcpy overflow 33 <= 33, string: " +
                        over + "\n"));

    // Far past capacity: still terminated, nothing written beyond the field.
    char guarded[8 + 4];
    std::memset(guarded, 'Z', sizeof guarded);
    EXPECT_EQ(-1, BoundedCopy(guarded, 8, "0123456789abcdef", "GetNode", 47));
    EXPECT_STREQ("0123456", guarded);
    EXPECT_EQ('Z', guarded[8]);
    EXPECT_EQ('Z', guarded[11]);

    // A null source is an empty text.
    EXPECT_EQ(0, BoundedCopy(field, nullptr, "x", 1));
    EXPECT_STREQ("", field);

    // A password too long for its field (40 Polish letters are 80 bytes) is cut the same
    // way, but its text never reaches the log.
    log.Clear();
    char password[41];
    std::string polish;
    for (int i = 0; i < 40; ++i) polish += "\xC5\xBC";
    EXPECT_EQ(-1, BoundedCopySecret(password, polish.c_str(), "CTSmainDlg::VerifyCamera", 227));
    EXPECT_EQ(polish.substr(0, 40), password);
    ASSERT_EQ(1u, log.Lines().size());
    EXPECT_EQ(std::string::npos, log.Lines()[0].find("\xC5\xBC"));
    EXPECT_NE(std::string::npos, log.Lines()[0].find("strcpy overflow 41 <= 80, string: (a password, not shown)"));
}

TEST(TarselLog, TaggedTerminatedAndCutAt2048Bytes) {
    tarsel::CapturingLogSink log;
    TLOG("(%s:%d)SendPacket HEADER_IP_QUERY\n");
    std::string huge(5000, 'x');
    TarselLog("%s", huge.c_str());
    auto lines = log.Lines();
    ASSERT_EQ(2u, lines.size());
    EXPECT_EQ(0u, lines[0].find("<Tarsel>(test_stdafx.cpp:"));
    EXPECT_NE(std::string::npos, lines[0].find(")SendPacket HEADER_IP_QUERY\n\n"));
    EXPECT_EQ(2048u, lines[1].size());
    EXPECT_EQ(0u, lines[1].find("<Tarsel>xxx"));
}

// A failure or refusal reaches the journal at its own level; its text is the same line.
TEST(TarselLog, LevelsChangeNothingButTheLevel) {
    tarsel::CapturingLogSink log;
    TLOG_WARNING("(%s:%d)%s refused a setting: %s", "a", "b");
    TLOG_NOTICE("(%s:%d)two");
    const auto lines = log.Lines();
    ASSERT_EQ(2u, lines.size());
    EXPECT_NE(std::string::npos, lines[0].find(")a refused a setting: b\n"));
    EXPECT_EQ(tarsel::LogLevel::Warning, log.LevelOf("refused a setting"));
    EXPECT_EQ(tarsel::LogLevel::Notice, log.LevelOf(")two"));
    char small[4];
    BoundedCopy(small, "camera text", "Caller", 1);  // a camera value cut to its field
    EXPECT_EQ(tarsel::LogLevel::Notice, log.LevelOf("strcpy overflow"));
}
