#include "shell/config.h"

#include <cstdio>
#include <cstring>

#include "shell/product_id.h"
#include "platform/files.h"
#include "platform/profile.h"
#include "status/status_codes.h"

namespace tessaril::shell {

AppConfig app_config;

namespace {

template <size_t N>
void read_text(const char* key, const char* default_value, char (&field)[N], const std::string& path) {
  platform::profile_string(CONFIG_SECTION, key, default_value, field, static_cast<int>(N), path);
}

int32_t read_int(const char* key, int32_t default_value, const std::string& path) {
  return platform::profile_int(CONFIG_SECTION, key, default_value, path);
}

}  // namespace

std::string config_path() { return platform::native_path(".\\buc_setup.ini"); }

uint32_t read_config() {
  const std::string path = config_path();

  // The existence test: only a plain file that opens for reading counts.
  uint32_t status = status::ST_INI_FILE_MISSING;
  if (platform::file_size(path) >= 0) {
    if (std::FILE* f = std::fopen(path.c_str(), "r")) {
      (void)std::fclose(f);  // opened only to see that it can be read
      status = 0;
    }
  }

  // In the order of the file's documentation; a missing file gives every default.
  AppConfig& c = app_config;
  c.sio_port = read_int("sio_port", DEFAULT_SIO_PORT, path);
  c.bit_rate = read_int("bit_rate", DEFAULT_BIT_RATE, path);
  c.bit_len = read_int("bit_len", DEFAULT_BIT_LEN, path);
  c.stop_len = read_int("stop_len", DEFAULT_STOP_LEN, path);
  read_text("parity", DEFAULT_PARITY, c.parity, path);
  read_text("flow_ctl", DEFAULT_FLOW_CTL, c.flow_ctl, path);
  read_text("bpn", DEFAULT_BPN, c.bpn_text, path);
  read_text("MID", DEFAULT_MID, c.mid_text, path);
  read_text("bsn", DEFAULT_BSN, c.bsn_text, path);
  read_text("fid", DEFAULT_FID, c.fid_text, path);
  c.rty_tmr = read_int("rty_tmr", DEFAULT_RTY_TMR, path);
  read_text("cfg_folder", platform::default_cfg_folder(), c.cfg_folder, path);
  read_text("cmd_log_folder", platform::default_cmd_log_folder(), c.cmd_log_folder, path);
  c.logfile_max = read_int("logfile_max", DEFAULT_LOGFILE_MAX, path);
  c.logline_max = read_int("logline_max", DEFAULT_LOGLINE_MAX, path);
  return status;
}

void seed_product_id() {
  shell::ProductId& p = shell::product_id;
  static_assert(sizeof p.bpn_text == sizeof app_config.bpn_text && sizeof p.mid_text == sizeof app_config.mid_text &&
                sizeof p.bsn_text == sizeof app_config.bsn_text && sizeof p.fid_text == sizeof app_config.fid_text);
  std::memcpy(p.bpn_text, app_config.bpn_text, sizeof p.bpn_text);
  std::memcpy(p.mid_text, app_config.mid_text, sizeof p.mid_text);
  std::memcpy(p.bsn_text, app_config.bsn_text, sizeof p.bsn_text);
  std::memcpy(p.fid_text, app_config.fid_text, sizeof p.fid_text);
}

status::LogSettings log_settings_from_config() {
  status::LogSettings s;
  s.folder = app_config.cmd_log_folder;
  s.file_max = app_config.logfile_max;
  s.line_max = app_config.logline_max;
  return s;
}

}  // namespace tessaril::shell
