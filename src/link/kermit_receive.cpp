// The Kermit receive: the file the device announced (`rx_command` 8).
#include <cstring>
#include <string_view>

#include "kermit/kermit_setup.h"
#include "kermit/kermit_state.h"
#include "link/kermit_transfer.h"
#include "link/kermit_transfer_parts.h"
#include "link/session.h"
#include "platform/files.h"
#include "status/status_codes.h"

namespace tessaril::link {

namespace detail {

const KermitSide receive_side{
    .sending = false,
    .drain_read = 20,
    .quit_drain_pause_ms = 0,
    .silent_read_pause_ms = 20,
    .quit_before_tmo_test = true,
    .closefile_mode = 2,
    .ending_kind = LinkEventKind::KermitReceived,
    .engine_error = status::ST_KERMIT_RECV_ERR,
    .timeout = status::ST_KERMIT_RECV_TIMEOUT,
    .tmo_test = status::ST_KERMIT_RECV_CANCEL,
    .quit = status::ST_KERMIT_RECV_BREAK,
};

namespace {

struct Announced {
  char name[FILE_NAME_CAPACITY];
  int32_t size;
};

// A file the engine refused on what the device sent (another name, a size
// that contradicts the announcement, bytes past it, a file not asked for)
// keeps the words of a file that is not as announced, however the transfer
// then ends: the engine failure behind it is the refusal.
uint32_t refusal_status(const Transfer& t) {
  switch (t.r->file_outcome) {
    case kermit::KO_NAME_REFUSED:
      return status::ST_KERMIT_RECV_NAME_MISMATCH;
    case kermit::KO_SIZE_REFUSED:
    case kermit::KO_OVERRUN:
    case kermit::KO_WRONG_SIZE:
    case kermit::KO_EXTRA_FILE:
      return status::ST_KERMIT_RECV_SIZE_MISMATCH;
    default:
      return 0;
  }
}

uint32_t receive_verdict(const Transfer& t, const Announced& announced) {
  const kermit::KermitResult& r = *t.r;
  const bool fits = name_fits(r.file_name);
  if (fits) std::memcpy(t.s->rx_file_name, r.file_name, std::strlen(r.file_name) + 1);
  if (t.engine_failed) return status::ST_KERMIT_RECV_ERR;
  // Complete means put in place under its real name; the file there must
  // hold the announced size, as must the size reported and the bytes
  // written. A device that sends no attribute packets reports no size: the
  // announcement of its answer is what the file is held against.
  const bool in_place = r.file_outcome == kermit::KO_COMPLETE && platform::file_size(r.file_name) == announced.size;
  const int64_t reported = t.k->announced_size >= 0 ? r.filesize : announced.size;
  const bool moved = in_place && reported == announced.size && r.bytes_done == announced.size;
  if (!moved) return status::ST_KERMIT_RECV_SIZE_MISMATCH;
  if (!fits || std::strncmp(r.file_name, announced.name, FILE_NAME_CAPACITY) != 0)
    return status::ST_KERMIT_RECV_NAME_MISMATCH;
  return status::ST_KERMIT_RECV_OK;
}

struct Ending {
  uint32_t status = 0;  // 0: let go
  bool finished = false;
  bool cancel_device = false;
};

Ending run_receive(Transfer& t) {
  Announced announced{};
  std::memcpy(announced.name, t.s->rx_file_name, sizeof announced.name);
  announced.size = t.s->rx_file_size.load();
  // An announced name that fills the whole field has no terminator: set-up refuses it.
  if (!t.owns_engine || kermit::setup_kermit(t.s->kermit, announced.name, "", t.port) != kermit::KR_OK)
    return {status::ST_KERMIT_RECV_INIT_ERR};
  t.k->expected_size = announced.size;
  const std::string_view name(announced.name, strnlen(announced.name, FILE_NAME_CAPACITY));
  begin_progress(t.progress, *t.s, false, name, announced.size);
  const LoopEnd end = run_packet_loop(t);
  if (end == LoopEnd::LetGo || must_let_go(t)) return {};
  const bool device_ended = end == LoopEnd::Finished || end == LoopEnd::Silence || end == LoopEnd::Stalled;
  if (const uint32_t refused = refusal_status(t); refused != 0 && device_ended)
    return {refused, end == LoopEnd::Finished, end != LoopEnd::Finished};
  if (end == LoopEnd::Finished) {
    const uint32_t verdict = receive_verdict(t, announced);
    if (verdict == status::ST_KERMIT_RECV_OK) complete_progress(t.progress);
    return {verdict, true};
  }
  // The device is still in its transfer: the cancel sequence makes it give up.
  return {ending_status(t, end), false, end == LoopEnd::Silence || end == LoopEnd::Stalled};
}

}  // namespace

}  // namespace detail

void kermit_receive_transfer(Session& s) {
  using namespace detail;
  Transfer t = begin_transfer(s, receive_side);
  const Ending ending = t.abandoned ? Ending{} : run_receive(t);
  close_transfer(t);
  if (ending.cancel_device) write_cancel_sequence(t);
  if (ending.finished && ending.status != status::ST_KERMIT_RECV_ERR) wait_after_step(t);
  end_progress(t.progress);
  clear_command(s.rx_command, RX_KERMIT_RECEIVE);
  if (ending.status != 0) post_ending(t, ending.status);
}

}  // namespace tessaril::link
