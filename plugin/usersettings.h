// The player's own choices, kept across projects in one small text file per user:
// settings.txt in $XDG_CONFIG_HOME/gravelix/ (else ~/.config/gravelix/) on Linux and in
// %APPDATA%\Gravelix\ on Windows. Anything wrong with the file (missing, unreadable, cut off,
// written by a newer version, garbage) reads as the defaults; nothing here ever throws.
#pragma once

#include <filesystem>
#include <string>

class UserSettings {
public:
    struct Values {
        // The editor size the player picked, one of the supported factors; 0 when none.
        double editorScale = 0.0;
        // The size the last editor of this user opened at, whatever chose it: only a hint of
        // which images to prepare before an editor opens, never a size. 0 when none.
        double lastEditorScale = 0.0;

        bool operator==(const Values&) const = default;
    };

    static constexpr int kVersion = 1;

    // The settings kept in `folder`; an empty path keeps nothing (reads give the defaults,
    // writes fail).
    explicit UserSettings(std::filesystem::path folder);
    // The platform's per-user folder (not created here); empty when it cannot be found.
    // Defined by usersettings_linux.cpp / usersettings_win32.cpp.
    static std::filesystem::path defaultFolder();

    Values read() const;
    // Creates the folder when missing, writes a temporary file beside the settings and renames
    // it over them, so a reader sees the old file or the new one, never a part. False (and the
    // old file untouched) when anything fails.
    bool write(const Values& values) const;

    const std::filesystem::path& file() const { return path; }

    // The text form, exposed for tests: parse answers the defaults for anything but a
    // complete file of a version this code knows.
    static Values parse(const std::string& text);
    static std::string format(const Values& values);

private:
    std::filesystem::path folder;
    std::filesystem::path path;
};
