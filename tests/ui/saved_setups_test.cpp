// Saved device setups: the file they are kept in, and a user starting the same receiver again.
#include "res/resource.h"
#include "support/ui_support.h"
#include "support/windows_support.h"
#include "ui/framework/drawing_resources.h"
#include "ui/main/main_frame.h"
#include "ui/main/setups_file.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

namespace veltaro {
namespace {

std::vector<std::string> reportedErrors;
void recordError(const std::string& message) {
    reportedErrors.push_back(message);
}

// A folder of its own under the temporary one, its name beyond any ANSI code page.
std::wstring setupsFolder(const wchar_t* name) {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring folder = std::wstring(temp) + L"veltaro-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                                name + L"-Z\u00fcrich-\u65e5\u672c";
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

void writeBytes(const std::wstring& path, const std::string& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD n = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr);
    CloseHandle(file);
}

bool exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

TEST(SetupsFileTest, KeepsSetupsAndSetsADamagedFileAsideOnce) {
    SavedSetup logged{"COM5", 38400, EverySystemChoice::ON, "Z:\\tmp\\day.gpsl", {{"COM7", 115200}}, true, 1765240000,
                      {},     {}};
    SavedSetup automatic{"COM6", 0, EverySystemChoice::NOT_CHOSEN, "", {}, false, 1765230000, {}, {}};
    const struct {
        const char* what;
        const char* stored; // null: no file; "": the setups saved
        std::vector<SavedSetup> read;
        bool damaged;
    } cases[] = {
        {"no file yet", nullptr, {}, false},
        {"two setups saved", "", {logged, automatic}, false},
        {"a baud rate that is no number", "[COM5]\r\nbaud = fast\r\n", {}, true},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::wstring path = setupsFolder(std::to_wstring(++n).c_str()) + L"\\setups.ini";
        std::string problem;
        if (c.stored != nullptr && c.stored[0] == '\0') {
            ASSERT_TRUE(saveSetups(path, c.read, problem)) << problem;
        } else if (c.stored != nullptr) {
            writeBytes(path, c.stored);
        }
        EXPECT_EQ(loadSetups(path, problem), c.read);
        EXPECT_EQ(problem.empty(), !c.damaged) << problem;
        EXPECT_EQ(exists(path + L".bad"), c.damaged);
        // Set aside, the damage is told once: the next start finds no file.
        problem.clear();
        loadSetups(path, problem);
        EXPECT_EQ(problem, "");
    }
}

void pressStart(HWND dialog) {
    PostMessageA(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
}

class SavedSetupsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { createSharedGdi(); }
    SavedSetupsTest() { reportedErrors.clear(); }

    // A new session of the program: a frame that reads the setups kept at path.
    std::unique_ptr<MainFrame> launch() {
        auto frame = std::make_unique<MainFrame>(SW_SHOWNORMAL);
        frame->showError = recordError;
        frame->loadSavedSetups(path);
        return frame;
    }

    bool savedButtonEnabled(const MainFrame& frame) const {
        const StartPage* page = test::paneOf<StartPage>(*frame.rootNode);
        return IsWindowEnabled(GetDlgItem(page->hwnd, IDC_START_SAVED_DEVICE)) != FALSE;
    }

    const std::wstring path = setupsFolder(L"session") + L"\\setups.ini";
};

// A user who started a receiver with an echo closes Veltaro, starts it again and starts the same setup with
// two clicks; a ticked setup starts by itself at the next launch, and one whose port is gone says so.
TEST_F(SavedSetupsTest, SecondSessionStartsTheSameSetupAgain) {
    DeleteFileW(path.c_str());
    {
        auto first = launch();
        EXPECT_FALSE(savedButtonEnabled(*first));
        first->startDevice(5, 9600, false, true, 6, 115200);
        ASSERT_EQ(first->setups.size(), 1u);
        EXPECT_TRUE(savedButtonEnabled(*first));
        first->stopDevices();
    }
    {
        auto second = launch();
        EXPECT_TRUE(savedButtonEnabled(*second));
        EXPECT_EQ(test::nodesOf(*second, NODE_DEVICE).size(), 0u) << "not ticked: nothing starts by itself";
        test::whenWindowAppears("Saved device setups", pressStart);
        second->startSavedDevice();
        const std::vector<TreeNode*> devices = test::nodesOf(*second, NODE_DEVICE);
        ASSERT_EQ(devices.size(), 1u);
        EXPECT_EQ(test::itemText(second->treeWindow, devices[0]->item), "COM5: Live GPS");
        const DeviceReport report = devices[0]->device->report();
        ASSERT_EQ(report.outputs.size(), 1u);
        EXPECT_EQ(report.outputs[0].name, "COM6");
        second->setups[0].startAtLaunch = true;
        second->setups.push_back({"COM99", 4800, EverySystemChoice::NOT_CHOSEN, "", {}, true, 0, {}, {}});
        second->stopDevices();
        std::string problem;
        ASSERT_TRUE(saveSetups(path, second->setups, problem)) << problem;
    }
    auto third = launch();
    EXPECT_EQ(test::nodesOf(*third, NODE_DEVICE).size(), 1u) << "COM5 starts at launch";
    EXPECT_EQ(reportedErrors, std::vector<std::string>{
                                  "COM99 is not there: the saved setup cannot start. Is the receiver plugged in?"});
    third->stopDevices();
}

} // namespace
} // namespace veltaro
