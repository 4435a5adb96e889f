// The file callbacks the engine and the link use, and the attribute packets.
//
// How it works: one file is sent or received at a time per engine, through
// the two streams of its KermitFiles (`input_file`, `output_file`), which the
// engine's record points to. The file sent is the
// one the engineer chose, opened by its full path (`send_path` of the record);
// the 'F' packet only announces its upper-cased base name. When no full path
// is known the name is looked up in the working folder without regard to case
// (names are stored upper-cased; Linux file systems match case exactly).
//
// A received file arrives under the plain name the device announces, in the
// working folder and nowhere else: a name with a path separator, a drive
// colon, "..", a leading dot or a control character, or an empty name is
// refused. It is written into
// "<name>.part" beside the final place and renamed over the final name only
// when the sender's 'Z' says the file ended well (and the engine found a
// binary file the size announced and expected), so a transfer that fails or
// is discarded never destroys a good file of the same name; the partial file
// is then removed (set-up clears `keep_partial`; with it set it stays). The
// ".part" file is always created new: a stale plain file of that name is
// removed first, and a symbolic link or a folder of that name refuses the
// file, so the bytes never land anywhere but in the working folder.
//
// Bytes are written exactly as they arrive, in text mode too: the device's
// CR LF line ends stay, so a received file is the same on Linux and Windows.
// Sending in text mode turns LF into CR LF.
#pragma once

#include <cstdint>
#include <fstream>
#include <string>

#include "kermit/kermit_state.h"
#include "platform/files.h"

namespace tessaril::kermit {

// The files of one engine: what it sends, what it receives and where.
struct KermitFiles {
  std::ifstream input_file;
  platform::NewFile output_file;
  std::string output_final;    // the name the received file is put in place under
  std::string output_partial;  // where it is written meanwhile
  // The received file ended whole and waits under its temporary name for
  // the end of the session: a device that goes on with another file, or
  // fails before its 'B', has it discarded, not put in place.
  bool output_whole = false;
  bool input_failed = false;
};

// Suffix of the file a transfer writes into before it is put in place.
constexpr const char* PARTIAL_SUFFIX = ".part";

int reserved_cb();

// mode 1: open the file to send (closing one still open); mode 2: open the
// received file `name` for writing (closing one still open, as a discard).
// 0 opened, -1 failure or a refused name.
int openfile(KermitState* k, const char* name, int mode);

// Size of the file to send in bytes, with the current local time as
// "YYYYMMDD HH:MM:SS" in date; -1 when the file is missing or date is null
// or shorter than 18 bytes.
int64_t query_file(KermitState* k, const char* name, char* date, int size, int type, int mode);

// Next byte of the file being sent (0..255), -1 at its end, on failure or with
// no file open.
int readfile(KermitState* k);

// Writes count bytes to the received file. 0 written, -1 failure or no file.
int writefile(KermitState* k, const char* bytes, int count);

// mode 1 closes the file being sent; modes 2 and 3 close the received file,
// putting it in place unless the disposition is 'D'. Closing a closed file
// does nothing and gives 0; -1 when closing or putting in place failed.
int closefile(KermitState* k, int disposition, int mode);

// True when the device's name can be used as a plain name in the working folder.
bool safe_received_name(const char* name);

// Puts a received file that ended whole in place under its name (the end
// of the session, 'B'). 0 done or nothing waiting, -1 when it could not be.
int put_received_in_place(KermitState* k);

// Whether a stream of k's files is open (for the link's checks and the tests).
bool input_file_open(const KermitState* k);
bool output_file_open(const KermitState* k);

// True when reading the file being sent failed (not merely ended) since it
// was opened: its end as seen by readfile is not the file's end.
bool input_read_failed(const KermitState* k);

// Parses a received 'A' data field into r; returns the file type announced:
// 0 text, 1 binary, -1 none.
int gattr(KermitState* k, const char* data, KermitResult* r);

// Builds and sends the 'A' packet of the file being sent; spkt's result.
int sattr(KermitState* k, KermitResult* r);

}  // namespace tessaril::kermit
