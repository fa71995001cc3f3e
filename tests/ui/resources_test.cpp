// The resources of the built program, read back from veltaro.exe as the system and the shell see them.
#include "res/resource.h"
#include "ui/main/device_error_text.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <cctype>

#include <string>
#include <vector>

namespace veltaro {
namespace {

class ResourcesTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        program = LoadLibraryExA(VELTARO_EXE, nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    }
    static void TearDownTestSuite() { FreeLibrary(program); }

    // The bytes of a resource, empty when there is none.
    static std::string resourceData(const char* name, const char* type) {
        HRSRC found = FindResourceA(program, name, type);
        HGLOBAL loaded = found != nullptr ? LoadResource(program, found) : nullptr;
        if (loaded == nullptr) {
            return {};
        }
        return std::string(static_cast<const char*>(LockResource(loaded)), SizeofResource(program, found));
    }

    // The 32 x 32 image of an icon group.
    static std::string iconImage(const char* group) {
        std::string directory = resourceData(group, RT_GROUP_ICON);
        if (directory.empty()) {
            return {};
        }
        const int id = LookupIconIdFromDirectoryEx(reinterpret_cast<BYTE*>(directory.data()), TRUE, 32, 32, 0);
        return resourceData(MAKEINTRESOURCEA(id), RT_ICON);
    }

    static HMODULE program;
};
HMODULE ResourcesTest::program = nullptr;

TEST_F(ResourcesTest, NamedResourcesAreFoundByTheirNames) {
    ASSERT_NE(program, nullptr) << VELTARO_EXE;
    const struct {
        const char* name;
        const char* type;
    } cases[] = {
        {mMain, RT_MENU},
        {pmLiveDevice, RT_MENU},
        {pmOfflineDevice, RT_MENU},
        {dlgStartPage, RT_DIALOG},
        {dlgDevice, RT_DIALOG},
        {dlgAddEcho, RT_DIALOG},
        {accMain, RT_ACCELERATOR},
        {icoMain, RT_GROUP_ICON},
        {icoLiveDevice, RT_GROUP_ICON},
        {icoOfflineDevice, RT_GROUP_ICON},
        {icoView, RT_GROUP_ICON},
    };
    for (const auto& c : cases) {
        EXPECT_NE(FindResourceA(program, c.name, c.type), nullptr) << c.name;
        EXPECT_NE(c.name[0], '#') << c.name << " must be a name, not a number";
    }
    EXPECT_EQ(FindResourceA(program, MAKEINTRESOURCEA(101), RT_MENU), nullptr) << "no numbered menu is left";
    char text[64] = "";
    EXPECT_GT(LoadStringA(program, IDS_DEVICE_ERROR_FIRST + 2, text, sizeof text), 0) << "strings stay numbered";
    EXPECT_STREQ(text, "Cannot open port.");
}

BOOL CALLBACK keepFirstName(HMODULE, LPCSTR, LPSTR name, LONG_PTR first) {
    *reinterpret_cast<std::string*>(first) = IS_INTRESOURCE(name) ? "#" : name;
    return FALSE; // the first is enough
}

TEST_F(ResourcesTest, FileManagerShowsTheMainIcon) {
    // The shell takes the first icon group of the program.
    std::string first;
    EnumResourceNamesA(program, RT_GROUP_ICON, keepFirstName, reinterpret_cast<LONG_PTR>(&first));
    ASSERT_FALSE(first.empty());
    const std::string shown = iconImage(first.c_str());
    EXPECT_FALSE(shown.empty());
    EXPECT_TRUE(shown == iconImage(icoMain)) << first << " does not show the main icon";
    EXPECT_FALSE(shown == iconImage(icoLiveDevice));
}

TEST_F(ResourcesTest, VersionResourceCarriesTheBuildsVersion) {
    DWORD unused = 0;
    const DWORD size = GetFileVersionInfoSizeA(VELTARO_EXE, &unused);
    ASSERT_GT(size, 0u);
    std::vector<char> info(size);
    ASSERT_TRUE(GetFileVersionInfoA(VELTARO_EXE, 0, size, info.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    const DWORD high = MAKELONG(VELTARO_VERSION_MINOR, VELTARO_VERSION_MAJOR);
    const DWORD low = MAKELONG(0, VELTARO_VERSION_PATCH);
    EXPECT_EQ(fixed->dwFileVersionMS, high);
    EXPECT_EQ(fixed->dwFileVersionLS, low);
    EXPECT_EQ(fixed->dwProductVersionMS, high);
    EXPECT_EQ(fixed->dwProductVersionLS, low);
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));

    const struct {
        const char* key;
        const char* value;
    } cases[] = {{"ProductName", "Veltaro"},
                 {"FileVersion", VELTARO_VERSION_TEXT},
                 {"ProductVersion", VELTARO_VERSION_TEXT},
                 {"OriginalFilename", "veltaro.exe"}};
    for (const auto& c : cases) {
        char* value = nullptr;
        const std::string path = std::string("\\StringFileInfo\\040904b0\\") + c.key;
        ASSERT_TRUE(VerQueryValueA(info.data(), path.c_str(), reinterpret_cast<void**>(&value), &length)) << c.key;
        EXPECT_STREQ(value, c.value) << c.key;
    }
}

TEST_F(ResourcesTest, ManifestAsksForCommonControlsSixOnSupportedWindows) {
    const std::string manifest = resourceData(MAKEINTRESOURCEA(1), RT_MANIFEST);
    ASSERT_FALSE(manifest.empty());
    for (const char* part :
         {"name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"", "{e2011457-1546-43c5-a5fe-008deee3d3f0}",
          "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}", "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",
          "{1f676c76-80e1-4239-95bb-83d0f6d0da78}", "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"}) {
        EXPECT_NE(manifest.find(part), std::string::npos) << part;
    }
    EXPECT_NE(manifest.find(">PerMonitorV2, PerMonitor<"), std::string::npos) << "the layout scales itself per monitor";

    // These tests carry the same manifest: the common controls they use come from the version 6 assembly.
    HMODULE controls = nullptr;
    ASSERT_TRUE(
        GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                           reinterpret_cast<LPCSTR>(reinterpret_cast<void*>(&InitCommonControls)), &controls));
    char path[MAX_PATH] = "";
    GetModuleFileNameA(controls, path, MAX_PATH);
    std::string folder = path;
    for (char& letter : folder) {
        letter = static_cast<char>(std::tolower(static_cast<unsigned char>(letter)));
    }
    EXPECT_NE(folder.find("microsoft.windows.common-controls_6595b64144ccf1df_6.0."), std::string::npos) << path;
}

TEST(DeviceErrorTextTest, ComesFromTheStringTable) {
    const char* texts[] = {"No error.",
                           "Cannot initialize port.",
                           "Cannot open port.",
                           "No port has been specified.",
                           "Not enough memory to construct a new object.",
                           "PortTee class could not start.",
                           "GPS Parser could not start.",
                           "Cannot create the device's message window."};
    for (int code = 0; code < 8; ++code) {
        EXPECT_EQ(deviceErrorText(code), texts[code]) << code;
    }
    EXPECT_EQ(deviceErrorText(-1), "Unknown error has occurred!");
    EXPECT_EQ(deviceErrorText(8), "Unknown error has occurred!");
}

} // namespace
} // namespace veltaro
