// The adapters and models commands, and the settings file and language choice that every
// command honours. Reads the machine's adapter list only; sends nothing.


#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "CliMain.h"
#include "common/Config.h"
#include "common/Language.h"
#include "common/ModelList.h"
#include "finder/LibIP.h"
#include "support/TestSupport.h"

namespace {

// Runs the command line with stdout captured; puts the process back into its defaults after.
int RunTarsel(std::vector<const char*> args, std::string* out) {
    args.insert(args.begin(), "tarsel");
    int code = 0;
    *out = testsupport::CaptureStdout(
        [&] { code = cli::RunCli(static_cast<int>(args.size()), args.data()); });
    SetConfigPath(nullptr);
    SetThreadLanguage(LANGUAGE_ENGLISH);
    currentLanguage = -1;
    return code;
}

std::string FirstLine(const std::string& text) { return text.substr(0, text.find('\n')); }

}  // namespace

TEST(CliHost, ModelsByFirmwareGroupInEveryFormat) {
    std::string out;
    ASSERT_EQ(RunTarsel({"models", "--json"}, &out), 0);
    auto doc = nlohmann::json::parse(out);
    ASSERT_EQ(doc.size(), MODEL_COUNT);
    for (const auto& row : doc) {
        std::string model = row["model"];
        int group = row["group"];
        int field = row["firmwareField"];
        EXPECT_TRUE(IsKnownModel(model.c_str())) << model;
        std::string firmware = "1.0.0.0." + std::to_string(field) + ".bin";
        EXPECT_EQ(FirmwareGroup(firmware.c_str()), group) << firmware;
        EXPECT_TRUE(IsModelForFirmware(model.c_str(), firmware.c_str())) << model;
    }
    ASSERT_EQ(RunTarsel({"models", "--csv"}, &out), 0);
    EXPECT_EQ(FirstLine(out), "group,firmwareField,model\r");
    EXPECT_EQ(RunTarsel({"models", "extra"}, &out), 1);
    EXPECT_EQ(RunTarsel({"models", "--json", "--csv"}, &out), 1);
}

TEST(CliHost, LanguageFromTheOptionOrTheChosenSettingsFile) {
    testsupport::TempDir folder;
    const std::string ini = folder.Write("site.ini", "[SYSTEM]\r\nLanguage=CHINESE_TRADITIONAL\r\n");

    std::string out;
    ASSERT_EQ(RunTarsel({"models"}, &out), 0);
    EXPECT_NE(FirstLine(out).find("Model No."), std::string::npos) << out;
    ASSERT_EQ(RunTarsel({"--config", ini.c_str(), "models"}, &out), 0);
    EXPECT_NE(FirstLine(out).find("型號"), std::string::npos) << out;
    ASSERT_EQ(RunTarsel({"--config", ini.c_str(), "--lang", "en", "models"}, &out), 0);
    EXPECT_NE(FirstLine(out).find("Model No."), std::string::npos) << out;
    ASSERT_EQ(RunTarsel({"--lang", "pl", "adapters"}, &out), 0);
    EXPECT_NE(FirstLine(out).find("Brama domyślna"), std::string::npos) << out;
    // The language is read, never written: the file stays as it was.
    EXPECT_EQ(testsupport::ReadFile(ini), "[SYSTEM]\r\nLanguage=CHINESE_TRADITIONAL\r\n");
}

TEST(CliHost, AdaptersJsonMatchesTheEnumeration) {
    std::string out;
    ASSERT_EQ(RunTarsel({"adapters", "--json"}, &out), 0);
    auto doc = nlohmann::json::parse(out);
    std::vector<NetworkAdapter> list;
    EnumerateAdapters(list);
    ASSERT_EQ(doc.size(), list.size());
    for (size_t i = 0; i < list.size(); ++i) EXPECT_EQ(doc[i]["name"], list[i].name);
    EXPECT_EQ(RunTarsel({"adapters", "--bogus"}, &out), 1);
}
