// The resources of the built program, read back from veltaro.exe as the system and the shell see them.
#include "res/resource.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

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
        {mMain, RT_MENU},         {pmLiveDevice, RT_MENU},        {dlgStartPage, RT_DIALOG},
        {dlgDevice, RT_DIALOG},   {dlgAddEcho, RT_DIALOG},        {accMain, RT_ACCELERATOR},
        {icoMain, RT_GROUP_ICON}, {icoLiveDevice, RT_GROUP_ICON}, {icoOfflineDevice, RT_GROUP_ICON},
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

} // namespace
} // namespace veltaro
