#pragma once
// A blocking call that must not outlive a limit the library it calls may ignore: wine applies
// none of WinINet's time-outs to a TLS handshake, so a server that accepts and never answers
// would hold a request, and the window's shutdown that joins it, for ever.
#include <chrono>
#include <cstddef>
#include <functional>
#include <string>

// Runs `work` on a thread of its own and returns what it returns or rethrows what it throws.
// Until `work` calls the `settled` function it is given, the wait is bounded by `limit`; past
// it std::runtime_error(limit_error) is raised and the thread is left to end alone, so `work`
// must own everything it touches. After `settled` the wait has no bound.
std::string call_with_time_limit(std::function<std::string(const std::function<void()>& settled)> work,
                                 std::chrono::milliseconds limit, const std::string& limit_error);

// Joins the threads of abandoned calls whose work has since ended (each new abandonment does
// too); returns how many are still running.
std::size_t join_ended_abandoned_calls();
