#include "tests/support/xvfb.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>

namespace vantor_test {

bool PrivateXvfb::Start(int width, int height) {
  Stop();
  int fds[2];
  if (pipe(fds) != 0) return false;
  const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
  const std::string fdText = std::to_string(fds[1]);
  pid_ = fork();
  if (pid_ < 0) return false;
  if (pid_ == 0) {
    close(fds[0]);
    int devnull = open("/dev/null", O_RDWR);
    if (devnull >= 0) {
      dup2(devnull, 1);
      dup2(devnull, 2);
    }
    execlp("Xvfb", "Xvfb", "-displayfd", fdText.c_str(), "-screen", "0", screen.c_str(), "-nolisten",
           "tcp", "-noreset", "+extension", "GLX", "-fp", "built-ins", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(fds[1]);
  std::string number;
  pollfd p{fds[0], POLLIN, 0};
  while (poll(&p, 1, 10000) > 0) {
    char c;
    if (read(fds[0], &c, 1) != 1 || c == '\n') break;
    number.push_back(c);
  }
  close(fds[0]);
  if (number.empty()) {
    Stop();
    return false;
  }
  const char* old = std::getenv("DISPLAY");
  hadDisplay_ = old != nullptr;
  if (old) previousDisplay_ = old;
  display_ = ":" + number;
  setenv("DISPLAY", display_.c_str(), 1);
  return true;
}

void PrivateXvfb::Stop() {
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    int status;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    if (hadDisplay_) setenv("DISPLAY", previousDisplay_.c_str(), 1);
    else unsetenv("DISPLAY");
  }
  display_.clear();
}

PrivateXvfb& SharedXvfb(int width, int height) {
  static std::unique_ptr<PrivateXvfb> server;
  if (!server) {
    server = std::make_unique<PrivateXvfb>();
    server->Start(width, height);
  }
  return *server;
}

}  // namespace vantor_test
