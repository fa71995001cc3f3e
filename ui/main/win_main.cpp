// The program's entry: shared resources, the main frame, and the message loop until the window is gone.
#include "res/resource.h"
#include "ui/framework/drawing_resources.h"
#include "ui/main/main_frame.h"
#include "ui/main/setups_file.h"

#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int showCommand) {
    using namespace veltaro;
    createSharedGdi();
    MainFrame frame(showCommand);
    if (frame.mainWindow.hwnd == nullptr) {
        showErrorBox("Cannot create Veltaro's main window.");
        return 1;
    }
    frame.loadSavedSetups(defaultSetupsPath());

    // The exit item promises Alt+X: the keys reach whichever control has the focus, so the loop
    // translates them before they are dispatched.
    HACCEL accelerators = LoadAcceleratorsA(sharedGdi().appInstance, accMain);

    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        if (!TranslateAcceleratorA(frame.mainWindow.hwnd, accelerators, &message) && !frame.handleDialogKeys(message)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
    return 0;
}
