// Control ids of the port-selection dialog (template 101) and the command
// dialog (template 103).
//
// These numbers are shared by the layout tables, the dialog procedures, the
// command builders, the link threads (result fields, traffic lists) and the
// headless scripts that engineers write against them ("click 4011"). They are
// never renumbered; tests/shell/layout_tables_test.cpp pins them.
//
// Each id has one name and one definition. The ids the commands subsystem
// reads and writes are defined there (commands/control_ids.h), the traffic
// lists by the command log that fills them (status/command_log.h); this
// header brings them into the shell's namespace under the same names and
// defines the rest.
// Labels and group boxes carry IDC_STATIC: nothing addresses them.
#pragma once

#include "commands/control_ids.h"
#include "status/command_log.h"

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
using commands::IDC_SELECT_TRANSFER_FILE;   // Start File Transfer (0x0A)
using commands::IDC_TRANSFER_FILE_NAME;     // static
using commands::IDC_TRANSFER_FILE_SIZE;     // static
using commands::IDC_SELECT_CAL_FILE;        // Set Calibration File (0x0F)
using commands::IDC_CAL_FILE_NAME;          // static
using commands::IDC_CAL_FILE_SIZE;          // static
using commands::IDC_SELECT_UPGRADE_FILE;    // Start Upgrade Command (0x10)
using commands::IDC_UPGRADE_FILE_NAME;      // static
using commands::IDC_UPGRADE_FILE_SIZE;      // static

// Command inputs: radio buttons.
using commands::IDC_HIGHBAND;
using commands::IDC_LOWBAND;
using commands::IDC_CAL_XML;
using commands::IDC_CAL_GZ;
using commands::IDC_PA_ENABLED;
using commands::IDC_PA_DISABLED;
using commands::IDC_RHAND;
using commands::IDC_LHAND;
using commands::IDC_RESTART_NEW;
using commands::IDC_RESTART_OLD;
using commands::IDC_CAL_EX_FILE_1;
using commands::IDC_CAL_EX_FILE_2;
using commands::IDC_FAN_NORMAL;
using commands::IDC_FAN_ON;
using commands::IDC_FAN_OFF;

// Command inputs: edits.
using commands::IDC_LO_FREQUENCY;    // "GHz (5digit)"
using commands::IDC_LATCH_CYCLE;     // "Cycle"
using commands::IDC_STATUS_FILE_NAME;  // Kermit File Transfer Status (0x0B)
using commands::IDC_RECV_FILE_NAME;  // Receive File (0x0C)
using commands::IDC_RECV_FILE_SIZE;
using commands::IDC_BPN;             // Write Product Id (0x7D)
using commands::IDC_MID;
using commands::IDC_BSN;
using commands::IDC_FID;
using commands::IDC_FAN_TEMP;        // "Temp."
using commands::IDC_OVERTEMP;        // "Temperature"
using commands::IDC_FAN_HIGH_TEMP;   // "H Temp."

// Chain check boxes: the next step of a sequence.
inline constexpr int IDC_CHAIN_KERMIT_SEND = 5101;  // after 0x0A
inline constexpr int IDC_CHAIN_KERMIT_RECV = 5121;  // after 0x0C
inline constexpr int IDC_CHAIN_GET_CAL = 5141;      // after 0x0E
inline constexpr int IDC_CHAIN_SET_CAL = 5151;      // after 0x0F
inline constexpr int IDC_CHAIN_UPGRADE = 5161;      // after 0x10
inline constexpr int IDC_CHAIN_GET_CAL_EX = 5271;   // after 0x79

// Frame editor.
using commands::IDC_HEADER_FIRST;  // header entries 0..5: 1401..1406
inline constexpr int IDC_HEADER_LAST = IDC_HEADER_FIRST + 5;
using commands::IDC_DATA_FIRST;    // data entries 0..29: 1407..1436
using commands::IDC_DATA_LAST;
using commands::IDC_CRC_HIGH;
using commands::IDC_CRC_LOW;
using commands::IDC_END_CODE;
using commands::IDC_HEADER_SIZE;
using commands::IDC_HEADER_DATA_WAIT;
using commands::IDC_DATA_SIZE;
using commands::IDC_CRC_ENABLE;    // "CRC Code"
using commands::IDC_END_ENABLE;    // "End Code"
using commands::IDC_SEND;
using commands::IDC_CRC_RECALC;
using commands::IDC_RESET_STATE;    // created hidden
using commands::IDC_KERMIT_QUIT;
inline constexpr int IDC_RETURN_TO_MENU = 223;
inline constexpr int HEADER_ENTRY_COUNT = IDC_HEADER_LAST - IDC_HEADER_FIRST + 1;  // 6
inline constexpr int DATA_ENTRY_COUNT = IDC_DATA_LAST - IDC_DATA_FIRST + 1;        // 30

// Sequence result area.
using commands::IDC_RESULT_FRAME1;  // result field of step s: 2301 + 100 * s
using commands::IDC_RESULT_FRAME2;
using commands::IDC_RESULT_FRAME3;
using commands::IDC_RESULT_KERMIT;
using commands::IDC_WAIT_FRAME1;    // mS, row "Frame1_Response"
using commands::IDC_WAIT_KERMIT;    // mS, row "Kermit Trns."
using commands::IDC_KERMIT_TMO;     // mS, "Kermit_TMO"
using commands::IDC_SEND_FRAME2;    // next-step box after a Kermit step at slot 1
using commands::IDC_SEND_FRAME3;    // ... at slot 2
using commands::IDC_KERMIT_TRNS;    // run (ticked) or skip the Kermit transfer
using commands::IDC_TRNS_TMO_ERR;   // abandon a Kermit transfer after five packets

// Traffic lists.
inline constexpr int IDC_TEXT_LIST = 226;  // "DATA Segment (Ascii Code)"
inline constexpr int IDC_HEX_LIST = 225;   // "RFC1055 Frame DATA (Hex Code)"

}  // namespace tessaril::shell
