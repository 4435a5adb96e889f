// The settings of "buc_setup.ini".
//
// How it works: read_config looks for "buc_setup.ini" in the current directory
// of the process (not in the folder of the executable), reads the fifteen keys
// of section "section1" with the profile look-ups of the platform layer and
// stores them in app_config. Every key has a default, so the program runs
// without the file. The file is read once, at start-up, before the link
// threads exist, and never written; afterwards the values are read without
// locks.
//
// Texts keep at most capacity - 1 bytes (capacity counts the NUL): the MID
// default "000000" becomes "000", a 20-character bpn keeps 14. Integers are
// read as GetPrivateProfileIntA reads them.
//
// cmd_log_folder is a prefix of the log file names and so ends with a
// separator. Both '/' and '\' are accepted in a configured value; the value is
// stored as written and converted to the native form where a file is opened.
// Default: "C:\buc_sim\cmd_log\" on Windows. On Linux that path means nothing,
// so the default there is "cmd_log/": a folder next to buc_setup.ini in the
// current directory, created when the first log line is written. cfg_folder
// (read only) likewise defaults to "buc_cfg/" on Linux.
#pragma once

#include <cstdint>
#include <string>

#include "status/command_log.h"

namespace tessaril::shell {

struct AppConfig {
  int32_t sio_port = 0;   // COM port number shown at start; replaced on every ENTER
  int32_t bit_rate = 0;   // baud rate
  int32_t bit_len = 0;    // data bits, low byte used
  int32_t stop_len = 0;   // read only: the port always uses one stop bit
  char parity[10] = {};   // read only: the port always runs without parity
  char flow_ctl[10] = {}; // read only: flow control is left as the driver has it
  char bpn_text[15] = {}; // key "bpn": BUC part number
  char mid_text[4] = {};  // key "MID": manufacturer ID
  char bsn_text[11] = {}; // key "bsn": BUC serial number
  char fid_text[8] = {};  // key "fid": functional ID
  int32_t rty_tmr = 0;    // read only
  char cfg_folder[260] = {};      // read only
  char cmd_log_folder[260] = {};  // prefix of the command-log file names
  int32_t logfile_max = 0;  // daily log files kept
  int32_t logline_max = 0;  // bound of the traffic list boxes
};

extern AppConfig app_config;

// The section and the defaults, as read_config applies them.
inline constexpr const char* CONFIG_SECTION = "section1";
inline constexpr int32_t DEFAULT_SIO_PORT = 1;
inline constexpr int32_t DEFAULT_BIT_RATE = 38400;
inline constexpr int32_t DEFAULT_BIT_LEN = 8;
inline constexpr int32_t DEFAULT_STOP_LEN = 1;
inline constexpr const char* DEFAULT_PARITY = "none";
inline constexpr const char* DEFAULT_FLOW_CTL = "none";
inline constexpr const char* DEFAULT_BPN = "0000000000000";
inline constexpr const char* DEFAULT_MID = "000000";
inline constexpr const char* DEFAULT_BSN = "000000000";
inline constexpr const char* DEFAULT_FID = "000000";
inline constexpr int32_t DEFAULT_RTY_TMR = 2500;
// cfg_folder and cmd_log_folder default to the folders of the platform
// layer: platform::default_cfg_folder(), platform::default_cmd_log_folder().
inline constexpr int32_t DEFAULT_LOGFILE_MAX = 7;
inline constexpr int32_t DEFAULT_LOGLINE_MAX = 1000;

// The file read_config reads: ".\buc_setup.ini" in the native form, i.e. in
// the current directory whatever the folder of the executable.
std::string config_path();

// Fills every field of app_config, from the file or from the defaults.
// Returns 0 when the file could be opened for reading, and
// status::ST_INI_FILE_MISSING (0x10800001) when it is missing, unreadable or
// no plain file; the fields are filled in either case.
uint32_t read_config();

// Hands the values read to the subsystems that keep their own copies: the
// product identity of the builders and the command log's settings.
void seed_product_id();
status::LogSettings log_settings_from_config();

}  // namespace tessaril::shell
