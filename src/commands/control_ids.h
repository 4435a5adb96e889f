// Control ids of the command dialog that the builders, the frame editor and
// the file selection read and write. The dialog layout uses the same numbers;
// they are fixed and never renumbered.
#pragma once

#include "link/link_state.h"

namespace tessaril::commands {

// Frame editor.
constexpr int IDC_HEADER_FIRST = 1401;   // header entries 1401..1406
constexpr int IDC_DATA_FIRST = 1407;     // visible data entries 1407..1436
constexpr int VISIBLE_DATA_ENTRIES = 30;
constexpr int IDC_DATA_LAST = IDC_DATA_FIRST + VISIBLE_DATA_ENTRIES - 1;
constexpr int IDC_CRC_HIGH = 1470;
constexpr int IDC_CRC_LOW = 1471;
constexpr int IDC_END_CODE = 1472;
constexpr int IDC_HEADER_SIZE = 1501;
constexpr int IDC_HEADER_DATA_WAIT = 1502;     // "Header-Data Wait": non-zero splits the write
constexpr int IDC_DATA_SIZE = 1503;
constexpr int IDC_CRC_ENABLE = 5501;   // "CRC Code"
constexpr int IDC_END_ENABLE = 5502;   // "End Code"

// Editor buttons.
constexpr int IDC_SEND = 227;
constexpr int IDC_CRC_RECALC = 230;
constexpr int IDC_RESET_STATE = 231;
constexpr int IDC_KERMIT_QUIT = 232;

// Sequence controls.
constexpr int IDC_SEND_FRAME2 = 5701;
constexpr int IDC_SEND_FRAME3 = 5702;
constexpr int IDC_KERMIT_TRNS = 5703;
constexpr int IDC_TRNS_TMO_ERR = 5704;
constexpr int IDC_WAIT_FRAME1 = 1701;    // ms after the answer to Frame1
constexpr int IDC_WAIT_KERMIT = 1702;    // ms after the Kermit step
constexpr int IDC_KERMIT_TMO = 1703;     // "Kermit_TMO", ms

// Result fields of steps 1..3 and of the Kermit step.
// The link writes them by step: link::result_field_id(step).
constexpr int IDC_RESULT_FRAME1 = link::result_field_id(1);  // 2401
constexpr int IDC_RESULT_FRAME2 = link::result_field_id(2);  // 2501
constexpr int IDC_RESULT_FRAME3 = link::result_field_id(3);  // 2601
constexpr int IDC_RESULT_KERMIT = link::result_field_id(4);  // 2701

// Command inputs.
constexpr int IDC_HIGHBAND = 3071;
constexpr int IDC_LOWBAND = 3072;
constexpr int IDC_LO_FREQUENCY = 1081;
constexpr int IDC_LATCH_CYCLE = 1091;
constexpr int IDC_TRANSFER_FILE_NAME = 2102;
constexpr int IDC_TRANSFER_FILE_SIZE = 2103;
constexpr int IDC_STATUS_FILE_NAME = 1111;
constexpr int IDC_RECV_FILE_NAME = 1121;
constexpr int IDC_RECV_FILE_SIZE = 1122;
constexpr int IDC_CAL_XML = 3151;
constexpr int IDC_CAL_GZ = 3152;
constexpr int IDC_CAL_FILE_NAME = 2152;
constexpr int IDC_CAL_FILE_SIZE = 2153;
constexpr int IDC_UPGRADE_FILE_NAME = 2162;
constexpr int IDC_UPGRADE_FILE_SIZE = 2163;
constexpr int IDC_PA_ENABLED = 3191;
constexpr int IDC_PA_DISABLED = 3192;
constexpr int IDC_RHAND = 3193;
constexpr int IDC_LHAND = 3194;
constexpr int IDC_RESTART_NEW = 3221;
constexpr int IDC_RESTART_OLD = 3222;
constexpr int IDC_BPN = 1231;
constexpr int IDC_MID = 1232;
constexpr int IDC_BSN = 1233;
constexpr int IDC_FID = 1234;
constexpr int IDC_CAL_EX_FILE_1 = 3271;
constexpr int IDC_CAL_EX_FILE_2 = 3272;
constexpr int IDC_FAN_TEMP = 1281;
constexpr int IDC_OVERTEMP = 1282;
constexpr int IDC_FAN_HIGH_TEMP = 1283;
constexpr int IDC_FAN_NORMAL = 3291;
constexpr int IDC_FAN_ON = 3292;
constexpr int IDC_FAN_OFF = 3293;

// "File Select" buttons.
constexpr int IDC_SELECT_TRANSFER_FILE = 4102;
constexpr int IDC_SELECT_CAL_FILE = 4152;
constexpr int IDC_SELECT_UPGRADE_FILE = 4162;

}  // namespace tessaril::commands
