#pragma once

#include "Platform/runloop/Clock.h"

#include <cstddef>

namespace orvaneh {

// The most of one server answer (web-service answer, directory listing, downloaded catalogue)
// the system holds: a server that never stops sending must not exhaust memory or disk.
inline constexpr std::size_t kMaxAnswerBytes = std::size_t(64) << 20;

// The longest a fetch (web-service question, listing, catalogue download) may take in all: a
// server trickling a byte now and then never trips the stall limit.
inline constexpr Seconds kFetchTimeLimit{300};

} // namespace orvaneh
