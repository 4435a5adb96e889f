// Control ids of the port-selection dialog (template 101) and the command
// dialog (template 103).
//
// These numbers are shared by the layout tables, the dialog procedures, the
// command builders, the link threads (result fields, traffic lists) and the
// headless scripts that engineers write against them ("click 4011"). They are
// never renumbered; tests/shell/layout_ids_test.cpp pins them.
//
// Labels and group boxes carry IDC_STATIC: nothing addresses them.
#pragma once

namespace tessaril::shell {

inline constexpr int IDC_STATIC = -1;

// Dialog templates.
inline constexpr int IDD_PORT_DIALOG = 101;
inline constexpr int IDD_COMMAND_DIALOG = 103;

// ---- Port-selection dialog (101) --------------------------------------------
inline constexpr int IDC_ENTER = 201;         // "ENTER", the default push button
inline constexpr int IDC_PORT_NUMBER = 1001;  // edit: COM port number
inline constexpr int IDC_ESCAPE = 2;          // the Esc key's command id (IDCANCEL)

// ---- Command dialog (103): builder buttons, codes 0x01 to 0x14 (shown) --------
inline constexpr int IDC_GET_FAULT_STATUS = 4011;       // 0x01
inline constexpr int IDC_GET_PA_POWER = 4021;           // 0x02
inline constexpr int IDC_GET_PRODUCT_ID = 4031;         // 0x03
inline constexpr int IDC_GET_HEART_BEAT = 4041;         // 0x04
inline constexpr int IDC_GET_LOCAL_OSC = 4051;          // 0x05
inline constexpr int IDC_GET_BAND_SELECTION = 4061;     // 0x06
inline constexpr int IDC_SET_BAND_SELECTION = 4071;     // 0x07
inline constexpr int IDC_SET_LOCAL_OSC = 4081;          // 0x08
inline constexpr int IDC_RESET_STATUS_LATCH = 4091;     // 0x09
inline constexpr int IDC_START_FILE_TRANSFER = 4101;    // 0x0A
inline constexpr int IDC_KERMIT_STATUS = 4111;          // 0x0B
inline constexpr int IDC_RECEIVE_FILE = 4121;           // 0x0C
inline constexpr int IDC_GET_SOFTWARE_VERSION = 4131;   // 0x0D
inline constexpr int IDC_GET_CAL_FILE = 4141;           // 0x0E
inline constexpr int IDC_SET_CAL_FILE = 4151;           // 0x0F
inline constexpr int IDC_START_UPGRADE = 4161;          // 0x10
inline constexpr int IDC_BUC_RESET = 4171;              // 0x11
inline constexpr int IDC_GET_LATCHED_FAULT = 4181;      // 0x12
inline constexpr int IDC_GET_PA_STATUS = 4182;          // 0x13
inline constexpr int IDC_SET_PA_STATUS = 4191;          // 0x14

// Builder buttons created hidden, codes 0x60, 0x61, 0x74 to 0x79, 0x7B to 0x7F.
inline constexpr int IDC_SET_POLARIZATION = 4192;       // 0x60
inline constexpr int IDC_GET_POLARIZATION = 4183;       // 0x61
inline constexpr int IDC_RESET_LATCHED_BIAS = 4242;     // 0x74
inline constexpr int IDC_GET_LATCHED_BIAS = 4252;       // 0x75
inline constexpr int IDC_SET_OVERTEMP = 4301;           // 0x76
inline constexpr int IDC_SET_FAN_MODE = 4291;           // 0x77
inline constexpr int IDC_SET_FAN_TEMP = 4281;           // 0x78
inline constexpr int IDC_GET_CAL_FILE_EX = 4271;        // 0x79
inline constexpr int IDC_GET_SOFTWARE_VERSION_EX = 4251;  // 0x7B
inline constexpr int IDC_GET_FACTORY_STATUS = 4241;     // 0x7C
inline constexpr int IDC_WRITE_PRODUCT_ID = 4231;       // 0x7D
inline constexpr int IDC_RESTART_SYSTEM = 4221;         // 0x7E
inline constexpr int IDC_NOP = 4211;                    // 0x7F

// "File Select" buttons and the file fields they fill.
inline constexpr int IDC_SELECT_TRANSFER_FILE = 4102;   // Start File Transfer (0x0A)
inline constexpr int IDC_TRANSFER_FILE_NAME = 2102;     // static
inline constexpr int IDC_TRANSFER_FILE_SIZE = 2103;     // static
inline constexpr int IDC_SELECT_CAL_FILE = 4152;        // Set Calibration File (0x0F)
inline constexpr int IDC_CAL_FILE_NAME = 2152;          // static
inline constexpr int IDC_CAL_FILE_SIZE = 2153;          // static
inline constexpr int IDC_SELECT_UPGRADE_FILE = 4162;    // Start Upgrade Command (0x10)
inline constexpr int IDC_UPGRADE_FILE_NAME = 2162;      // static
inline constexpr int IDC_UPGRADE_FILE_SIZE = 2163;      // static

// Command inputs: radio buttons.
inline constexpr int IDC_HIGHBAND = 3071;
inline constexpr int IDC_LOWBAND = 3072;
inline constexpr int IDC_CAL_XML = 3151;
inline constexpr int IDC_CAL_GZ = 3152;
inline constexpr int IDC_PA_ENABLED = 3191;
inline constexpr int IDC_PA_DISABLED = 3192;
inline constexpr int IDC_RHAND = 3193;
inline constexpr int IDC_LHAND = 3194;
inline constexpr int IDC_RESTART_NEW = 3221;
inline constexpr int IDC_RESTART_OLD = 3222;
inline constexpr int IDC_CAL_EX_FILE_1 = 3271;
inline constexpr int IDC_CAL_EX_FILE_2 = 3272;
inline constexpr int IDC_FAN_NORMAL = 3291;
inline constexpr int IDC_FAN_ON = 3292;
inline constexpr int IDC_FAN_OFF = 3293;

// Command inputs: edits.
inline constexpr int IDC_LO_FREQUENCY = 1081;    // "GHz (5digit)"
inline constexpr int IDC_LATCH_CYCLE = 1091;     // "Cycle"
inline constexpr int IDC_STATUS_FILE_NAME = 1111;  // Kermit File Transfer Status (0x0B)
inline constexpr int IDC_RECV_FILE_NAME = 1121;  // Receive File (0x0C)
inline constexpr int IDC_RECV_FILE_SIZE = 1122;
inline constexpr int IDC_BPN = 1231;             // Write Product Id (0x7D)
inline constexpr int IDC_MID = 1232;
inline constexpr int IDC_BSN = 1233;
inline constexpr int IDC_FID = 1234;
inline constexpr int IDC_FAN_TEMP = 1281;        // "Temp."
inline constexpr int IDC_OVERTEMP = 1282;        // "Temperature"
inline constexpr int IDC_FAN_HIGH_TEMP = 1283;   // "H Temp."

// Chain check boxes: the next step of a sequence.
inline constexpr int IDC_CHAIN_KERMIT_SEND = 5101;  // after 0x0A
inline constexpr int IDC_CHAIN_KERMIT_RECV = 5121;  // after 0x0C
inline constexpr int IDC_CHAIN_GET_CAL = 5141;      // after 0x0E
inline constexpr int IDC_CHAIN_SET_CAL = 5151;      // after 0x0F
inline constexpr int IDC_CHAIN_UPGRADE = 5161;      // after 0x10
inline constexpr int IDC_CHAIN_GET_CAL_EX = 5271;   // after 0x79

// Frame editor.
inline constexpr int IDC_HEADER_FIRST = 1401;  // header entries 0..5: 1401..1406
inline constexpr int IDC_HEADER_LAST = 1406;
inline constexpr int IDC_DATA_FIRST = 1407;    // data entries 0..29: 1407..1436
inline constexpr int IDC_DATA_LAST = 1436;
inline constexpr int IDC_CRC_HIGH = 1470;
inline constexpr int IDC_CRC_LOW = 1471;
inline constexpr int IDC_END_CODE = 1472;
inline constexpr int IDC_HEADER_SIZE = 1501;
inline constexpr int IDC_HEADER_DATA_WAIT = 1502;
inline constexpr int IDC_DATA_SIZE = 1503;
inline constexpr int IDC_CRC_ENABLE = 5501;    // "CRC Code"
inline constexpr int IDC_END_ENABLE = 5502;    // "End Code"
inline constexpr int IDC_SEND = 227;
inline constexpr int IDC_CRC_RECALC = 230;
inline constexpr int IDC_RESET_STATE = 231;    // created hidden
inline constexpr int IDC_KERMIT_QUIT = 232;
inline constexpr int IDC_RETURN_TO_MENU = 223;
inline constexpr int header_entry_count = IDC_HEADER_LAST - IDC_HEADER_FIRST + 1;  // 6
inline constexpr int data_entry_count = IDC_DATA_LAST - IDC_DATA_FIRST + 1;        // 30

// Sequence result area.
inline constexpr int IDC_RESULT_FRAME1 = 2401;  // result field of step s: 2301 + 100 * s
inline constexpr int IDC_RESULT_FRAME2 = 2501;
inline constexpr int IDC_RESULT_FRAME3 = 2601;
inline constexpr int IDC_RESULT_KERMIT = 2701;
inline constexpr int IDC_WAIT_FRAME1 = 1701;    // mS, row "Frame1_Response"
inline constexpr int IDC_WAIT_KERMIT = 1702;    // mS, row "Kermit Trns."
inline constexpr int IDC_KERMIT_TMO = 1703;     // mS, "Kermit_TMO"
inline constexpr int IDC_SEND_FRAME2 = 5701;    // next-step box after a Kermit step at slot 1
inline constexpr int IDC_SEND_FRAME3 = 5702;    // ... at slot 2
inline constexpr int IDC_KERMIT_TRNS = 5703;    // run (ticked) or skip the Kermit transfer
inline constexpr int IDC_TRNS_TMO_ERR = 5704;   // abandon a Kermit transfer after five packets

// Traffic lists.
inline constexpr int IDC_TEXT_LIST = 226;  // "DATA Segment (Ascii Code)"
inline constexpr int IDC_HEX_LIST = 225;   // "RFC1055 Frame DATA (Hex Code)"

}  // namespace tessaril::shell
