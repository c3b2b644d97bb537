#include "tests/support/message_boxes.h"

#include <chrono>
#include <cstdlib>
#include <sstream>
#include <thread>

#include "tests/support/process.h"
#include "tests/support/x_windows.h"

namespace vantor_test {

std::string FindBox(const std::string& caption) {
  std::string tree;
  Shell("xwininfo -root -tree", &tree);
  std::istringstream lines(tree);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.find("\"" + caption + "\":") == std::string::npos) continue;
    std::istringstream words(line);
    std::string id;
    words >> id;
    if (id.rfind("0x", 0) == 0) return id;
  }
  return {};
}

std::string BoxOwnerName(const std::string& boxId) {
  std::string text;
  Shell("xprop -id " + boxId + " WM_TRANSIENT_FOR", &text);
  const size_t mark = text.find("window id # ");
  if (mark == std::string::npos) return {};
  std::istringstream words(text.substr(mark + 12));
  std::string owner;
  words >> owner;
  // "xwininfo: Window id: 0x200011 "Tessaly 2011""
  Shell("xwininfo -id " + owner, &text);
  const size_t open = text.find('"');
  const size_t close = open == std::string::npos ? open : text.find('"', open + 1);
  return close == std::string::npos ? std::string() : text.substr(open + 1, close - open - 1);
}

bool AnswerBox(const std::string& boxId, const std::string& key, int timeoutMs) {
  const unsigned long want = std::strtoul(boxId.c_str(), nullptr, 0);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    std::string focus;
    Shell("xdotool getwindowfocus", &focus);
    if (want != 0 && std::strtoul(focus.c_str(), nullptr, 0) == want) return SendKey(key);
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
}

}  // namespace vantor_test
