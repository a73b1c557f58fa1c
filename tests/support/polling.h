// Waiting on another thread's or process's work by polling, with a bound
// generous enough for a loaded machine instead of a fixed sleep. The one
// poll-until of the tests and of the tools that watch the program
// (tools/screen.h).
#pragma once

#include <chrono>
#include <thread>

// Polls ready() every 2 ms until it holds; false once give_up has passed and
// a last look still fails.
template <typename Ready>
bool PollUntil(std::chrono::steady_clock::time_point give_up, Ready ready) {
  while (std::chrono::steady_clock::now() < give_up) {
    if (ready()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return ready();
}

template <typename Ready>
bool Eventually(Ready ready, std::chrono::steady_clock::duration limit = std::chrono::seconds(10)) {
  return PollUntil(std::chrono::steady_clock::now() + limit, ready);
}
