// The Linux key files: readable text that a person may edit, replaced whole under a lock, safe
// against a crash between writing and replacing, and never written over when they cannot be read
// (garbage, a damaged value, a truncated or oversized file): the error names the file and the line.
#include "engine/Engine.h"
#include "engine/SettingsStore.h"
#include "platform/linux/FileRegistry.h"
#include "shell/RunModes.h"
#include "support/EngineFakes.h"
#include "support/FakeApplication.h"
#include "support/FakeDisplay.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <optional>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

namespace Halcyra::Platform {
namespace {

namespace fs = std::filesystem;

std::string ReadText(const fs::path &file)
{
    std::ifstream stream(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(stream), {});
}

void WriteText(const fs::path &file, const std::string &text)
{
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << text;
}

class FileRegistry : public testing::Test {
protected:
    FileRegistry()
        : Root(fs::temp_directory_path() / ("halcyra-files-" + std::to_string(getpid()) + "-" +
                                            testing::UnitTest::GetInstance()->current_test_info()->name())),
          Registry(Root), Store(Registry)
    {
        fs::remove_all(Root);
        Store.SetBrandName("Tessaly Software");
        Store.SetSSName("Halcyra Screensaver");
    }
    ~FileRegistry() override { fs::remove_all(Root); }

    fs::path File() const { return Root / "Tessaly Software" / "Halcyra Screensaver.reg"; }

    // Writes the defaults anew, then gives one value other data as its line's text.
    void StoreWithData(const std::string &name, const std::string &data)
    {
        fs::remove(File());
        Store.SetRegistry();
        std::string text = ReadText(File());
        const std::size_t start = text.find("\n\"" + name + "\"=");
        ASSERT_NE(start, std::string::npos) << name;
        const std::size_t end = text.find('\n', start + 1);
        text.replace(start, end - start, "\n\"" + name + "\"=" + data);
        WriteText(File(), text);
    }

    std::string LoadError()
    {
        try {
            Store.SetRegistry();
        } catch (const ERegistryException &error) {
            return error.what();
        }
        return "(loaded)";
    }

    fs::path Root;
    TFileRegistry Registry;
    TSettingsStore Store;
};

TEST_F(FileRegistry, TheKeyIsAFileUnderTheConfigurationFolder)
{
    EXPECT_EQ(Registry.KeyFile("SOFTWARE\\Tessaly Software\\Halcyra Screensaver"), File());
    EXPECT_EQ(Registry.KeyFile("software\\A/B\\..\\C%"), Root / "A%2FB" / "%2E%2E" / "C%25.reg");
    EXPECT_TRUE(Registry.KeyFile("SOFTWARE").empty());
    EXPECT_TRUE(Registry.KeyFile("").empty());
}

TEST_F(FileRegistry, ThePersonReadableFormat)
{
    Store.SetRegistry();
    const std::string text = ReadText(File());
    EXPECT_NE(text.find("[SOFTWARE\\Tessaly Software\\Halcyra Screensaver]\n"), std::string::npos);
    EXPECT_NE(text.find("\n\"Brightness\"=dword:256\n"), std::string::npos);
    EXPECT_NE(text.find("\n\"TDegree\"=\"f\"\n"), std::string::npos);
    EXPECT_NE(text.find("\n\"RSS_Url\"=\"https://"), std::string::npos);
    EXPECT_NE(text.find("\n\"Port\"=\"\"\n"), std::string::npos);
    EXPECT_EQ(fs::status(File()).permissions() & fs::perms::others_read, fs::perms::none);
}

TEST_F(FileRegistry, AHandEditedFileIsRead)
{
    WriteText(File(), "; edited by hand\r\n[SOFTWARE\\Tessaly Software\\Halcyra Screensaver]\r\n"
                      "\"brightness\"=dword:128\r\n\"SoundVolume\"=dword:0\r\n\"TDegree\"=\"c\"\r\n"
                      "\"WeatherCode\"=\"UKXX0085\"\r\n\"RSS_Url\"=\"http://example.org/\\\"q\\\"\\x80\"\r\n"
                      "\"ShowTime\"=dword:1\r\n\"ShowWeather\"=dword:1\r\n\"ShowNews\"=dword:0\r\n"
                      "\"ShowBlack\"=dword:1\r\n\"UseProxy\"=dword:0\r\n\"Port\"=\"8080\"\r\n");
    Store.SetRegistry();
    EXPECT_EQ(Store.GetBrightness(), 128) << "value names ignore case";
    EXPECT_EQ(Store.GetTDegree(), "c");
    EXPECT_EQ(Store.GetRSS_Url(), "http://example.org/\"q\"\x80");
    EXPECT_EQ(Store.GetShowBlack(), 1);
    EXPECT_EQ(Store.GetProxy(), "") << "the value missing from the file reads as empty";
    EXPECT_EQ(Store.GetPort(), "8080");
}

TEST_F(FileRegistry, TextsOfEveryByteSurviveTheRoundTrip)
{
    std::string text;
    for (int byte = 1; byte < 256; ++byte)
        text += static_cast<char>(byte);
    Store.WriteAKey("Proxy", text);
    std::string read;
    ASSERT_TRUE(Store.ReadAKey("Proxy", read));
    EXPECT_EQ(read, text);
    EXPECT_EQ(ReadText(File()).find('\x01'), std::string::npos) << "control bytes are escaped";
}

TEST_F(FileRegistry, AFileEditedWithAByteOrderMarkBlanksAndCommentsIsRead)
{
    WriteText(File(), "\xEF\xBB\xBF; edited by hand\n"
                      "  [SOFTWARE\\Tessaly Software\\Halcyra Screensaver]   ; the key\n"
                      "\"Brightness\" = dword:128   \n"
                      "\"SoundVolume\"=dword:0 ; quiet\n"
                      "\t\"TDegree\" =\t\"c\";unit\n"
                      "\"WeatherCode\"= \"UKXX0085\"\r\n"
                      "\"RSS_Url\"=\"http://example.org/a b;c\" ; the ; inside the text is the text's\n"
                      "\"ShowTime\"=dword:1\n\"ShowWeather\"=dword:-1\n\"ShowNews\"=hex(4):01,00,00,00 ; as hex\n"
                      "\"ShowBlack\"=dword:1\n\"UseProxy\"=dword:0\n\n"
                      "\"Proxy\"=hex(1):70,00\n\"Port\"=expand:\"8080\"  \n");
    const std::string before = ReadText(File());
    Store.SetRegistry();
    TSettings expected;
    expected.Brightness = 128;
    expected.SoundVolume = 0;
    expected.TDegree = "c";
    expected.WeatherCode = "UKXX0085";
    expected.RSS_Url = "http://example.org/a b;c";
    expected.ShowTime = 1;
    expected.ShowWeather = -1;
    expected.ShowNews = 1;
    expected.ShowBlack = 1;
    expected.UseProxy = 0;
    expected.Proxy = "p";
    expected.Port = "8080";
    EXPECT_EQ(Store.Loaded(), expected);
    EXPECT_EQ(ReadText(File()), before) << "a whole key is read, not written";
}

// A file that is there but cannot be read is never taken for a first run and never written over:
// every start reports it, naming the file and, where one is at fault, the line.
TEST_F(FileRegistry, AFileThatCannotBeParsedIsReportedWithItsLineAndLeftAsItIs)
{
    std::string garbage;
    for (int i = 0; i < 5000; ++i)
        garbage += static_cast<char>((i * 7919) % 251 + 1);
    const std::string header = "[SOFTWARE\\Tessaly Software\\Halcyra Screensaver]\n";
    const struct {
        std::string Text;
        std::string Reason;
    } cases[] = {
        {garbage, "line 1 is not \"Name\"=value, [key] or a ; comment"},
        {"; comment\n\"Brightness\"=dword:1\n" + header, "line 2 is not \"Name\"=value, [key] or a ; comment"},
        {header + "\"Brightness\"=dword:1\n" + header, "line 3 is not \"Name\"=value, [key] or a ; comment"},
        {header + "Brightness=dword:1\n", "line 2 is not \"Name\"=value, [key] or a ; comment"},
        {header + std::string(KeyFileFormat::MaxFileSize, ';'), "it is larger than 1048576 bytes"},
    };
    for (const auto &test : cases) {
        WriteText(File(), test.Text);
        const std::string expected =
            "The settings file '" + File().string() + "' cannot be read: " + test.Reason + ". It was left unchanged.";
        EXPECT_EQ(LoadError(), expected);
        EXPECT_THROW(Registry.OpenKey(Store.KeyPath()), ERegistryException);
        EXPECT_THROW(Store.WriteAKey("Proxy", "x"), ERegistryException);
        EXPECT_THROW(Store.WriteTogether([&] { Store.WriteAKey("Port", "1"); }), ERegistryException);
        EXPECT_EQ(ReadText(File()), test.Text) << expected;
    }
    fs::remove(File());
    fs::create_directories(File());
    EXPECT_EQ(LoadError(), "The settings file '" + File().string() + "' cannot be read: it is not a file. It was left unchanged.");
}

TEST_F(FileRegistry, ATruncatedOrDamagedValueNamesItsLineAndTheFileIsLeftAsItIs)
{
    Store.SetRegistry();
    const std::string text = ReadText(File());
    const std::size_t cut = text.find("\"SoundVolume\"=dword:200");
    ASSERT_NE(cut, std::string::npos);
    const std::string line = std::to_string(std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(cut), '\n') + 1);
    for (const char *damaged : {"dwo", "dword:", "dword:12x", "dword:99999999999", "dword:1 2", "\"open", "hex:1",
                                "\"c\\q\"", "\"c\"x", "expand:\"c", "", "c", "hex(1):6"}) {
        const std::string damagedText = text.substr(0, cut) + "\"SoundVolume\"=" + damaged + "\n";
        WriteText(File(), damagedText);
        EXPECT_EQ(LoadError(), "The settings file '" + File().string() + "' cannot be read: line " + line +
                                   " is not \"Name\"=value, [key] or a ; comment. It was left unchanged.")
            << damaged;
        EXPECT_THROW(Store.WriteAKey("Proxy", "proxy.example"), ERegistryException);
        EXPECT_EQ(ReadText(File()), damagedText) << damaged;
    }
    // A line the file format reads, with an integer of three bytes the store cannot take.
    WriteText(File(), text.substr(0, cut) + "\"SoundVolume\"=hex(4):00,00,01\n");
    EXPECT_EQ(LoadError(), "Failed to get data for 'SoundVolume'");
    WriteText(File(), text.substr(0, cut) + "\"SoundVolume\"=dword:200\n");
    EXPECT_EQ(LoadError(), "(loaded)") << "the same line undamaged, the values after it given their defaults";
}

// The saver enables its engine, which loads the settings; a damaged line ends the run with the
// message that names the file and the line, whether the value is a text or an integer.
TEST_F(FileRegistry, TheSaverShowsADamagedFileAsAnySettingsError)
{
    for (const char *name : {"RSS_Url", "Brightness"}) {
        StoreWithData(name, "\"cut");
        Testing::TFakeApplication application;
        Testing::TFakeDisplay display;
        Testing::TRecordingSound sound;
        Testing::TSteppedClock clock;
        Testing::TFakeOwnerForm form;
        Shell::TShellServices services{application, SystemLibraries(), DesktopWindows(), ModuleResources(), {}, {}};
        services.RunSaverForms = [&] {
            TQss engine(&form, TQssServices{display, Registry, sound, clock}, std::make_unique<Testing::TManualTimer>());
            engine.SetBrandName("Tessaly Software");
            engine.SetSSName("Halcyra Screensaver");
            engine.SetUseIdle(false);
            engine.SetEnabled(true);
        };
        EXPECT_EQ(Shell::RunScreensaver({"/s"}, services), 0);
        ASSERT_EQ(application.MessageBoxes.size(), 1u) << name;
        EXPECT_NE(application.MessageBoxes[0].Text.find("The settings file '" + File().string() + "' cannot be read: line "),
                  std::string::npos)
            << application.MessageBoxes[0].Text;
        EXPECT_EQ(application.MessageBoxes[0].Icon, TMessageBoxIcon::Error);
    }
}

TEST_F(FileRegistry, AFirstRunKilledAfterMakingTheKeyLeavesOneTheNextRunCompletes)
{
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // The first replace makes the empty key, the second would hold the values.
        int replaces = 0;
        Registry.BeforeReplace = [&] {
            if (++replaces == 2)
                _exit(7);
        };
        Store.SetRegistry();
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 7);
    ASSERT_NE(Registry.OpenKey(Store.KeyPath()), nullptr);
    Store.SetRegistry();
    EXPECT_EQ(Store.Loaded(), TSettings::Defaults());
}

TEST_F(FileRegistry, WritersInSeveralProcessesAtOnceLoseNoValue)
{
    // Each process changes values of its own, one read-modify-write of the file after another.
    constexpr int Processes = 3, Values = 12;
    std::vector<pid_t> children;
    for (int process = 0; process < Processes; ++process) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (int value = 0; value < Values; ++value)
                Store.WriteRKey("Writer" + std::to_string(process) + "-" + std::to_string(value), value);
            _exit(0);
        }
        children.push_back(child);
    }
    for (pid_t child : children) {
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    auto key = Registry.OpenKey(Store.KeyPath());
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(key->ValueNames().size(), static_cast<std::size_t>(Processes * Values));
}

TEST(SettingsFolder, IsTheConfigurationFolderOfTheUserAndNeverTheWorkingFolder)
{
    const auto saved = [](const char *name) -> std::optional<std::string> {
        const char *value = std::getenv(name);
        return value != nullptr ? std::optional<std::string>(value) : std::nullopt;
    };
    const std::optional<std::string> configHome = saved("XDG_CONFIG_HOME"), home = saved("HOME");
    passwd *user = getpwuid(getuid());
    ASSERT_NE(user, nullptr);
    const fs::path userConfig = fs::path(user->pw_dir) / ".config";
    const struct {
        const char *ConfigHome;
        const char *Home;
        fs::path Expected;
    } cases[] = {
        {"/xdg/config", "/home/someone", "/xdg/config"},
        {"relative/config", "/home/someone", "/home/someone/.config"},
        {nullptr, "/home/someone", "/home/someone/.config"},
        {nullptr, nullptr, userConfig},
        {"", "", userConfig},
        {nullptr, "relative", userConfig},
    };
    for (const auto &test : cases) {
        for (auto [name, value] : {std::pair{"XDG_CONFIG_HOME", test.ConfigHome}, {"HOME", test.Home}}) {
            if (value != nullptr)
                setenv(name, value, 1);
            else
                unsetenv(name);
        }
        EXPECT_EQ(SettingsFolder(), test.Expected) << (test.ConfigHome ? test.ConfigHome : "(unset)") << " "
                                                   << (test.Home ? test.Home : "(unset)");
    }
    for (auto [name, value] : {std::pair{"XDG_CONFIG_HOME", &configHome}, {"HOME", &home}}) {
        if (*value)
            setenv(name, (*value)->c_str(), 1);
        else
            unsetenv(name);
    }
    EXPECT_TRUE(TFileRegistry("").KeyFile("SOFTWARE\\Tessaly Software\\Halcyra Screensaver").empty())
        << "without a folder no key is anywhere";
    EXPECT_EQ(TFileRegistry("").CreateKey("SOFTWARE\\Tessaly Software\\Halcyra Screensaver"), nullptr);
}

TEST_F(FileRegistry, ACrashBeforeTheReplaceLeavesThePreviousFileWhole)
{
    Store.SetRegistry();
    const std::string before = ReadText(File());
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        Registry.BeforeReplace = [] { _exit(7); };
        Store.WriteAKey("Proxy", "new.proxy.example");
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 7) << "the child stopped between write and replace";
    EXPECT_EQ(ReadText(File()), before);
    Store.SetRegistry();
    EXPECT_EQ(Store.GetProxy(), "");

    Store.WriteAKey("Proxy", "new.proxy.example");
    Store.SetRegistry();
    EXPECT_EQ(Store.GetProxy(), "new.proxy.example");
}

TEST_F(FileRegistry, WritesMadeTogetherReplaceTheFileOnceAndACrashKeepsNoneOfThem)
{
    Store.SetRegistry();
    const std::string before = ReadText(File());
    auto writeTwo = [&] {
        Store.WriteAKey("Proxy", "proxy.example");
        Store.WriteAKey("Port", "3128");
    };
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        Registry.BeforeReplace = [] { _exit(7); };
        Store.WriteTogether(writeTwo);
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 7);
    EXPECT_EQ(ReadText(File()), before);

    int replaces = 0;
    Registry.BeforeReplace = [&] { ++replaces; };
    EXPECT_TRUE(Store.WriteTogether(writeTwo));
    EXPECT_EQ(replaces, 1);
    Store.SetRegistry();
    EXPECT_EQ(Store.GetProxy(), "proxy.example");
    EXPECT_EQ(Store.GetPort(), "3128");
}

TEST_F(FileRegistry, DeleteKeyRemovesTheFile)
{
    Store.SetRegistry();
    EXPECT_TRUE(Registry.DeleteKey(Store.KeyPath()));
    EXPECT_FALSE(fs::exists(File()));
    EXPECT_FALSE(Registry.DeleteKey(Store.KeyPath()));
}

} // namespace
} // namespace Halcyra::Platform
