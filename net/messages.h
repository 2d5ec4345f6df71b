// The fixed (unregistered) messages of the network layer. They travel through
// the notifier of platform/notifier.h: to a given receiver or to every
// broadcast receiver of the process.
#pragma once

#include <cstdint>

#include "platform/notifier.h"

namespace wrenly {

// wParam: one of the kConnection* values below; lParam 0.
constexpr MessageId WM_NETCONNECTION_STATE = 0x0806;
// wParam: bytes received so far, kProgressFailed on failure; lParam 0 while
// running, 1 when the transfer has ended.
constexpr MessageId WM_DOWNLOAD_PROGRESS = 0x08B1;
// Asks a process without a running transfer (a fetcher) to abort; 0, 0.
constexpr MessageId WM_DOWNLOAD_ABORT = 0x08B2;

constexpr std::uint64_t kProgressFailed = 0xFFFFFFFFu;

constexpr std::uint64_t kConnectionUp = 0x10;
constexpr std::uint64_t kConnectionReleased = 0x20;
constexpr std::uint64_t kConnectionNoFastPath = 0x24;
constexpr std::uint64_t kConnectionUnusable = 0x29;

}  // namespace wrenly
