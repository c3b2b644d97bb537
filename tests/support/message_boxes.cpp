#include "tests/support/message_boxes.h"

#include <chrono>
#include <thread>
#include <vector>

#include "tests/support/x_windows.h"

namespace vantor_test {

std::string FindBox(const std::string& caption) {
  const std::vector<std::string> ids = FindWindowsNamed(caption);
  return ids.empty() ? std::string() : ids.back();
}

std::string BoxOwnerName(const std::string& boxId) {
  const std::string owner = TransientOwner(boxId);
  return owner.empty() ? std::string() : WindowName(owner);
}

bool AnswerBox(const std::string& boxId, const std::string& key, int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    if (!boxId.empty() && FocusWindow() == boxId) return SendKey(key);
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
}

}  // namespace vantor_test
