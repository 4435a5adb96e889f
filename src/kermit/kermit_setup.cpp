#include "kermit/kermit_setup.h"

#include <cstring>

#include "kermit/kermit_files.h"
#include "kermit/kermit_line.h"

namespace tessaril::kermit {

int prepare_kermit(KermitState* k, KermitResult* r, KermitBuffers* b, const char* name, const char* full_path,
                   platform::SerialHandle port) {
  if (!name) name = "";
  const size_t length = strnlen(name, SEND_NAME_SIZE);
  if (length >= SEND_NAME_SIZE) return -1;
  std::memcpy(b->send_name_buf, name, length);
  b->send_name_buf[length] = '\0';
  b->file_list[0] = b->send_name_buf;
  b->file_list[1] = nullptr;
  b->send_path = full_path ? full_path : "";

  k->files = &b->files;
  k->file_list = b->file_list;
  k->send_path = b->send_path.c_str();
  k->port = port;
  k->ctrlc_abort = 1;
  k->file_mode_hint = 1;
  k->file_binary = 1;
  k->line_parity = 0;
  k->bct = 1;
  k->cancel = 0;
  // A file that did not arrive whole is removed, never left beside the good one.
  k->keep_partial = 0;
  k->expected_name = b->send_name_buf;
  k->expected_size = -1;
  k->in_buf = b->in_buf;
  k->in_buf_size = IN_BUF_SIZE;
  k->zincnt = 0;
  k->zinptr = nullptr;
  k->out_buf = b->out_buf;
  k->out_buf_size = OUT_BUF_SIZE;
  k->out_buf_count = 0;
  k->readpkt = readpkt;
  k->tx_data = tx_data;
  k->reserved_cb = reserved_cb;
  k->openfile = openfile;
  k->query_file = query_file;
  k->readfile = readfile;
  k->writefile = writefile;
  k->closefile = closefile;
  k->debug_hook = nullptr;
  return kermit_engine(KA_INIT, k, 0, 0, "", r);
}

int setup_kermit(KermitInstance& engine, const char* name, const char* full_path, platform::SerialHandle port) {
  return prepare_kermit(&engine.state, &engine.result, &engine.buffers, name, full_path, port);
}

}  // namespace tessaril::kermit
