#include "shell/control_names.h"

#include <algorithm>
#include <array>
#include <cctype>

#include "commands/command_table.h"
#include "shell/control_ids.h"
#include "shell/layout_tables.h"

namespace tessaril::shell {

namespace {

using platform::ControlKind;

struct ShortName {
  int id;
  const char* name;
};

// Controls without a caption of their own, and the two radio buttons whose
// captions ("1", "2") read as ids.
constexpr ShortName fixed_short_names[] = {
    {IDC_PORT_NUMBER, "port"},
    {IDC_RESULT_FRAME1, "frame1"},
    {IDC_RESULT_FRAME2, "frame2"},
    {IDC_RESULT_FRAME3, "frame3"},
    {IDC_RESULT_KERMIT, "kermit"},
    {IDC_HEX_LIST, "hex"},
    {IDC_TEXT_LIST, "text"},
    {IDC_WAIT_FRAME1, "wait1"},
    {IDC_WAIT_KERMIT, "wait_kermit"},
    {IDC_KERMIT_TMO, "kermit_tmo"},
    {IDC_HEADER_SIZE, "header_size"},
    {IDC_HEADER_DATA_WAIT, "header_wait"},
    {IDC_DATA_SIZE, "data_size"},
    {IDC_CRC_HIGH, "crc_high"},
    {IDC_CRC_LOW, "crc_low"},
    {IDC_END_CODE, "end_code"},
    {IDC_LO_FREQUENCY, "lo_freq"},
    {IDC_LATCH_CYCLE, "cycle"},
    {IDC_STATUS_FILE_NAME, "status_file"},
    {IDC_RECV_FILE_NAME, "recv_file"},
    {IDC_RECV_FILE_SIZE, "recv_size"},
    {IDC_TRANSFER_FILE_NAME, "transfer_file"},
    {IDC_TRANSFER_FILE_SIZE, "transfer_size"},
    {IDC_CAL_FILE_NAME, "cal_file"},
    {IDC_CAL_FILE_SIZE, "cal_size"},
    {IDC_UPGRADE_FILE_NAME, "upgrade_file"},
    {IDC_UPGRADE_FILE_SIZE, "upgrade_size"},
    {IDC_BPN, "bpn"},
    {IDC_MID, "mid"},
    {IDC_BSN, "bsn"},
    {IDC_FID, "fid"},
    {IDC_FAN_TEMP, "fan_temp"},
    {IDC_FAN_HIGH_TEMP, "fan_htemp"},
    {IDC_OVERTEMP, "overtemp"},
    {IDC_CAL_EX_FILE_1, "cal_ex_1"},
    {IDC_CAL_EX_FILE_2, "cal_ex_2"},
};

// The editor's runs of entries: header0..header5, data0..data29.
std::string entry_short_name(int id) {
  if (id >= IDC_HEADER_FIRST && id <= IDC_HEADER_LAST) return "header" + std::to_string(id - IDC_HEADER_FIRST);
  if (id >= IDC_DATA_FIRST && id <= IDC_DATA_LAST) return "data" + std::to_string(id - IDC_DATA_FIRST);
  return {};
}

// Lower case, blanks trimmed, runs of blanks as one.
std::string normalise(std::string_view text) {
  std::string out;
  bool blank = false;
  for (char c : text) {
    if (c == ' ' || c == '\t') {
      blank = !out.empty();
      continue;
    }
    if (blank) out += ' ';
    blank = false;
    out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return out;
}

bool ends_with(const std::string& s, std::string_view tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

std::string trim_right(std::string s) {
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

// The forms of a caption a name may take: as shown, without a trailing
// "Set", and without the command code "(0xNN)" at its end.
void add_caption_forms(std::string_view caption, std::vector<std::string>& forms) {
  std::string form = normalise(caption);
  if (form.empty()) return;
  forms.push_back(form);
  if (form.size() > 4 && ends_with(form, " set")) {
    form = trim_right(form.substr(0, form.size() - 4));
    forms.push_back(form);
  }
  if (ends_with(form, ")")) {
    const size_t open = form.rfind("(0x");
    if (open != std::string::npos && open > 0) forms.push_back(trim_right(form.substr(0, open)));
  }
}

bool has_caption(const platform::ControlSpec& c) {
  return c.kind == ControlKind::Button || c.kind == ControlKind::CheckBox || c.kind == ControlKind::RadioButton;
}

const char* kind_name(ControlKind kind) {
  switch (kind) {
    case ControlKind::Static: return "field";
    case ControlKind::Edit: return "edit";
    case ControlKind::Button: return "button";
    case ControlKind::CheckBox: return "check box";
    case ControlKind::RadioButton: return "radio button";
    case ControlKind::ListBox: return "list box";
    case ControlKind::GroupBox: return "group box";
  }
  return "";
}

// The caption a script names the control by: the command's name for a
// command button, the layout's text for other buttons, check and radio boxes.
std::string script_caption(const platform::ControlSpec& c) {
  if (const commands::CommandEntry* e = commands::find_command(c.id)) return e->caption;
  return has_caption(c) ? c.text : "";
}

struct Named {
  int id;
  std::string form;
};

// Every (id, form) pair, built once.
const std::vector<Named>& all_names() {
  static const std::vector<Named> names = [] {
    std::vector<Named> out;
    for (const ControlListing& c : list_controls()) {
      std::vector<std::string> forms;
      add_caption_forms(c.caption, forms);
      // A command button's own text too ("Get Fault Status (0x01)   Set", "Set").
      if (commands::find_command(c.id)) add_caption_forms(commands::find_command(c.id)->button_text, forms);
      if (!c.short_name.empty()) forms.push_back(normalise(c.short_name));
      for (std::string& f : forms)
        if (std::none_of(out.begin(), out.end(), [&](const Named& n) { return n.id == c.id && n.form == f; }))
          out.push_back({c.id, std::move(f)});
    }
    return out;
  }();
  return names;
}

}  // namespace

std::string_view control_short_name(int id) {
  for (const ShortName& s : fixed_short_names)
    if (s.id == id) return s.name;
  static const std::array<std::string, HEADER_ENTRY_COUNT + DATA_ENTRY_COUNT> entries = [] {
    std::array<std::string, HEADER_ENTRY_COUNT + DATA_ENTRY_COUNT> a;
    for (int k = 0; k < HEADER_ENTRY_COUNT; ++k) a[k] = entry_short_name(IDC_HEADER_FIRST + k);
    for (int k = 0; k < DATA_ENTRY_COUNT; ++k) a[HEADER_ENTRY_COUNT + k] = entry_short_name(IDC_DATA_FIRST + k);
    return a;
  }();
  if (id >= IDC_HEADER_FIRST && id <= IDC_HEADER_LAST) return entries[id - IDC_HEADER_FIRST];
  if (id >= IDC_DATA_FIRST && id <= IDC_DATA_LAST) return entries[HEADER_ENTRY_COUNT + id - IDC_DATA_FIRST];
  return {};
}

std::vector<ControlListing> list_controls() {
  std::vector<ControlListing> out;
  for (const platform::DialogTemplate* layout : {&port_dialog_template, &command_dialog_template}) {
    for (size_t i = 0; i < layout->control_count; ++i) {
      const platform::ControlSpec& c = layout->controls[i];
      if (c.id == IDC_STATIC) continue;
      ControlListing l;
      l.dialog = layout->id;
      l.id = c.id;
      l.kind = kind_name(c.kind);
      l.caption = script_caption(c);
      l.short_name = std::string(control_short_name(c.id));
      l.shown = c.shown;
      out.push_back(std::move(l));
    }
  }
  return out;
}

NameLookup find_control_by_name(std::string_view name, int& id, std::string& detail) {
  detail.clear();
  const std::string wanted = normalise(name);
  std::vector<int> ids;
  for (const Named& n : all_names())
    if (n.form == wanted && std::find(ids.begin(), ids.end(), n.id) == ids.end()) ids.push_back(n.id);
  if (ids.empty()) return NameLookup::Unknown;
  if (ids.size() > 1) {
    for (int other : ids) detail += (detail.empty() ? "" : ", ") + std::to_string(other);
    return NameLookup::Ambiguous;
  }
  id = ids.front();
  return NameLookup::Found;
}

}  // namespace tessaril::shell
