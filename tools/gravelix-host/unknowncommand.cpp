#include "unknowncommand.h"

#include <algorithm>
#include <numeric>
#include <string>
#include <vector>

namespace gravelix::host {

namespace {

// Edits between a and b, a swap of neighbours counting as one ("plya" is one from "play").
std::size_t editDistance(const std::string& a, const std::string& b) {
    std::vector<std::vector<std::size_t>> d(a.size() + 1, std::vector<std::size_t>(b.size() + 1));
    for (std::size_t i = 0; i <= a.size(); ++i) {
        d[i][0] = i;
    }
    std::iota(d[0].begin(), d[0].end(), std::size_t{0});
    for (std::size_t i = 1; i <= a.size(); ++i) {
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t cost = a[i - 1] == b[j - 1] ? 0 : 1;
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + cost});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1]) {
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
            }
        }
    }
    return d[a.size()][b.size()];
}

} // namespace

void rejectUnknownCommand(const CLI::App& app, int argc, const char* const* argv) {
    // The top level takes flags only, so its first word that is no flag names the command.
    const auto first =
        std::find_if(argv + 1, argv + argc, [](const char* arg) { return arg[0] != '-'; });
    // Help and version win over whatever follows them, as CLI11 has it.
    const auto asksForInfo = [](const char* arg) {
        const std::string flag = arg;
        return flag == "-h" || flag == "--help" || flag == "--version";
    };
    if (first == argv + argc || std::any_of(argv + 1, first, asksForInfo)) {
        return;
    }
    const std::string word = *first;
    std::string names, nearest;
    std::size_t nearestDistance = 3; // further than two edits is no typo
    for (const CLI::App* sub : app.get_subcommands({})) {
        if (sub->check_name(word)) { // its name or an alias
            return;
        }
        const std::string& name = sub->get_name();
        names += (names.empty() ? "" : ", ") + name;
        const std::size_t distance = editDistance(word, name);
        if (distance < nearestDistance && distance < name.size()) {
            nearestDistance = distance;
            nearest = name;
        }
    }
    std::string message = "Unknown command '" + word + "'.";
    if (!nearest.empty()) {
        message += " Did you mean '" + nearest + "'?";
    }
    message += " Commands: " + names;
    throw CLI::ParseError(message, CLI::ExitCodes::ExtrasError);
}

} // namespace gravelix::host
