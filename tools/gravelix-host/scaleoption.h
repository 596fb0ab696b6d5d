// The --scale option of the commands that open an editor.
#pragma once

#include <CLI/CLI.hpp>

namespace gravelix::host {

// `scale` must outlive the command's parsing; it stays 0 (tell the plug-in nothing) unless given.
inline void addScaleOption(CLI::App& cmd, double& scale) {
    cmd.add_option("--scale", scale,
                   "Tell the editor its window's scale (e.g. 1.5, 2) as hosts do, through "
                   "effVendorSpecific 'PreS' 'AeCs'")
        ->check(CLI::Range(0.25, 8.0));
}

} // namespace gravelix::host
