// The names a script may give a control instead of its id.
//
// How it works: a control is named by the caption the dialog shows, or by a
// short name from one table for the controls whose text is no caption (edits,
// list boxes, result and file fields). Captions come from the layout tables
// and, for the command buttons, from the command table: a button that reads
// only "Set" is named by its command ("Set Band Selection", the text of the
// group around it). A name is compared without regard to ASCII case, with
// runs of blanks taken as one; the command code "(0x01)" and a trailing
// "Set" of a caption may be left out, so "Get Fault Status", "get fault
// status (0x01)" and the button's full text all name 4011.
//
// A name that matches no control, or controls of two ids ("File Select",
// "Set"), finds nothing; the look-up says which. Nothing here needs the
// dialogs running: scripts are checked against these tables before anything
// runs.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tessaril::shell {

enum class NameLookup { Found, Unknown, Ambiguous };

// Looks up a caption or short name. Found: id is set. Ambiguous: detail lists
// the ids that share the name ("227, 4102"). Unknown: detail is empty.
NameLookup find_control_by_name(std::string_view name, int& id, std::string& detail);

// One addressable control (id not IDC_STATIC) of either dialog, in template
// order, port dialog first.
struct ControlListing {
  int dialog = 0;           // template 101 or 103
  int id = 0;
  const char* kind = "";    // "button", "edit", "check box", ...
  std::string caption;      // as a script names it, "" for none
  std::string short_name;   // "" for none
  bool shown = true;        // created visible
};
std::vector<ControlListing> list_controls();

// The short name of a control, "" when it has none.
std::string_view control_short_name(int id);

}  // namespace tessaril::shell
