// The choice of the file that the host sends to the device by Kermit.
//
// How it works: the "File Select" buttons of Start File Transfer (4102),
// Set Calibration File (4152) and Start Upgrade Command (4162) open the
// platform's open-file dialog for their kind of file. The chosen file's base
// name, upper-cased as the device expects names, and its size are shown in
// the group's two statics and become the transfer file: the one file of all
// three groups that the sequence builders announce and the Kermit send
// transmits. The latest selection in any group replaces it.
//
// The device sees only the upper-cased base name, but the Kermit send opens
// the file the engineer chose, by its full path (`tx_file_path`): a file of
// the same name in the working folder may be an old image. A base name that
// does not fit `tx_file_name` is refused with a message, never cut; so is a
// file larger than the size field ("%d") of the frames that announce it
// (Start File Transfer, Set Calibration File, Start Upgrade Command), which
// would otherwise be announced with another size.
//
// The transfer file itself lives in transfer_file.h.
#pragma once

#include <cstdint>
#include <string>

#include "link/session.h"
#include "link/transfer_file.h"
#include "platform/controls.h"

namespace tessaril::shell {

enum class FileKind { UndefinedData, CalibrationData, ProgramUpdate };

// The largest file the announcing frames' size field holds.
constexpr int64_t TRANSFER_SIZE_MAX = INT32_MAX;
enum class CalibrationVariant { None, Xml, Gz };

// The filter text of the open-file dialog for a kind ("display\0pattern\0\0",
// CP932, NULs included): one entry, the selected one.
std::string open_file_filter(FileKind kind, CalibrationVariant variant);
// The dialog's title for a kind (CP932).
std::string open_file_title(FileKind kind, CalibrationVariant variant);

// Opens the open-file dialog for the kind. Returns 1 with the upper-cased
// base name in name_out (capacity bytes), the size in size_out and the full
// path in path_out when a file was chosen and found; 0 when the dialog was
// cancelled, the file cannot be found, its base name does not fit capacity or
// it is larger than TRANSFER_SIZE_MAX (then a message box says so). Outputs
// are untouched on 0.
int select_transfer_file(platform::DialogHandle dialog, FileKind kind, CalibrationVariant variant, char* name_out,
                         int capacity, int32_t& size_out, std::string& path_out);

// The "File Select" handlers: on success the group's statics show the name
// and the size ("%d") and the file becomes the transfer file.
void on_select_transfer_file(platform::DialogHandle dialog, link::Session& s);     // 4102
void on_select_calibration_file(platform::DialogHandle dialog, link::Session& s);  // 4152
void on_select_upgrade_file(platform::DialogHandle dialog, link::Session& s);      // 4162
// Dispatches 4102, 4152, 4162; false for any other id.
bool on_file_select(platform::DialogHandle dialog, link::Session& s, int button_id);

}  // namespace tessaril::shell
