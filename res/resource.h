#ifndef VELTARO_RES_RESOURCE_H
#define VELTARO_RES_RESOURCE_H

// Resource and control identifiers, shared by the C++ code and veltaro.rc.
// The resource compiler reads this file too: it sees only the #define lines.

// Menus, dialogs, icons and the accelerator table are named in veltaro.rc by bare identifiers, which the
// resource compiler keeps as string names; the program loads them by the same strings.
#ifndef RC_INVOKED
namespace veltaro {
inline constexpr char mMain[] = "mMain";                       // main window menu: File > Exit
inline constexpr char pmLiveDevice[] = "pmLiveDevice";         // context menu of a live device in the tree
inline constexpr char pmOfflineDevice[] = "pmOfflineDevice";   // context menu of a device on recorded data
inline constexpr char dlgStartPage[] = "dlgStartPage";         // start page (child, modeless)
inline constexpr char dlgDevice[] = "dlgDevice";               // device page (child, modeless)
inline constexpr char dlgAddEcho[] = "dlgAddEcho";             // "Add Echo:" (modal)
inline constexpr char dlgSavedSetups[] = "dlgSavedSetups";     // "Saved device setups" (modal)
inline constexpr char dlgNetworkSource[] = "dlgNetworkSource"; // "Connect to a network source" (modal)
inline constexpr char dlgTcpServer[] = "dlgTcpServer";         // "Serve on a TCP port" (modal)
inline constexpr char dlgUdpOutput[] = "dlgUdpOutput";         // "Send over UDP" (modal)
inline constexpr char dlgNtrip[] = "dlgNtrip";                 // "Corrections from an NTRIP caster" (modal)
inline constexpr char icoMain[] = "icoMain";                   // the application
inline constexpr char icoLiveDevice[] = "icoLiveDevice";       // a receiver on a COM port
inline constexpr char icoOfflineDevice[] = "icoOfflineDevice"; // a device reading recorded data
inline constexpr char icoView[] = "icoView";                   // a device's view page
inline constexpr char accMain[] = "accMain";                   // main window keys: Alt+X exits
} // namespace veltaro
#endif

// Menu commands.
#define IDM_EXIT 40002            // "E&xit\tAlt+X"
#define IDM_SAVE_DATA 40013       // "Save data fo file..."
#define IDM_ECHO 40014            // "Echo to another port..."
#define IDM_EVERY_SYSTEM 40015    // "&Read every satellite system", checked while it is on
#define IDM_STOP_DEVICE 40016     // "&Stop device"
#define IDM_STOP_OUTPUT 40017     // "&Stop", on a row of the device page's output list
#define IDM_CONNECT_NETWORK 40018 // "&Connect to a network source...\tCtrl+N"
#define IDM_SERVE_TCP 40019       // "Serve on a &TCP port..."
#define IDM_SEND_UDP 40020        // "Send over &UDP..."
#define IDM_CORRECTIONS 40021     // "Corrections from an NTRIP caster...", live devices on a COM port only

// Start page controls (dlgStartPage).
#define IDC_START_OPEN_FILE 1000    // button "Open GPS data from a file"
#define IDC_START_PORT_LIST 1001    // list box of COM ports, item data = port number
#define IDC_START_BAUD 1002         // baud rate combo box, item data = baud rate
#define IDC_START_SAVE_TO_FILE 1003 // check box "Save data to a file"
#define IDC_START_DEVICE 1004       // button "Start device"
#define IDC_START_SAVED_DEVICE 1005 // button "Start a live GPS device with saved parameters..." (disabled)
#define IDC_START_LIVE_GROUP 1006   // group box " Live GPS device: "
#define IDC_START_KNOWN_GROUP 1007  // group box " Known GPS Device: "
#define IDC_START_FILE_GROUP 1008   // group box " GPS data in a file: "
#define IDC_START_ECHO 1009         // check box "Echo data to port:"
#define IDC_START_ECHO_PORT 1010    // echo port combo box, item data = port number
#define IDC_START_ECHO_BAUD 1011    // echo baud rate combo box, item data = baud rate

// Device page controls (dlgDevice).
#define IDC_DEVICE_OUTPUT_LIST 1013   // list view of the device's outputs (echo ports, log files)
#define IDC_DEVICE_STATUS 1014        // static text "Status:" with the source port
#define IDC_DEVICE_TITLE 1015         // static text "Live GPS Device" (bold at run time)
#define IDC_DEVICE_OUTPUTS_LABEL 1016 // static text "Data saved to files:"
#define IDC_DEVICE_PAUSE 1019         // a replay's button "Pause" / "Play", made at run time
#define IDC_DEVICE_SPEED 1020         // a replay's speed combo box, item data = ReplaySpeed, made at run time

// Add echo dialog controls (dlgAddEcho); OK and Cancel are IDOK (1) and IDCANCEL (2).
#define IDC_ADDECHO_PORT_LIST 1001 // list box of COM ports, item data = port number
#define IDC_ADDECHO_BAUD_LIST 1018 // list box of baud rates, item data = baud rate

// Saved setups dialog controls (dlgSavedSetups); Start and Close are IDOK (1) and IDCANCEL (2).
#define IDC_SETUPS_LIST 1021   // list view: port, baud rate, outputs, last used; its check box is "Start at launch"
#define IDC_SETUPS_DELETE 1022 // button "Delete"

// Network source dialog controls (dlgNetworkSource); OK and Cancel are IDOK (1) and IDCANCEL (2).
#define IDC_NETSOURCE_ADDRESS 1023      // editable combo box of the address, listing those used before
#define IDC_NETSOURCE_SAVE_TO_FILE 1024 // check box "Save data to a file"
#define IDC_NETSOURCE_ECHO 1025         // check box "Echo data to port:"
#define IDC_NETSOURCE_ECHO_PORT 1026    // echo port combo box, item data = port number
#define IDC_NETSOURCE_ECHO_BAUD 1027    // echo baud rate combo box, item data = baud rate

// TCP server and UDP output dialog controls (dlgTcpServer, dlgUdpOutput); OK and Cancel are IDOK and IDCANCEL.
#define IDC_TCPSERVER_PORT 1028   // edit of the TCP port to serve on
#define IDC_UDPOUTPUT_TARGET 1029 // edit of the HOST:PORT to send to

// NTRIP dialog controls (dlgNtrip); OK and Cancel are IDOK (1) and IDCANCEL (2).
#define IDC_NTRIP_HOST 1030        // edit "Caster:"
#define IDC_NTRIP_PORT 1031        // edit "Port:"
#define IDC_NTRIP_MOUNTPOINT 1032  // edit "Mountpoint:"
#define IDC_NTRIP_STREAMS 1033     // button "Streams...": fetches the caster's source table
#define IDC_NTRIP_STREAM_LIST 1034 // list view of the caster's streams
#define IDC_NTRIP_USER 1035        // edit "User:"
#define IDC_NTRIP_PASSWORD 1036    // edit "Password:"

// String table: the device start-up errors, one per DeviceError code.
#define IDS_DEVICE_ERROR_FIRST 10000

#endif
