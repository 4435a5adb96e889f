// Control ids of the command dialog that the builders, the frame editor and
// the file selection read and write. The dialog layout uses the same numbers;
// they are fixed and never renumbered.
#pragma once

namespace tessaril::commands {

// Frame editor.
constexpr int ID_HEADER_FIRST = 1401;   // header entries 1401..1406
constexpr int ID_DATA_FIRST = 1407;     // visible data entries 1407..1436
constexpr int VISIBLE_DATA_ENTRIES = 30;
constexpr int ID_DATA_LAST = ID_DATA_FIRST + VISIBLE_DATA_ENTRIES - 1;
constexpr int ID_CRC_HIGH = 1470;
constexpr int ID_CRC_LOW = 1471;
constexpr int ID_END_CODE = 1472;
constexpr int ID_HEADER_SIZE = 1501;
constexpr int ID_SPLIT_WAIT = 1502;     // "Header-Data Wait": non-zero splits the write
constexpr int ID_DATA_SIZE = 1503;
constexpr int ID_CRC_CODE_BOX = 5501;   // "CRC Code"
constexpr int ID_END_CODE_BOX = 5502;   // "End Code"

// Editor buttons.
constexpr int ID_SEND = 227;
constexpr int ID_CRC_RECALC = 230;
constexpr int ID_RESET_STATE = 231;
constexpr int ID_KERMIT_QUIT = 232;

// Sequence controls.
constexpr int ID_SEND_FRAME2 = 5701;
constexpr int ID_SEND_FRAME3 = 5702;
constexpr int ID_KERMIT_TRNS = 5703;
constexpr int ID_TRNS_TMO_ERR = 5704;
constexpr int ID_WAIT_FRAME1 = 1701;    // ms after the answer to Frame1
constexpr int ID_WAIT_KERMIT = 1702;    // ms after the Kermit step
constexpr int ID_KERMIT_TMO = 1703;     // "Kermit_TMO", ms

// Result fields of steps 1..3 and of the Kermit step.
constexpr int ID_RESULT_FRAME1 = 2401;
constexpr int ID_RESULT_FRAME2 = 2501;
constexpr int ID_RESULT_FRAME3 = 2601;
constexpr int ID_RESULT_KERMIT = 2701;

// Command inputs.
constexpr int ID_HIGHBAND = 3071;
constexpr int ID_LOWBAND = 3072;
constexpr int ID_LO_FREQUENCY = 1081;
constexpr int ID_CYCLE = 1091;
constexpr int ID_SFT_FILE_NAME = 2102;
constexpr int ID_SFT_FILE_SIZE = 2103;
constexpr int ID_STATUS_FILE_NAME = 1111;
constexpr int ID_RECV_FILE_NAME = 1121;
constexpr int ID_RECV_FILE_SIZE = 1122;
constexpr int ID_CAL_XML = 3151;
constexpr int ID_CAL_GZ = 3152;
constexpr int ID_CAL_FILE_NAME = 2152;
constexpr int ID_CAL_FILE_SIZE = 2153;
constexpr int ID_UPG_FILE_NAME = 2162;
constexpr int ID_UPG_FILE_SIZE = 2163;
constexpr int ID_PA_ENABLED = 3191;
constexpr int ID_PA_DISABLED = 3192;
constexpr int ID_RHAND = 3193;
constexpr int ID_LHAND = 3194;
constexpr int ID_RESTART_NEW = 3221;
constexpr int ID_RESTART_OLD = 3222;
constexpr int ID_BPN = 1231;
constexpr int ID_MID = 1232;
constexpr int ID_BSN = 1233;
constexpr int ID_FID = 1234;
constexpr int ID_CAL_FILE_1 = 3271;
constexpr int ID_CAL_FILE_2 = 3272;
constexpr int ID_FAN_TEMP = 1281;
constexpr int ID_OVERTEMP = 1282;
constexpr int ID_FAN_HTEMP = 1283;
constexpr int ID_FAN_NORMAL = 3291;
constexpr int ID_FAN_ON = 3292;
constexpr int ID_FAN_OFF = 3293;

// "File Select" buttons.
constexpr int ID_SELECT_SFT_FILE = 4102;
constexpr int ID_SELECT_CAL_FILE = 4152;
constexpr int ID_SELECT_UPG_FILE = 4162;

}  // namespace tessaril::commands
