// The backend's HTTP client: one GET, bounded in time and size. libxml2's own
// client waits up to a minute for each packet and has no total bound, so a
// server that trickles bytes could hold a load forever.
#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>

namespace tarnweld::xml {

// The outcome of a GET.
struct HttpAnswer {
  std::optional<std::string> body;  // present for a 2xx answer received whole
  int status = 0;                   // the final status; 0 when none arrived
  std::string failure;              // why there is no body, UTF-8
};

// Fetches `uri` (http: only), following up to five redirects, and gives up
// once `deadline` has passed (from connecting to the last byte) or the body
// would exceed `maxBytes`. Host names are resolved before the clock applies.
HttpAnswer httpGet(const std::string& uri, std::chrono::steady_clock::duration deadline, std::size_t maxBytes);

}  // namespace tarnweld::xml
