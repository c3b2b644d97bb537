#pragma once
// A private X server for one test process: Xvfb picks a free display number
// itself (-displayfd), DISPLAY is pointed at it, and it is stopped on Stop() or
// at destruction. Tests never use the developer's own display. The server
// offers only its built-in core fonts, as one on a machine without the xfonts
// packages does, so programs meet the same server on every machine.
#include <string>
#include <sys/types.h>

namespace vantor_test {

class PrivateXvfb {
 public:
  PrivateXvfb() = default;
  ~PrivateXvfb() { Stop(); }
  PrivateXvfb(const PrivateXvfb&) = delete;
  PrivateXvfb& operator=(const PrivateXvfb&) = delete;

  // Starts Xvfb with one screen of width x height x 24 and sets DISPLAY.
  bool Start(int width = 1280, int height = 720);
  void Stop();
  const std::string& display() const { return display_; }

 private:
  pid_t pid_ = -1;
  std::string display_;
  std::string previousDisplay_;
  bool hadDisplay_ = false;
};

// The process-wide server, started on first use and stopped at exit.
PrivateXvfb& SharedXvfb(int width = 1280, int height = 720);

}  // namespace vantor_test
