// The Linux key files: readable text, replaced whole, safe against garbage, truncation and a crash
// between writing and replacing, and a damaged value reported as the store reports a wrong type.
#include "engine/Engine.h"
#include "engine/SettingsStore.h"
#include "platform/linux/FileRegistry.h"
#include "shell/RunModes.h"
#include "support/EngineFakes.h"
#include "support/FakeApplication.h"
#include "support/FakeDisplay.h"

#include <gtest/gtest.h>

#include <fstream>
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

TEST_F(FileRegistry, GarbageIsNoKeyAndIsReplacedByTheDefaults)
{
    std::string garbage;
    for (int i = 0; i < 5000; ++i)
        garbage += static_cast<char>((i * 7919) % 251);
    WriteText(File(), garbage);
    EXPECT_EQ(Registry.OpenKey(Store.KeyPath()), nullptr);
    Store.SetRegistry();
    EXPECT_EQ(Store.Loaded(), TSettings::Defaults());
    EXPECT_NE(Registry.OpenKey(Store.KeyPath()), nullptr);
}

TEST_F(FileRegistry, AnOversizedFileIsNoKey)
{
    WriteText(File(), "[SOFTWARE\\Tessaly Software\\Halcyra Screensaver]\n" + std::string(KeyFileFormat::MaxFileSize, ';'));
    EXPECT_EQ(Registry.OpenKey(Store.KeyPath()), nullptr);
}

TEST_F(FileRegistry, ATruncatedOrDamagedValueIsATypedError)
{
    Store.SetRegistry();
    std::string text = ReadText(File());
    const std::size_t cut = text.find("\"SoundVolume\"=dword:200");
    ASSERT_NE(cut, std::string::npos);
    WriteText(File(), text.substr(0, cut) + "\"SoundVolume\"=dwo");
    try {
        Store.SetRegistry();
        FAIL() << "a cut value was read";
    } catch (const ERegistryException &error) {
        EXPECT_STREQ(error.what(), "Invalid data type for 'SoundVolume'");
    }
    for (const char *damaged : {"dword:", "dword:12x", "dword:99999999999", "\"open", "hex:1", "hex(4):00,00,01"}) {
        WriteText(File(), text.substr(0, cut) + "\"SoundVolume\"=" + damaged + "\n");
        EXPECT_THROW(Store.SetRegistry(), ERegistryException) << damaged;
    }
    WriteText(File(), text.substr(0, cut));
    EXPECT_THROW(Store.SetRegistry(), ERegistryException) << "a missing integer cannot be read";
}

TEST_F(FileRegistry, ADamagedTextIsATypedErrorAsADamagedIntegerIs)
{
    for (const char *damaged : {"\"c", "\"c\\q\"", "\"c\"x", "expand:\"c", "", "c", "hex:1", "hex(1):6"}) {
        StoreWithData("TDegree", damaged);
        EXPECT_EQ(LoadError(), "Invalid data type for 'TDegree'") << damaged;
    }
    StoreWithData("TDegree", "\"c\"");
    EXPECT_EQ(LoadError(), "(loaded)") << "the same line undamaged";
}

TEST_F(FileRegistry, ADamagedValueStaysDamagedWhenTheKeyIsWrittenAgain)
{
    StoreWithData("WeatherCode", "\"UKXX");
    Store.WriteAKey("Proxy", "proxy.example");
    EXPECT_EQ(LoadError(), "Invalid data type for 'WeatherCode'");
}

// The saver enables its engine, which loads the settings; a damaged line ends the run with the
// store's message, whether the value is a text or an integer.
TEST_F(FileRegistry, TheSaverShowsADamagedValueAsAnySettingsError)
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
        EXPECT_EQ(application.MessageBoxes[0].Text, "Invalid data type for '" + std::string(name) + "'");
        EXPECT_EQ(application.MessageBoxes[0].Icon, TMessageBoxIcon::Error);
    }
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
