// What a session tells its observers.
//
// How it works: the session calls every subscribed observer, in the order
// of subscription, on the thread where the thing happened (mostly a link
// thread). An observer returns quickly: the link thread waits for it, and
// the pauses the device relies on are counted from its return. Texts are
// CP932 byte strings, as everywhere in the system.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/clock.h"

namespace tessaril::link {

enum class TrafficDirection : uint8_t { Sent, Received };

// How a traffic record shows: every byte in hex (the hex traffic list), the
// frame's data field as characters (the text traffic list), or a note of
// the host's own in the hex list (a port that could not be opened).
enum class TrafficForm : uint8_t { Hex, DataField, Note };

struct TrafficRecord {
  TrafficDirection direction;
  TrafficForm form;
  std::vector<uint8_t> bytes;  // as written or read; empty for a note
  platform::LocalTime time;    // when the host wrote or read them
  std::string text;            // the line without its time stamp ("Snd: 01 00 ...")
};

// The events that drive the command sequence (what message 1034 carries).
enum class LinkEventKind : intptr_t {
  FrameWritten = 1,    // status 0x100001, or a short-write status
  KermitSent = 2,      // status: the send's ending
  AnswerValidated = 3, // status: byte 0 of the answer
  KermitReceived = 4,  // status: the receive's ending
};

// A transfer's progress (transfer_progress.h): Begin when it starts (nothing
// to show yet), Update at most four times a second while the figure changes,
// Stopping once it takes a quit request, End once (the caption goes back).
enum class ProgressPhase : uint8_t { Begin, Update, Stopping, End };

struct TransferProgressEvent {
  ProgressPhase phase;
  bool sending;
  std::string name;
  int64_t bytes;
  int64_t size;
};

enum class PortState : uint8_t { Opened, OpenFailed, Closed };

class SessionObserver {
 public:
  virtual ~SessionObserver() = default;
  virtual void on_traffic(const TrafficRecord&) {}
  // The text for the result field of step 1-4.
  virtual void on_step_result(int /*step*/, const char* /*text*/) {}
  // True when the observer took the event and will hand it back with
  // Session::link_event_handled once the next step has been decided.
  virtual bool on_link_event(uint32_t /*status*/, LinkEventKind /*kind*/) { return false; }
  virtual void on_transfer_progress(const TransferProgressEvent&) {}
  virtual void on_port_state(PortState /*state*/, const std::string& /*text*/) {}
};

}  // namespace tessaril::link
