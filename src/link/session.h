// The session: one device on one port, and everything the host keeps about
// the conversation with it.
//
// How it works: a Session owns the port, the command words and frame buffers
// it shares with its two link threads, the sequence parameters, the Kermit
// switches, the transfer file, one Kermit engine with its files, and the
// command log its traffic goes to. The program builds one from the
// configuration and hands it to the dialogs; tests build as many as they
// like, each on its own port.
//
// The dialog thread hands work to a link thread by filling the step's
// buffers and settings, setting `frame_slot`, and writing the command word
// LAST with post_tx_command or post_rx_command, which wake the thread that
// serves it. Every shared word is a std::atomic<int32_t> with sequentially
// consistent operations, so the command word's store releases everything
// written before it, and the thread's load of the command word acquires it.
// A thread clears a command word only if it still holds the value it served
// (`clear_command`), so a command the dialog wrote in the meantime survives.
// The link threads sleep on `wake` until a command word, a stop request or
// the port changes; the waits the device relies on (the step waits, the
// pauses between retries and log lines) are named delays in the thread
// bodies, cut short by the same wake-up when the work is withdrawn.
//
// The transmit buffers of a step are written under `tx_frame_lock` (a frame
// builder or "Send" holds it while it fills a step; the send thread while it
// copies the step it takes), so a Send pressed while the send thread writes
// never puts a torn frame on the wire or in the log.
//
// What happens is told to the observers (session_events.h), on the thread
// where it happened: traffic, a step's result, the link events that drive
// the sequence, transfer progress, the port's state. Observers are
// subscribed before the threads start and stay for the session's life.
//
// Include order: platform < status < kermit < link < commands < shell < ui.
// This folder is link: it includes platform, status and kermit only.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "kermit/kermit_setup.h"
#include "link/frame_codec.h"
#include "link/link_state.h"
#include "link/session_events.h"
#include "link/transfer_file.h"
#include "platform/serial.h"
#include "status/command_log.h"

namespace tessaril::link {

struct Session;

// Runs one whole Kermit transfer on the calling link thread (kermit_transfer.h).
using KermitRunner = void (*)(Session& s);

// How the dialog thread waits for a link thread while still serving the
// control calls a link thread may be inside of; a plain sleep by default.
using DialogSleep = void (*)(int64_t ms);

struct Session {
  explicit Session(const status::LogSettings& log_settings = {});
  ~Session();  // stops the threads, closes the port
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // Observers: subscribe before start_link_threads; they stay subscribed.
  void subscribe(SessionObserver* observer);

  // --- the words shared with the link threads -----------------------------
  std::atomic<int32_t> tx_command{TX_IDLE};
  std::atomic<int32_t> rx_command{RX_IDLE};
  std::atomic<int32_t> frame_slot{1};
  std::atomic<int32_t> tx_run_state{TX_RUNNING};
  std::atomic<int32_t> rx_run_state{RX_RUNNING};
  // 1 when the last answer had a good CRC and response code 0x01 (and, for
  // the answers 0x8E and 0xF9, a well-formed file announcement).
  std::atomic<int32_t> rsp_ok{0};
  // Per-step lengths, editor counts, step waits and the header split, as
  // addressed by the SEQ_* offsets of link_state.h.
  std::atomic<int32_t> seq_params[SEQ_PARAMS] = {};
  std::atomic<int32_t>& step_wait_ticks(int k) { return seq_params[SEQ_STEP_WAIT + k]; }
  std::atomic<int32_t>& split_header() { return seq_params[SEQ_SPLIT_HEADER]; }

  // Per-step frame buffers (steps 1-4; 0 unused).
  std::mutex tx_frame_lock;
  uint8_t tx_frame_raw[STEP_SLOTS][FRAME_MAX] = {};
  uint8_t tx_frame_enc[STEP_SLOTS][FRAME_ENC_MAX] = {};
  uint8_t rx_frame_raw[STEP_SLOTS][FRAME_MAX] = {};
  // The code and sequence number of the frame written last
  // (answer_scan.h's written_frame_mark): what the answer must match.
  std::atomic<uint32_t> written_frame{0};

  // The file announced by an answer 0x8E or 0xF9 (written by the receive
  // thread, read by the dialog after the link event that follows it).
  char rx_file_name[FILE_NAME_CAPACITY] = {};
  std::atomic<int32_t> rx_file_size{0};

  // The file the host sends by Kermit (transfer_file.h).
  TransferFileSlot tx_file;

  // The Kermit switches "Send" and "KerTrns Quit" set: consecutive silent
  // packet reads a transfer survives ("Kermit_TMO" / 200), "Trns TMO err"
  // for each direction, and the quit request.
  std::atomic<int32_t> kermit_tmo_count{5};
  std::atomic<int32_t> tmo_test_tx{0};
  std::atomic<int32_t> tmo_test_rx{0};
  std::atomic<int32_t> kermit_quit_request{0};

  // The open port, or platform::INVALID_SERIAL. Written by open and close on
  // the dialog thread, read by the link threads at every port call.
  std::atomic<platform::SerialHandle> com_handle{platform::INVALID_SERIAL};
  // Open and close advance it. A thread notes the epoch when it takes a
  // command and lets the command go, silently, once it has moved on.
  std::atomic<int32_t> epoch{0};

  // --- the link threads ---------------------------------------------------
  std::atomic<bool> tx_running{false};
  std::atomic<bool> rx_running{false};
  std::atomic<bool> tx_busy{false};
  std::atomic<bool> rx_busy{false};
  std::mutex threads_lock;
  std::thread send_thread;
  std::thread receive_thread;
  std::atomic<KermitRunner> kermit_send_runner{nullptr};
  std::atomic<KermitRunner> kermit_receive_runner{nullptr};
  DialogSleep dialog_sleep = nullptr;

  // The one Kermit engine, held by the transfer that runs it.
  kermit::KermitInstance kermit;
  std::atomic<bool> engine_held{false};

  // Where the traffic is logged.
  status::CommandLog log;

  // --- handing work to the threads ----------------------------------------
  // Write a command word (the last write of a hand-over) and wake its thread.
  void post_tx_command(int32_t command);
  void post_rx_command(int32_t command);
  // Wakes every wait of the link threads so that it looks again at what it
  // waits for (a stop request, a closed port, a withdrawn command).
  void wake_threads();
  // A link thread's wait: up to ms, ended early (false) once should_end()
  // holds; true when the full time passed. Woken by wake_threads.
  bool thread_wait(int64_t ms, const std::function<bool()>& should_end);
  // The dialog thread's wait for the link threads: up to ms, serving control
  // calls meanwhile; true when done() came true.
  bool dialog_wait(int64_t ms, const std::function<bool()>& done) const;

  // --- telling the observers ----------------------------------------------
  void report_traffic(TrafficDirection direction, TrafficForm form, const uint8_t* bytes, size_t count);
  void report_note(const std::string& text);  // a line of its own in the hex traffic list and the log
  void report_step_result(int step, const char* text);
  void report_progress(const TransferProgressEvent& progress);
  void report_port_state(PortState state, const std::string& text);
  // A link event (frame written, answer validated, transfer ended) for the
  // sequence: counted as pending until link_event_handled, so that idle()
  // does not answer true while the next step is still to be decided.
  bool report_link_event(uint32_t status, LinkEventKind kind);
  void link_event_handled();
  void clear_pending_events();
  int32_t pending_events() const { return events_pending_.load(); }

  // True when nothing is under way: no command word set, no thread serving
  // one, no link event waiting for the dialog.
  bool idle() const;

  // Fills step `step` (1-4) with a raw frame and its encoded form under
  // tx_frame_lock, lengths included; counts are cut to the buffers.
  void store_tx_frame(int step, const uint8_t* raw, int raw_len, const uint8_t* enc, int enc_len);
  // Encodes raw and stores both forms in step `step`.
  void store_tx_frame(int step, const uint8_t* raw, int raw_len);
  // A consistent copy of one step, as the send thread takes it.
  void load_tx_frame(int step, TxFrameCopy& copy);

  // Every shared word back to its start value (the port dialog's
  // initialisation). Not while the threads serve a command.
  void reset();

 private:
  std::vector<SessionObserver*> observers_;
  std::atomic<int32_t> events_pending_{0};
  std::mutex wake_lock_;
  std::condition_variable wake_;
  uint64_t wake_count_ = 0;  // under wake_lock_: a wake-up between a check and the wait is not lost
};

}  // namespace tessaril::link
