// The Kermit send: the transfer file to the device (`tx_command` 7).
#include <cstring>
#include <string>

#include "kermit/kermit_setup.h"
#include "kermit/kermit_state.h"
#include "link/kermit_transfer.h"
#include "link/kermit_transfer_parts.h"
#include "link/session.h"
#include "platform/files.h"
#include "status/status_codes.h"

namespace tessaril::link {

namespace detail {

const KermitSide send_side{
    .sending = true,
    .drain_read = 6,
    .quit_drain_pause_ms = 20,
    .silent_read_pause_ms = 0,
    .quit_before_tmo_test = false,
    .closefile_mode = 1,
    .ending_kind = LinkEventKind::KermitSent,
    .engine_error = status::ST_KERMIT_SEND_ERR,
    .timeout = status::ST_KERMIT_SEND_TIMEOUT,
    .tmo_test = status::ST_KERMIT_SEND_CANCEL,
    .quit = status::ST_KERMIT_SEND_BREAK,
};

namespace {

uint32_t send_verdict(const Transfer& t, const TransferFile& file) {
  const kermit::KermitResult& r = *t.r;
  const bool fits = name_fits(r.file_name);
  if (fits) t.s->tx_file.set_reported_name(r.file_name);
  if (t.engine_failed) return status::ST_KERMIT_SEND_ERR;
  // The size the transfer reported and the bytes that really went out and
  // were acknowledged, for a file the device took whole. Without attribute
  // packets nothing was reported: the file's own size is what counts.
  const int64_t reported = t.k->announced_size >= 0 ? r.filesize : file.size;
  const bool moved = r.file_outcome == kermit::KO_COMPLETE && reported == file.size && r.bytes_done == file.size;
  if (!moved) return status::ST_KERMIT_SEND_SIZE_MISMATCH;
  if (!fits || std::strcmp(r.file_name, file.name) != 0) return status::ST_KERMIT_SEND_NAME_MISMATCH;
  return status::ST_KERMIT_SEND_OK;
}

uint32_t run_send(Transfer& t) {
  const TransferFile file = t.s->tx_file.get();
  const std::string path = t.s->tx_file.open_path();
  // A file that is gone fails the set-up before anything goes on the line.
  if (!t.owns_engine || path.empty() || platform::file_size(path) < 0 ||
      kermit::setup_kermit(t.s->kermit, file.name, path.c_str(), t.port) != kermit::KR_OK)
    return status::ST_KERMIT_SEND_INIT_ERR;
  if (kermit::kermit_engine(kermit::KA_SEND, t.k, 0, 0, "", t.r) != kermit::KR_OK) return status::ST_KERMIT_SEND_ERR;
  begin_progress(t.progress, *t.s, true, file.name, file.size);
  const LoopEnd end = run_packet_loop(t);
  if (end == LoopEnd::LetGo || must_let_go(t)) return 0;
  // The device acknowledged the file's Z, so it has the file as it says;
  // only the end of the session (B) went unanswered, repeats and all. A
  // device that left its transfer at the B does not answer another.
  const bool only_b_unanswered = end == LoopEnd::Silence && t.k->state == kermit::S_AWAIT_EOT_ACK &&
                                 (!t.engine_failed || t.gave_up_in_silence);
  if (only_b_unanswered) t.engine_failed = false;
  if (end != LoopEnd::Finished && !only_b_unanswered) return ending_status(t, end);
  const uint32_t verdict = send_verdict(t, file);
  if (verdict == status::ST_KERMIT_SEND_OK) complete_progress(t.progress);
  return verdict;
}

}  // namespace

}  // namespace detail

void kermit_send_transfer(Session& s) {
  using namespace detail;
  Transfer t = begin_transfer(s, send_side);
  const uint32_t ending = t.abandoned ? 0 : run_send(t);
  close_transfer(t);
  if (ending == status::ST_KERMIT_SEND_OK) {
    s.report_step_result(STEP_LAST, status::result_word(ending));
    wait_after_step(t);
  }
  end_progress(t.progress);
  if (ending == 0) return;  // let go: nobody awaits an ending
  if (ending == status::ST_KERMIT_SEND_OK || ending == status::ST_KERMIT_SEND_SIZE_MISMATCH ||
      ending == status::ST_KERMIT_SEND_NAME_MISMATCH || ending == status::ST_KERMIT_SEND_CANCEL)
    s.rx_command.store(RX_IDLE);
  post_ending(t, ending);
}

}  // namespace tessaril::link
