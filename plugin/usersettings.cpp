#include "usersettings.h"

#include <cmath>
#include <cstdio>
#include <fstream>
#include <locale>
#include <random>
#include <sstream>
#include <system_error>

namespace {

constexpr const char* kMagic = "gravelix-settings";
constexpr const char* kEnd = "end";
// Far more than any real file: a huge file at that path is not ours.
constexpr std::uintmax_t kMaxSize = 64 * 1024;

bool knownScale(double scale) {
    for (const double s : {1.0, 1.25, 1.5, 1.75, 2.0, 2.5, 3.0}) {
        if (scale == s) {
            return true;
        }
    }
    return false;
}

} // namespace

UserSettings::UserSettings(std::filesystem::path settingsFolder)
    : folder(std::move(settingsFolder)) {
    if (!folder.empty()) {
        path = folder / "settings.txt";
    }
}

UserSettings::Values UserSettings::parse(const std::string& text) {
    // Format: a "gravelix-settings VERSION" line, "key value" lines, an "end" line. Without the
    // end line the file was cut off and none of it counts; unknown keys are skipped so an older
    // version reads what it knows of a file that a same-version build wrote with more.
    std::istringstream in(text);
    in.imbue(std::locale::classic()); // whatever locale the host runs in
    std::string line;
    if (!std::getline(in, line)) {
        return {};
    }
    std::istringstream header(line);
    header.imbue(std::locale::classic());
    std::string magic;
    int version = 0;
    if (!(header >> magic >> version) || magic != kMagic || version != kVersion) {
        return {};
    }
    Values parsed;
    bool ended = false;
    while (std::getline(in, line)) {
        if (line == kEnd) {
            ended = true;
            break;
        }
        std::istringstream fields(line);
        fields.imbue(std::locale::classic());
        std::string key;
        if (!(fields >> key)) {
            continue;
        }
        double* value = key == "editor-scale"        ? &parsed.editorScale
                        : key == "last-editor-scale" ? &parsed.lastEditorScale
                                                     : nullptr;
        double scale = 0.0;
        std::string rest;
        if (value && fields >> scale && !(fields >> rest) && knownScale(scale)) {
            *value = scale;
        }
    }
    return ended ? parsed : Values{};
}

std::string UserSettings::format(const Values& values) {
    std::ostringstream out;
    out.imbue(std::locale::classic());
    out << kMagic << ' ' << kVersion << '\n';
    if (knownScale(values.editorScale)) {
        out << "editor-scale " << values.editorScale << '\n';
    }
    if (knownScale(values.lastEditorScale)) {
        out << "last-editor-scale " << values.lastEditorScale << '\n';
    }
    out << kEnd << '\n';
    return out.str();
}

UserSettings::Values UserSettings::read() const {
    if (path.empty()) {
        return {};
    }
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error || size > kMaxSize) {
        return {};
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return {};
    }
    std::ostringstream text;
    text << in.rdbuf();
    return parse(text.str());
}

bool UserSettings::write(const Values& values) const {
    if (path.empty()) {
        return false;
    }
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) {
        return false;
    }
    // A name of its own per writer, so two editors saving at once never share a half file.
    std::random_device entropy;
    const std::filesystem::path temporary =
        folder / ("settings.txt." + std::to_string(entropy()) + ".tmp");
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out) {
            return false;
        }
        out << format(values);
        out.flush();
        if (!out) {
            out.close();
            std::filesystem::remove(temporary, error);
            return false;
        }
    }
    std::filesystem::rename(temporary, path, error);
    if (error) {
        std::filesystem::remove(temporary, error);
        return false;
    }
    return true;
}
