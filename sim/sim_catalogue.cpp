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

using Handler = void (*)(BucState& state, const std::string& text, CommandResult& result);

struct Entry {
  uint8_t code;
  const char* name;
  Handler handler;
};

void no_data(BucState&, const std::string&, CommandResult&) {}

// The catalogue: every code the BUC knows, its name and what it does.
const Entry catalogue[] = {
    {0x01, "Get Fault Status", [](BucState&, const std::string&, CommandResult& r) { r.data = text_data("FAULT=00000000"); }},
    {0x02, "Get PA Power", [](BucState&, const std::string&, CommandResult& r) { r.data = text_data("PA=+33.0dBm"); }},
    {0x03, "Get Product Id", [](BucState& s, const std::string&, CommandResult& r) { r.data = text_data(s.product_id); }},
    {0x04, "Get Heart Beat",
     [](BucState& s, const std::string&, CommandResult& r) { r.data = text_data("HB=" + std::to_string(++s.heart_beat)); }},
    {0x05, "Get Local Oscillator", [](BucState& s, const std::string&, CommandResult& r) { r.data = text_data(s.lo); }},
    {0x06, "Get Band Selection", [](BucState& s, const std::string&, CommandResult& r) { r.data = text_data(s.band); }},
    {0x07, "Set Band Selection",
     [](BucState& s, const std::string& t, CommandResult& r) { set_choice(s.band, t, {"highband", "lowband"}, r); }},
    {0x08, "Set Local Oscillator", [](BucState& s, const std::string& t, CommandResult&) { s.lo = t; }},
    {0x09, "Reset Status Latch", no_data},
    {0x0A, "Start File Transfer", no_data},  // a Kermit send follows
    {0x0B, "Kermit File Transfer Status", no_data},
    {0x0C, "Recieve File", no_data},  // a Kermit receive follows
    {0x0D, "Get Software Version", [](BucState&, const std::string&, CommandResult& r) { r.data = text_data("SW=1.00.00"); }},
    {0x0E, "Get Calibration File", [](BucState& s, const std::string&, CommandResult& r) { announce_calibration_file(s, 0, r); }},
    {0x0F, "Set Calibration File", no_data},
    {0x10, "Start Upgrade Command", no_data},
    {0x11, "BUC Reset Command", no_data},
    {0x12, "Get Latched Fault Status",
     [](BucState&, const std::string&, CommandResult& r) { r.data = text_data("LFAULT=00000000"); }},
    {0x13, "Get Power Amp Status", [](BucState& s, const std::string&, CommandResult& r) { r.data = text_data(s.pa); }},
    {0x14, "Set Power Amp Status",
     [](BucState& s, const std::string& t, CommandResult& r) { set_choice(s.pa, t, {"enabled", "disabled"}, r); }},
    {0x60, "Set Polarization",
     [](BucState& s, const std::string& t, CommandResult& r) { set_choice(s.polarization, t, {"rhand", "lhand"}, r); }},
    {0x61, "Get Polarization", [](BucState& s, const std::string&, CommandResult& r) { r.data = text_data(s.polarization); }},
    {0x74, "Reset Latched Bias Status", no_data},
    {0x75, "Get Latched Bias Status", [](BucState&, const std::string&, CommandResult& r) { r.data = text_data("BIAS=0000"); }},
    {0x76, "Set Overtemp limit", [](BucState& s, const std::string& t, CommandResult&) { s.overtemp = t; }},
    {0x77, "Set FAN Control Mode",
     [](BucState& s, const std::string& t, CommandResult& r) { set_choice(s.fan_mode, t, {"normal", "on", "off"}, r); }},
    {0x78, "Set FAN Control Temperature", [](BucState& s, const std::string& t, CommandResult&) { s.fan_temperature = t; }},
    {0x79, "Get Calibration File Ex",
     [](BucState& s, const std::string& t, CommandResult& r) { announce_calibration_file(s, t == "2" ? 1 : 0, r); }},
    {0x7B, "Get Software Version Ex", [](BucState&, const std::string&, CommandResult& r) { r.data = text_data("SWEX=1.00.00"); }},
    {0x7C, "Get Factory Status", [](BucState&, const std::string&, CommandResult& r) { r.data = text_data("FACTORY=0"); }},
    {0x7D, "Write Product Id", [](BucState& s, const std::string& t, CommandResult&) { s.product_id = t; }},
    {0x7E, "Restart System", no_data},
    {0x7F, "NOP", no_data},
};

const Entry* find(uint8_t code) {
  for (const Entry& e : catalogue)
    if (e.code == code) return &e;
  return nullptr;
}

}  // namespace

bool run_command(BucState& state, uint8_t code, const std::string& text, CommandResult& result) {
  result = CommandResult{};
  result.rsp = RSP_SUCCESS;
  const Entry* entry = find(code);
  if (!entry) return false;
  entry->handler(state, text, result);
  return true;
}

const char* command_name(uint8_t code) {
  const Entry* entry = find(code);
  return entry ? entry->name : "";
}

}  // namespace tessaril::sim
