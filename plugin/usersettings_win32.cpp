#include "usersettings.h"

#include <shlobj.h>
#include <windows.h>

#include <string>

namespace {
std::filesystem::path roamingAppData() {
    // The variable first: it is what the user's session (or a test) says, and a process may
    // have been given another one than the shell's folder.
    const DWORD needed = GetEnvironmentVariableW(L"APPDATA", nullptr, 0);
    if (needed > 1) {
        std::wstring value(needed, L'\0');
        const DWORD length = GetEnvironmentVariableW(L"APPDATA", value.data(), needed);
        if (length > 0 && length < needed) {
            value.resize(length);
            const std::filesystem::path base(value);
            if (base.is_absolute()) {
                return base;
            }
        }
    }
    // Looked up rather than imported, so loading the plug-in never pulls in the shell; present
    // since Windows 2000, unlike the known-folder API.
    using GetFolderPath = HRESULT(WINAPI*)(HWND, int, HANDLE, DWORD, LPWSTR);
    const HMODULE shell = LoadLibraryW(L"shell32.dll");
    const auto getFolderPath = shell ? reinterpret_cast<GetFolderPath>(reinterpret_cast<void*>(
                                           GetProcAddress(shell, "SHGetFolderPathW")))
                                     : nullptr;
    wchar_t folder[MAX_PATH] = {};
    const bool found =
        getFolderPath && SUCCEEDED(getFolderPath(nullptr, CSIDL_APPDATA | CSIDL_FLAG_DONT_VERIFY,
                                                 nullptr, SHGFP_TYPE_CURRENT, folder));
    if (shell) {
        FreeLibrary(shell);
    }
    if (found) {
        const std::filesystem::path base(folder);
        if (base.is_absolute()) {
            return base;
        }
    }
    return {};
}
} // namespace

std::filesystem::path UserSettings::defaultFolder() {
    const std::filesystem::path base = roamingAppData();
    return base.empty() ? base : base / "Gravelix";
}
