#include "sharedlibrary.h"

#include <windows.h>

#include <filesystem>

namespace gravelix::host {

namespace {

std::string systemMessage(DWORD error) {
    char* text = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string message = length && text ? std::string(text, length) : std::string();
    LocalFree(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                                message.back() == ' ' || message.back() == '.')) {
        message.pop_back();
    }
    return (message.empty() ? std::string("error") : message) + " (" + std::to_string(error) + ")";
}

} // namespace

void* openSharedLibrary(const std::string& path, std::string& reason, bool pinned) {
    // An absolute path: LoadLibrary would otherwise search the DLL path for a bare name. The
    // file name is taken as UTF-8.
    const std::filesystem::path file(
        std::u8string(reinterpret_cast<const char8_t*>(path.data()), path.size()));
    std::error_code ec;
    const auto absolute = std::filesystem::absolute(file, ec);
    const std::wstring wide = ec ? file.wstring() : absolute.wstring();
    // No "cannot find module" dialog boxes for a broken library: the reason is reported.
    const UINT previous = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    HMODULE library = LoadLibraryExW(wide.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    const DWORD error = GetLastError();
    SetErrorMode(previous);
    if (!library) {
        reason = systemMessage(error);
        return nullptr;
    }
    if (pinned) {
        HMODULE ignored = nullptr;
        GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_PIN, wide.c_str(), &ignored);
    }
    return library;
}

void* sharedLibrarySymbol(void* library, const char* name) {
    if (!library) {
        return nullptr;
    }
    // GetProcAddress answers a generic function pointer; callers cast it to the right type.
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

void closeSharedLibrary(void* library) {
    if (library) {
        FreeLibrary(static_cast<HMODULE>(library));
    }
}

} // namespace gravelix::host
