// Guards against the Windows settings folder ending up anywhere but the user's roaming
// application data (a relative or missing %APPDATA% included) and a second save failing to
// replace the first.
#include "usersettings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <windows.h>

namespace {

namespace fs = std::filesystem;

// %APPDATA% for the life of the object, then as it was.
class AppData {
public:
    explicit AppData(const wchar_t* value) {
        const DWORD n = GetEnvironmentVariableW(L"APPDATA", nullptr, 0);
        if (n > 0) {
            previous.resize(n);
            previous.resize(GetEnvironmentVariableW(L"APPDATA", previous.data(), n));
            had = true;
        }
        SetEnvironmentVariableW(L"APPDATA", value);
    }
    ~AppData() { SetEnvironmentVariableW(L"APPDATA", had ? previous.c_str() : nullptr); }

private:
    std::wstring previous;
    bool had = false;
};

TEST(UserSettingsFolder, IsGravelixInTheRoamingApplicationData) {
    const fs::path base =
        fs::temp_directory_path() / ("gravelix-appdata-" + std::to_string(GetCurrentProcessId()));
    fs::remove_all(base);
    {
        AppData appData(base.c_str());
        const fs::path folder = UserSettings::defaultFolder();
        EXPECT_EQ(folder, base / "Gravelix");

        // Saved twice: the rename must replace the first file, which Windows does only when
        // asked to.
        const UserSettings settings(folder);
        ASSERT_TRUE(settings.write({1.5}));
        ASSERT_TRUE(settings.write({3.0}));
        EXPECT_EQ(UserSettings(UserSettings::defaultFolder()).read().editorScale, 3.0);
    }
    fs::remove_all(base);

    // Without a usable variable the shell's own folder answers; never a relative path, which
    // would follow the host's working folder.
    for (const wchar_t* unusable : {L"relative\\folder", static_cast<const wchar_t*>(nullptr)}) {
        AppData appData(unusable);
        const fs::path folder = UserSettings::defaultFolder();
        if (!folder.empty()) {
            EXPECT_TRUE(folder.is_absolute()) << folder.string();
            EXPECT_EQ(folder.filename(), "Gravelix");
        }
    }
}

} // namespace
