// The manager's configuration file beside the program.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <string>

#include "config_file.h"
#include "gateway_settings.h"
#include "manager_fixture.h"
#include "settings_location.h"
#include "texts/language_texts.h"
#include "texts/text_export.h"

namespace {

using manager::ConfigFile;
using vr620_test::ReadFile;
using vr620_test::WriteFile;

class ConfigFileTest : public vr620_test::ManagerTest {
  protected:
    std::filesystem::path Ini() const { return folder / "VR620Manager.INI"; }
};

TEST_F(ConfigFileTest, LiesBesideTheProgramWithItsExtensionReplaced) {
    EXPECT_EQ(ConfigFile().Path(), Ini());
    EXPECT_EQ(texts::LanguageLibraryPath("FIN"), folder / "VR620Manager_FIN.so");
    EXPECT_EQ(texts::LanguageLibraryPath(""), folder / "VR620Manager_.so");

    manager::SetProgramPathForTesting(folder / "VR620Manager.bin");
    EXPECT_EQ(ConfigFile().Path(), Ini());
    EXPECT_EQ(texts::LanguageLibraryPath("SWE"), folder / "VR620Manager_SWE.so");
    // A dot in a folder's name is no extension.
    std::filesystem::create_directory(folder / "v1.2");
    manager::SetProgramPathForTesting(folder / "v1.2" / "VR620Manager");
    EXPECT_EQ(ConfigFile().Path(), folder / "v1.2" / "VR620Manager.INI");
}

TEST_F(ConfigFileTest, WithoutAFileEveryValueIsItsDefault) {
    const ConfigFile config;
    EXPECT_EQ(config.ReadInteger("CONNECTION_SETTINGS", "Channel", 0), 0);
    EXPECT_EQ(config.ReadText("COMMON", "DefaultLanguage", "FIN"), "FIN");
    EXPECT_EQ(config.ReadText("APPLICATIONS", "CONFIG_APPLICATION_NAME", "VR620Configurator"),
              "VR620Configurator");
}

TEST_F(ConfigFileTest, ReadsTextsAsStoredAndAPresentEmptyValueAsEmpty) {
    WriteFile(Ini(),
              "[common]\r\nDefaultLanguage=\r\n[APPLICATIONS]\r\n"
              "config_application_name= /opt/vr620/Conf x \r\n");
    const ConfigFile config;
    EXPECT_EQ(config.ReadText("COMMON", "DefaultLanguage", "FIN"), "");
    EXPECT_EQ(config.ReadText("APPLICATIONS", "CONFIG_APPLICATION_NAME", "d"), "/opt/vr620/Conf x");
    EXPECT_EQ(config.ReadText("APPLICATIONS", "SETTINGS_APPLICATION_NAME", "d"), "d");
}

TEST_F(ConfigFileTest, CutsLongTextsTo2047Characters) {
    WriteFile(Ini(), "[APPLICATIONS]\nCONFIG_APPLICATION_NAME=" + std::string(3000, 'a') + "\n");
    EXPECT_EQ(ConfigFile().ReadText("APPLICATIONS", "CONFIG_APPLICATION_NAME", ""),
              std::string(2047, 'a'));
}

TEST_F(ConfigFileTest, ReadsHexadecimalAndSignedDecimalIntegers) {
    const struct {
        const char* stored;
        int expected;
    } cases[] = {
        {"3", 3},
        {"0x0A", 10},
        {"0X1f", 31},
        {"-5", -5},
        {"+7", 7},
        {"abc", 99},
        {"12abc", 99},
        {"0x", 99},
        {"0xZZ", 99},
        {"0x-1", 99},
        {"", 99},
        {"4294967296", 99},
        {"-2147483648", INT_MIN},
        {"0x7fffffff", INT_MAX},
    };
    for (const auto& c : cases) {
        WriteFile(Ini(), std::string("[CONNECTION_SETTINGS]\nChannel=") + c.stored + "\n");
        EXPECT_EQ(ConfigFile().ReadInteger("CONNECTION_SETTINGS", "Channel", 99), c.expected)
            << "stored \"" << c.stored << "\"";
    }
    EXPECT_EQ(manager::ParseConfigInteger("0x0A", 0), 10);
    EXPECT_EQ(ConfigFile().ReadInteger("CONNECTION_SETTINGS", "Missing", 5), 5);
}

TEST_F(ConfigFileTest, AWriteCreatesFileAndSection) {
    ASSERT_TRUE(ConfigFile().WriteText("CONNECTION_SETTINGS", "Channel", "4").Ok());
    EXPECT_EQ(ConfigFile().ReadInteger("CONNECTION_SETTINGS", "Channel", 0), 4);

    // Every other line stays byte for byte; a new section comes after them.
    const std::string before =
        "; the user's notes\r\n[COMMON]\r\nDefaultLanguage=SWE\r\n\r\n[APPLICATIONS]\r\n"
        "CONFIG_APPLICATION_NAME=\"my conf\"\r\n";
    WriteFile(Ini(), before);
    ASSERT_TRUE(ConfigFile().WriteText("CONNECTION_SETTINGS", "Channel", "4").Ok());
    const std::string after = ReadFile(Ini());
    EXPECT_EQ(after.substr(0, before.size()), before);
    EXPECT_EQ(ConfigFile().ReadInteger("CONNECTION_SETTINGS", "Channel", 0), 4);
    EXPECT_EQ(ConfigFile().ReadText("COMMON", "DefaultLanguage", ""), "SWE");
}

TEST_F(ConfigFileTest, AWriteReplacesOnlyTheValue) {
    WriteFile(Ini(), "[CONNECTION_SETTINGS]\nchannel=1\nOther=x ; y\n[COMMON]\nChannel=7\n");
    ASSERT_TRUE(ConfigFile().WriteText("CONNECTION_SETTINGS", "Channel", "254").Ok());
    const std::string after = ReadFile(Ini());
    EXPECT_NE(after.find("[CONNECTION_SETTINGS]\n"), std::string::npos);
    EXPECT_NE(after.find("=254\nOther=x ; y\n[COMMON]\nChannel=7\n"), std::string::npos) << after;
    EXPECT_EQ(ConfigFile().ReadInteger("CONNECTION_SETTINGS", "Channel", 0), 254);
}

TEST_F(ConfigFileTest, AFailedWriteSaysSoNamingTheFile) {
    const ConfigFile missingFolder(folder / "no such folder" / "VR620Manager.INI");
    const auto written = missingFolder.WriteText("CONNECTION_SETTINGS", "Channel", "4");
    ASSERT_FALSE(written.Ok());
    EXPECT_NE(written.Why().words.find(missingFolder.Path().string()), std::string::npos)
        << written.Why().words;
    EXPECT_FALSE(std::filesystem::exists(missingFolder.Path().parent_path()));

    // A folder in the file's place cannot be replaced.
    std::filesystem::create_directory(Ini());
    EXPECT_FALSE(ConfigFile().WriteText("CONNECTION_SETTINGS", "Channel", "4").Ok());
    EXPECT_TRUE(std::filesystem::is_directory(Ini()));
}

// An installed program's folder belongs to root. The checks run in a child process as a user
// who cannot write it (root writes anywhere, so the child drops to nobody).
TEST_F(ConfigFileTest, AFolderThatCannotBeWrittenKeepsTheFilesInTheUsersFolder) {
    const auto program = folder.Path() / "opt";
    const auto user = folder.Path() / "config";
    std::filesystem::create_directories(program);
    std::filesystem::create_directories(user);
    WriteFile(program / "VR620Manager.INI",
              "[CONNECTION_SETTINGS]\r\nChannel=2\r\n[COMMON]\r\nDefaultLanguage=SWE\r\n");
    chmod(folder.Path().c_str(), 0755);
    chmod(program.c_str(), 0555);
    chmod(user.c_str(), 0777);
    manager::SetProgramPathForTesting(program / "VR620Manager");

    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(2);
        // Without a user file everything comes from the program's folder.
        EXPECT_EQ(ConfigFile().Path(), manager::UserSettingsFolder() / "VR620Manager.INI");
        EXPECT_EQ(manager::UserSettingsFolder(), user / "vr620");
        EXPECT_EQ(ConfigFile().ReadInteger("CONNECTION_SETTINGS", "Channel", 0), 2);
        // The first write makes the folder and the user file; the program's file stays as it
        // was and still gives what the user's file lacks.
        EXPECT_TRUE(ConfigFile().WriteText("CONNECTION_SETTINGS", "Channel", "4").Ok());
        EXPECT_EQ(ConfigFile().ReadInteger("CONNECTION_SETTINGS", "Channel", 0), 4);
        EXPECT_EQ(ConfigFile().ReadText("COMMON", "DefaultLanguage", "FIN"), "SWE");
        EXPECT_EQ(ReadFile(program / "VR620Manager.INI").find("Channel=4"), std::string::npos);
        EXPECT_EQ(texts::TextExportPath(), user / "vr620" / "VR620Manager.TXT");
        EXPECT_TRUE(texts::ExportWindowTexts(texts::TextExportPath(), {}));
        _exit(::testing::Test::HasFailure() ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
    EXPECT_TRUE(std::filesystem::exists(user / "vr620" / "VR620Manager.TXT"));
    chmod(program.c_str(), 0755);
}

TEST_F(ConfigFileTest, GatewaySettingsTakeAddressesAndNetworksOfBothFamilies) {
    WriteFile(Ini(),
              "[GATEWAY_SETTINGS]\r\nBindAddress=::1\r\n"
              "AllowedNetworks=fd00::/8, 10.0.0.0/8; ::1\r\n");
    gateway::ServerConfig config;
    EXPECT_EQ(manager::ReadGatewaySettings(ConfigFile(), config), "");
    EXPECT_EQ(config.bindAddress, gateway::IpAddress::Ipv6Loopback());
    EXPECT_EQ(config.allowed.size(), 3u);
    EXPECT_TRUE(gateway::Allowed(config.allowed, *gateway::ParseIpAddress("::ffff:10.1.2.3")));
    EXPECT_FALSE(gateway::Allowed(config.allowed, *gateway::ParseIpAddress("fe80::1")));
    WriteFile(Ini(), "[GATEWAY_SETTINGS]\r\nAllowedNetworks=::1 fd00::/129\r\n");
    gateway::ServerConfig refused;
    EXPECT_NE(manager::ReadGatewaySettings(ConfigFile(), refused).find("'fd00::/129'"),
              std::string::npos);
}

}  // namespace
