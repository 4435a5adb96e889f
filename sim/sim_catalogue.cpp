#include "sim_catalogue.h"

#include <algorithm>
#include <cctype>

#include "platform/files.h"

namespace tessaril::sim {

namespace {

// Response codes the BUC uses on its own.
constexpr int RSP_SUCCESS = 0x01;
constexpr int RSP_FILE_FAIL = 0x08;
constexpr int RSP_FIELD_ERROR = 0x0A;

Bytes text_data(const std::string& text) {
  Bytes b(text.begin(), text.end());
  b.push_back(0);
  return b;
}

bool one_of(const std::string& text, std::initializer_list<const char*> allowed) {
  return std::any_of(allowed.begin(), allowed.end(), [&](const char* a) { return text == a; });
}

bool is_calibration_file(const std::string& name) {
  std::string lower = name;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  auto ends = [&](const std::string& s) { return lower.size() > s.size() && lower.compare(lower.size() - s.size(), s.size(), s) == 0; };
  return ends(".xml") || ends(".gz");
}

// The n-th (0-based) calibration file of the folder, by name.
void announce_calibration_file(const BucState& state, size_t n, CommandResult& result) {
  std::vector<std::string> files;
  for (const std::string& name : platform::find_files(state.folder, "*"))
    if (is_calibration_file(name)) files.push_back(name);
  std::sort(files.begin(), files.end());
  if (files.empty()) {
    result.rsp = RSP_FILE_FAIL;
    return;
  }
  const std::string& name = files[std::min(n, files.size() - 1)];
  int64_t size = platform::file_size(state.folder + "/" + name);
  result.data = text_data(name + "," + std::to_string(size < 0 ? 0 : size));
}

// A Set command that accepts only some texts.
void set_choice(std::string& field, const std::string& text, std::initializer_list<const char*> allowed,
                CommandResult& result) {
  if (one_of(text, allowed)) {
    field = text;
  } else {
    result.rsp = RSP_FIELD_ERROR;
  }
}

}  // namespace

bool run_command(BucState& state, uint8_t code, const std::string& text, CommandResult& result) {
  result = CommandResult{};
  result.rsp = RSP_SUCCESS;
  switch (code) {
    case 0x01: result.data = text_data("FAULT=00000000"); break;
    case 0x02: result.data = text_data("PA=+33.0dBm"); break;
    case 0x03: result.data = text_data(state.product_id); break;
    case 0x04: result.data = text_data("HB=" + std::to_string(++state.heart_beat)); break;
    case 0x05: result.data = text_data(state.lo); break;
    case 0x06: result.data = text_data(state.band); break;
    case 0x07: set_choice(state.band, text, {"highband", "lowband"}, result); break;
    case 0x08: state.lo = text; break;
    case 0x09: break;  // Reset Status Latch
    case 0x0A: break;  // Start File Transfer: a Kermit send follows
    case 0x0B: break;  // Kermit File Transfer Status
    case 0x0C: break;  // Receive File: a Kermit receive follows
    case 0x0D: result.data = text_data("SW=1.00.00"); break;
    case 0x0E: announce_calibration_file(state, 0, result); break;
    case 0x0F: break;  // Set Calibration File
    case 0x10: break;  // Start Upgrade Command
    case 0x11: break;  // BUC Reset Command
    case 0x12: result.data = text_data("LFAULT=00000000"); break;
    case 0x13: result.data = text_data(state.pa); break;
    case 0x14: set_choice(state.pa, text, {"enabled", "disabled"}, result); break;
    case 0x60: set_choice(state.polarization, text, {"rhand", "lhand"}, result); break;
    case 0x61: result.data = text_data(state.polarization); break;
    case 0x74: break;  // Reset Latched Bias Status
    case 0x75: result.data = text_data("BIAS=0000"); break;
    case 0x76: state.overtemp = text; break;
    case 0x77: set_choice(state.fan_mode, text, {"normal", "on", "off"}, result); break;
    case 0x78: state.fan_temperature = text; break;
    case 0x79: announce_calibration_file(state, text == "2" ? 1 : 0, result); break;
    case 0x7B: result.data = text_data("SWEX=1.00.00"); break;
    case 0x7C: result.data = text_data("FACTORY=0"); break;
    case 0x7D: state.product_id = text; break;
    case 0x7E: break;  // Restart System
    case 0x7F: break;  // NOP
    default: return false;
  }
  return true;
}

const char* command_name(uint8_t code) {
  switch (code) {
    case 0x01: return "Get Fault Status";
    case 0x02: return "Get PA Power";
    case 0x03: return "Get Product Id";
    case 0x04: return "Get Heart Beat";
    case 0x05: return "Get Local Oscillator";
    case 0x06: return "Get Band Selection";
    case 0x07: return "Set Band Selection";
    case 0x08: return "Set Local Oscillator";
    case 0x09: return "Reset Status Latch";
    case 0x0A: return "Start File Transfer";
    case 0x0B: return "Kermit File Transfer Status";
    case 0x0C: return "Recieve File";
    case 0x0D: return "Get Software Version";
    case 0x0E: return "Get Calibration File";
    case 0x0F: return "Set Calibration File";
    case 0x10: return "Start Upgrade Command";
    case 0x11: return "BUC Reset Command";
    case 0x12: return "Get Latched Fault Status";
    case 0x13: return "Get Power Amp Status";
    case 0x14: return "Set Power Amp Status";
    case 0x60: return "Set Polarization";
    case 0x61: return "Get Polarization";
    case 0x74: return "Reset Latched Bias Status";
    case 0x75: return "Get Latched Bias Status";
    case 0x76: return "Set Overtemp limit";
    case 0x77: return "Set FAN Control Mode";
    case 0x78: return "Set FAN Control Temperature";
    case 0x79: return "Get Calibration File Ex";
    case 0x7B: return "Get Software Version Ex";
    case 0x7C: return "Get Factory Status";
    case 0x7D: return "Write Product Id";
    case 0x7E: return "Restart System";
    case 0x7F: return "NOP";
    default: return "";
  }
}

}  // namespace tessaril::sim
