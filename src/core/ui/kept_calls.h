#pragma once

#include <cstddef>
#include <functional>
#include <utility>
#include <vector>

namespace vm31 {

// The canvas and control calls of a window that is not made yet. A host that starts its main
// window unrealised (hidden in the tray) keeps each such call and makes them all, in order, at
// the first show or at the first query of what they made; after kMost kept calls it makes them
// at once, so a window that is never shown holds a bounded list.
class KeptCalls {
 public:
  static constexpr std::size_t kMost = 4096;

  explicit KeptCalls(bool realised) : realised_(realised) {}

  bool realised() const { return realised_; }

  // Keeps `call` and returns true while unrealised; once realised returns false, and the caller
  // makes the call itself.
  bool keep(std::function<void()> call) {
    if (realised_) return false;
    calls_.push_back(std::move(call));
    if (calls_.size() >= kMost) realise();
    return true;
  }

  // Makes every kept call in order, once. Calls made while they run go straight through.
  void realise() {
    if (realised_) return;
    realised_ = true;
    for (const std::function<void()>& call : std::exchange(calls_, {})) call();
  }

 private:
  bool realised_;
  std::vector<std::function<void()>> calls_;
};

}  // namespace vm31
