// The switches "Send" and "KerTrns Quit" set for the Kermit step of a
// sequence, read by the Kermit transfers that run inside the link threads.
//
// How it works: "Send" writes the three settings before it writes
// `tx_command` (which publishes them); "KerTrns Quit" raises the quit request
// only while a transfer runs, and the transfer's thread clears it. Plain
// 32-bit words, atomic so that the threads read them whole.
#pragma once

#include <atomic>
#include <cstdint>

namespace tessaril::link {

// Consecutive silent packet reads a transfer survives: edit "Kermit_TMO" (ms) / 200.
inline std::atomic<int32_t> kermit_tmo_count{5};
// 1 when "Trns TMO err" was ticked at Send: the transfer stops answering after 5 packets.
inline std::atomic<int32_t> tmo_test_tx{0};
inline std::atomic<int32_t> tmo_test_rx{0};
// 1 asks the running transfer to quit.
inline std::atomic<int32_t> kermit_quit_request{0};

}  // namespace tessaril::link
