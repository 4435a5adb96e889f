// Set-up of a transfer: this system's fixed choices, its buffers, the
// one-entry file list and the callbacks, then the engine's initialisation.
//
// How it works: an engine is a KermitInstance: its KermitState, its
// KermitResult, its buffers and its files, owned by whoever runs transfers
// (the link's session has one). The link thread that runs a transfer calls
// setup_kermit on that instance before every transfer, on its own thread.
// Nothing of a transfer is released at its end. Sending: the name is the chosen file's
// upper-cased base name (what the 'F' packet announces) and full_path the
// file that is read. Receiving: the name is the one the device announced,
// the only name the device's file header may carry (`expected_name`), and
// full_path is empty; the caller then sets `expected_size` when it knows the
// size the file must have. A file that fails is removed (`keep_partial` 0).
#pragma once

#include <string>

#include "kermit/kermit_files.h"
#include "kermit/kermit_state.h"
#include "platform/serial.h"

namespace tessaril::kermit {

constexpr int SEND_NAME_SIZE = 40;  // names up to 39 characters and a terminator
constexpr int IN_BUF_SIZE = 4096;
constexpr int OUT_BUF_SIZE = 8192;

struct KermitBuffers {
  char send_name_buf[SEND_NAME_SIZE] = {};
  const char* file_list[2] = {};  // send_name_buf, then the end mark
  char in_buf[IN_BUF_SIZE + 1] = {};
  char out_buf[OUT_BUF_SIZE] = {};
  std::string send_path;
  KermitFiles files;
};

// One engine with everything it works on.
struct KermitInstance {
  KermitState state;
  KermitResult result;
  KermitBuffers buffers;
};

// Prepares the records for a transfer on `port` and initialises the engine;
// KR_OK. -1 (nothing changed) when name does not fit send_name_buf: a name is
// never cut, since a cut name would announce or accept another file.
int prepare_kermit(KermitState* k, KermitResult* r, KermitBuffers* b, const char* name, const char* full_path,
                   platform::SerialHandle port);

// The same on an instance.
int setup_kermit(KermitInstance& engine, const char* name, const char* full_path, platform::SerialHandle port);

}  // namespace tessaril::kermit
