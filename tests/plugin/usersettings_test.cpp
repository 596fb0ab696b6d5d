// Guards the per-user settings file against a damaged, foreign or newer file changing the
// editor's size, a failed or concurrent write leaving a half file or stray temporaries, and an
// unusable folder stopping anything.
#include "usersettings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

class UserSettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder = fs::temp_directory_path() /
                 ("gravelix-settings-test-" + std::to_string(getpid()) + "-" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder);
    }
    void TearDown() override { fs::remove_all(folder); }
    void writeRaw(const std::string& text) {
        fs::create_directories(folder);
        std::ofstream(folder / "settings.txt", std::ios::binary) << text;
    }

    fs::path folder;
};

TEST_F(UserSettingsTest, AWrittenChoiceReadsBackAndLeavesNoTemporaries) {
    const UserSettings settings(folder); // the folder does not exist yet
    EXPECT_EQ(settings.read().editorScale, 0.0);
    ASSERT_TRUE(settings.write({1.5}));
    EXPECT_EQ(settings.read().editorScale, 1.5);
    ASSERT_TRUE(settings.write({2.5}));
    EXPECT_EQ(UserSettings(folder).read().editorScale, 2.5);
    int files = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(folder)) {
        ++files;
    }
    EXPECT_EQ(files, 1);
}

TEST_F(UserSettingsTest, DamagedOrForeignFilesReadAsTheDefaults) {
    const UserSettings settings(folder);
    const std::string damaged[] = {
        "",
        "\x89PNG\r\n\x1a\n\0\0\0garbage",
        "gravelix-settings 1\neditor-scale 2\n",        // cut off: no end line
        "gravelix-settings 1\neditor-sca",              // cut off mid-line
        "gravelix-settings 2\neditor-scale 2\nend\n",   // a newer version
        "gravelix-settings one\neditor-scale 2\nend\n", // no version
        "other-program 1\neditor-scale 2\nend\n",       // not ours
        "gravelix-settings 1\neditor-scale 7\nend\n",   // not a supported size
        "gravelix-settings 1\neditor-scale nan\nend\n",
        "gravelix-settings 1\neditor-scale 2 3\nend\n",
        "gravelix-settings 1\neditor-scale 1e999\nend\n",
    };
    for (const std::string& text : damaged) {
        writeRaw(text);
        EXPECT_EQ(settings.read().editorScale, 0.0) << text;
        EXPECT_EQ(UserSettings::parse(text).editorScale, 0.0) << text;
    }
}

TEST_F(UserSettingsTest, UnknownKeysAndBlankLinesAreSkipped) {
    writeRaw("gravelix-settings 1\n\ntheme dark\neditor-scale 1.25\nwindow 3 4\nend\n");
    EXPECT_EQ(UserSettings(folder).read().editorScale, 1.25);
}

TEST_F(UserSettingsTest, AHugeFileIsNotRead) {
    writeRaw("gravelix-settings 1\neditor-scale 2\n" + std::string(200 * 1024, '#') + "\nend\n");
    EXPECT_EQ(UserSettings(folder).read().editorScale, 0.0);
}

TEST_F(UserSettingsTest, AnUnusableFolderFailsTheWriteAndKeepsTheOldFile) {
    // A plain file where the folder would be: nothing can be created below it (this holds for
    // root as well, unlike missing write permission).
    fs::create_directories(folder);
    std::ofstream(folder / "file") << "x";
    const UserSettings blocked(folder / "file" / "gravelix");
    EXPECT_FALSE(blocked.write({2.0}));
    EXPECT_EQ(blocked.read().editorScale, 0.0);

    // The settings path itself is a folder: the rename fails, the temporary goes.
    fs::create_directories(folder / "settings.txt");
    const UserSettings clash(folder);
    EXPECT_FALSE(clash.write({2.0}));
    int temporaries = 0;
    for (const auto& entry : fs::directory_iterator(folder)) {
        temporaries += entry.path().extension() == ".tmp";
    }
    EXPECT_EQ(temporaries, 0);

    EXPECT_FALSE(UserSettings(fs::path()).write({2.0}));
    EXPECT_EQ(UserSettings(fs::path()).read().editorScale, 0.0);
}

TEST_F(UserSettingsTest, TheNumberFormatIgnoresTheHostsLocale) {
    // A host running with a comma-decimal global locale must not turn 1.5 into "1,5".
    std::locale previous;
    try {
        std::locale::global(std::locale("de_DE.UTF-8"));
    } catch (const std::runtime_error&) {
        GTEST_SKIP() << "no de_DE locale on this machine";
    }
    const std::string text = UserSettings::format({1.5});
    std::locale::global(previous);
    EXPECT_NE(text.find("editor-scale 1.5\n"), std::string::npos) << text;
}

} // namespace

TEST_F(UserSettingsTest, TheLastSizeIsAHintBesideTheChoiceAndADamagedHintIsNone) {
    const UserSettings settings(folder);
    ASSERT_TRUE(settings.write({1.5, 2.0}));
    EXPECT_EQ(settings.read(), (UserSettings::Values{1.5, 2.0}));
    ASSERT_TRUE(settings.write({0.0, 1.25}));
    EXPECT_EQ(settings.read(), (UserSettings::Values{0.0, 1.25}));
    for (const char* hint : {"7", "nan", "2 3", "", "-1"}) {
        writeRaw(std::string("gravelix-settings 1\neditor-scale 2.5\nlast-editor-scale ") + hint +
                 "\nend\n");
        EXPECT_EQ(settings.read(), (UserSettings::Values{2.5, 0.0})) << hint;
    }
}
