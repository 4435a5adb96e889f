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
// does not fit `tx_file_name` is refused with a message, never cut.
//
// `tx_file_name` and `tx_file_size` are shared with the link threads; read
// and write them under `tx_file_lock` (transfer_file / set_transfer_file do).
#pragma once

#include <cstdint>
#include <cstring>
#include <mutex>
#include <string>

#include "platform/controls.h"

namespace tessaril::commands {

enum class FileKind { UndefinedData, CalibrationData, ProgramUpdate };
enum class CalibrationVariant { None, Xml, Gz };

// Room of the transfer file's name, terminator included.
constexpr int TX_FILE_NAME_CAPACITY = 40;

inline std::mutex tx_file_lock;
inline char tx_file_name[TX_FILE_NAME_CAPACITY] = {};  // upper-cased base name
inline int32_t tx_file_size = 0;                       // low 32 bits of the size
inline std::string tx_file_path;                       // the full path chosen

// A consistent copy of the transfer file.
struct TransferFile {
  char name[TX_FILE_NAME_CAPACITY];
  int32_t size;
  std::string path;
};

inline TransferFile transfer_file() {
  std::lock_guard<std::mutex> lock(tx_file_lock);
  TransferFile f{};
  std::memcpy(f.name, tx_file_name, sizeof f.name);
  f.size = tx_file_size;
  f.path = tx_file_path;
  return f;
}

// Replaces the transfer file; a name longer than the room is cut at it.
inline void set_transfer_file(const char* name, int32_t size, const std::string& path) {
  std::lock_guard<std::mutex> lock(tx_file_lock);
  size_t n = name ? strnlen(name, TX_FILE_NAME_CAPACITY - 1) : 0;
  std::memcpy(tx_file_name, name ? name : "", n);
  tx_file_name[n] = '\0';
  tx_file_size = size;
  tx_file_path = path;
}

// The filter text of the open-file dialog for a kind ("display\0pattern\0\0",
// CP932, NULs included): one entry, the selected one.
std::string open_file_filter(FileKind kind, CalibrationVariant variant);
// The dialog's title for a kind (CP932).
std::string open_file_title(FileKind kind, CalibrationVariant variant);

// Opens the open-file dialog for the kind. Returns 1 with the upper-cased
// base name in name_out (capacity bytes), the size in size_out and the full
// path in path_out when a file was chosen and found; 0 when the dialog was
// cancelled, the file cannot be found, or its base name does not fit
// capacity (then a message box says so). Outputs are untouched on 0.
int select_transfer_file(platform::DialogHandle dialog, FileKind kind, CalibrationVariant variant, char* name_out,
                         int capacity, int32_t& size_out, std::string& path_out);

// The "File Select" handlers: on success the group's statics show the name
// and the size ("%d") and the file becomes the transfer file.
void on_select_transfer_file(platform::DialogHandle dialog);     // 4102
void on_select_calibration_file(platform::DialogHandle dialog);  // 4152
void on_select_upgrade_file(platform::DialogHandle dialog);      // 4162
// Dispatches 4102, 4152, 4162; false for any other id.
bool on_file_select(platform::DialogHandle dialog, int button_id);

// The file the Kermit send opens for the transfer file: the chosen full path
// while the transfer file still names it; otherwise `tx_file_name` looked up
// in the working folder without regard to case. Empty when there is none.
std::string transfer_file_open_path();

}  // namespace tessaril::commands
