// What link_threads.cpp shares with the two thread bodies. Not for use
// outside src/link.
#pragma once

#include <atomic>
#include <cstdint>

#include "link/link_threads.h"

namespace tessaril::link::detail {

inline std::atomic<bool> tx_running{false};
inline std::atomic<bool> rx_running{false};
inline std::atomic<bool> tx_busy{false};
inline std::atomic<bool> rx_busy{false};
inline std::atomic<int32_t> epoch{0};
inline std::atomic<KermitRunner> kermit_send_runner{nullptr};
inline std::atomic<KermitRunner> kermit_receive_runner{nullptr};

void send_thread_body();
void receive_thread_body();

}  // namespace tessaril::link::detail
