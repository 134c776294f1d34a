// The backend's HTTP client: one GET over http or https, bounded in time and
// size, on libcurl. libcurl is loaded on the first read of a URL, so a run
// that reads none (almost all of them) never loads it or what it pulls in.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>

#include "core/result.h"

namespace tarnweld::xml {

// The body of a 2xx answer to a GET of `uri` (http: or https:), following up
// to five redirects to http: or https: only. It fails once `deadline` has
// passed, counted from the call (name resolution included), or when the body
// would exceed `maxBytes`; a 404 or 410 answer is kNotFound. The reason is a
// short UTF-8 text for a report.
Result<std::string> httpGet(const std::string& uri, std::chrono::steady_clock::duration deadline, std::size_t maxBytes);

// For the tests only, which serve https with a certificate they make: the
// certificate authorities https is checked against, in place of the
// system's. Nothing in the plug-in calls it, so no user can change them.
void useCertificateAuthoritiesForTests(const std::string& pemFile);

}  // namespace tarnweld::xml
