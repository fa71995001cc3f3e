#include "ui/main/setups_file.h"

#include "ports/system_error.h"
#include "ports/win_handle.h"

#include <windows.h>

namespace veltaro {

namespace {

// A path as the message boxes write it.
std::string shown(const std::wstring& path) {
    const int n = WideCharToMultiByte(CP_ACP, 0, path.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<std::size_t>(n > 0 ? n : 1), '\0');
    WideCharToMultiByte(CP_ACP, 0, path.c_str(), -1, text.data(), n, nullptr, nullptr);
    text.resize(text.size() - 1);
    return text;
}

bool readWhole(const std::wstring& path, std::string& bytes, DWORD& error) {
    WinHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!file.valid() || !GetFileSizeEx(file.get(), &size)) {
        error = GetLastError();
        return false;
    }
    bytes.resize(static_cast<std::size_t>(size.QuadPart));
    DWORD read = 0;
    if (!bytes.empty() && (!ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) ||
                           read != bytes.size())) {
        error = GetLastError();
        return false;
    }
    return true;
}

// Moves a file that cannot be used out of the way, so the next save does not overwrite what the user may
// want back.
std::string setAside(const std::wstring& path, const std::string& why) {
    const std::wstring bad = path + L".bad";
    const std::string kept = MoveFileExW(path.c_str(), bad.c_str(), MOVEFILE_REPLACE_EXISTING)
                                 ? "It was kept as " + shown(bad)
                                 : "It could not be kept aside (" + systemErrorText(GetLastError()) + ")";
    return "The saved device setups in " + shown(path) + " cannot be used: " + why + ".\n" + kept +
           ", and Veltaro goes on without saved setups.";
}

} // namespace

std::wstring defaultSetupsPath() {
    wchar_t folder[MAX_PATH] = L"";
    const DWORD n = GetEnvironmentVariableW(L"APPDATA", folder, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) {
        return L"";
    }
    return std::wstring(folder) + L"\\Veltaro\\setups.ini";
}

std::vector<SavedSetup> loadSetups(const std::wstring& path, std::string& problem) {
    std::vector<SavedSetup> setups;
    std::string text;
    DWORD error = 0;
    if (!readWhole(path, text, error)) {
        if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) {
            problem = setAside(path, systemErrorText(error));
        }
        return setups;
    }
    SetupsDamage damage;
    if (!parseSetups(text, setups, damage)) {
        problem = setAside(path, (damage.line > 0 ? "line " + std::to_string(damage.line) + ": " : std::string()) +
                                     damage.reason);
        setups.clear();
    }
    return setups;
}

bool saveSetups(const std::wstring& path, const std::vector<SavedSetup>& setups, std::string& problem) {
    std::string text;
    if (!renderSetups(setups, text)) {
        problem = "Not enough memory to save the device setups.";
        return false;
    }
    const std::size_t slash = path.find_last_of(L'\\');
    if (slash != std::wstring::npos) {
        CreateDirectoryW(path.substr(0, slash).c_str(), nullptr); // there already, most often
    }
    const std::wstring temporary = path + L".new";
    bool written = false;
    {
        WinHandle file(
            CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        DWORD n = 0;
        written = file.valid() && WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &n, nullptr) &&
                  n == text.size() && FlushFileBuffers(file.get());
    }
    if (!written || !MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        problem = "Cannot save the device setups to " + shown(path) + ": " + systemErrorText(GetLastError());
        DeleteFileW(temporary.c_str());
        return false;
    }
    return true;
}

} // namespace veltaro
