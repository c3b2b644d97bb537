#include "tests/support/process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace vantor_test {
namespace fs = std::filesystem;

namespace {
std::string MakeTempDir() {
  std::string pattern = (fs::temp_directory_path() / "vantor-test-XXXXXX").string();
  if (!mkdtemp(pattern.data())) return {};
  return pattern;
}

void SleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

}  // namespace

WorkDir WorkDir::Empty() { return WorkDir(MakeTempDir()); }

WorkDir WorkDir::CopyOf(const std::string& tree) {
  WorkDir dir(MakeTempDir());
  std::error_code ec;
  if (!dir.path_.empty() && fs::is_directory(tree, ec))
    fs::copy(tree, dir.path_, fs::copy_options::recursive | fs::copy_options::copy_symlinks, ec);
  return dir;
}

WorkDir WorkDir::CopyOfStage() {
  WorkDir dir = CopyOf(VANTOR_STAGE_DIR);
  // A run by hand in the stage leaves its log there; a test must start from none.
  std::error_code ec;
  if (!dir.path_.empty()) fs::remove(dir.File("debug.log"), ec);
  return dir;
}

WorkDir::~WorkDir() {
  if (path_.empty() || std::getenv("VANTOR_KEEP_WORKDIR")) return;
  std::error_code ec;
  fs::remove_all(path_, ec);
}

std::string ProgramPath(const std::string& name) {
  // The show's programs first: a file of the same name in the build's top folder
  // can be one an older layout of the build left there.
  const std::string staged = std::string(VANTOR_STAGE_DIR) + "/" + name;
  if (fs::exists(staged)) return staged;
  return std::string(VANTOR_BINARY_DIR) + "/" + name;
}

Program::~Program() {
  if (pid_ > 0 && !reaped_) {
    KillGroup();
    waitpid(pid_, &rawStatus_, 0);
  }
  std::error_code ec;
  if (!outPath_.empty()) fs::remove(outPath_, ec);
  if (!errPath_.empty()) fs::remove(errPath_, ec);
}

bool Program::Start(const RunOptions& options) {
  char outName[] = "/tmp/vantor-out-XXXXXX";
  char errName[] = "/tmp/vantor-err-XXXXXX";
  const int out = mkstemp(outName);
  const int err = mkstemp(errName);
  if (out < 0 || err < 0) return false;
  outPath_ = outName;
  errPath_ = errName;

  std::vector<std::string> argvText = {options.program};
  argvText.insert(argvText.end(), options.args.begin(), options.args.end());
  std::vector<char*> argv;
  for (std::string& a : argvText) argv.push_back(a.data());
  argv.push_back(nullptr);

  pid_ = fork();
  if (pid_ < 0) return false;
  if (pid_ == 0) {
    setpgid(0, 0);
    dup2(out, 1);
    dup2(err, 2);
    const int in = open("/dev/null", O_RDONLY);
    if (in >= 0) dup2(in, 0);
    if (!options.workDir.empty() && chdir(options.workDir.c_str()) != 0) _exit(126);
    for (const auto& [name, value] : options.env) setenv(name.c_str(), value.c_str(), 1);
    execv(argv[0], argv.data());
    _exit(127);
  }
  setpgid(pid_, pid_);  // also from here, so the group exists before any kill
  close(out);
  close(err);
  reaped_ = false;
  return true;
}

bool Program::Running() {
  if (pid_ <= 0 || reaped_) return false;
  if (waitpid(pid_, &rawStatus_, WNOHANG) == pid_) {
    reaped_ = true;
    return false;
  }
  return true;
}

bool Program::Ended(int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (Running()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    SleepMs(10);
  }
  return true;
}

void Program::KillGroup() {
  if (pid_ > 0) kill(-pid_, SIGKILL);
}

void Program::Signal(int signal) {
  if (pid_ > 0 && !reaped_) kill(pid_, signal);
}

std::string Program::Stdout() const { return ReadText(outPath_); }
std::string Program::Stderr() const { return ReadText(errPath_); }

int Program::CountInStderr(const std::string& text) const {
  const std::string err = Stderr();
  int n = 0;
  for (size_t at = err.find(text); at != std::string::npos; at = err.find(text, at + 1)) ++n;
  return n;
}

bool Program::WaitForStderr(const std::string& text, int count, int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  do {
    if (CountInStderr(text) >= count) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  } while (std::chrono::steady_clock::now() < deadline && Running());
  return false;
}

ProgramResult Program::Wait(int timeoutMs) {
  ProgramResult result;
  if (pid_ <= 0) return result;
  result.started = true;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (Running()) {
    if (std::chrono::steady_clock::now() >= deadline) {
      result.timedOut = true;
      KillGroup();
      waitpid(pid_, &rawStatus_, 0);
      reaped_ = true;
      break;
    }
    SleepMs(10);
  }
  // Whatever the program left behind in its group (a message box) goes too.
  kill(-pid_, SIGKILL);
  if (!result.timedOut && WIFEXITED(rawStatus_)) {
    result.exited = true;
    result.status = WEXITSTATUS(rawStatus_);
  } else if (WIFSIGNALED(rawStatus_)) {
    result.signal = WTERMSIG(rawStatus_);
  }
  result.stdoutText = Stdout();
  result.stderrText = Stderr();
  return result;
}

ProgramResult RunProgram(const RunOptions& options, int timeoutMs) {
  Program program;
  if (!program.Start(options)) return {};
  return program.Wait(timeoutMs);
}

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

bool WaitForFileText(const std::string& path, const std::string& text, int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    if (ReadText(path).find(text) != std::string::npos) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    SleepMs(50);
  }
}

bool FeedPipe(const std::string& path, const std::vector<uint8_t>& bytes) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK);  // fails while nobody reads
  if (fd < 0) return false;
  ::fcntl(fd, F_SETFL, 0);
  size_t at = 0;
  while (at < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + at, bytes.size() - at);
    if (n <= 0) break;
    at += static_cast<size_t>(n);
  }
  ::close(fd);
  return at == bytes.size();
}

int Shell(const std::string& commandLine, std::string* output) {
  FILE* pipe = popen((commandLine + " 2>/dev/null").c_str(), "r");
  if (!pipe) return -1;
  std::string text;
  char buffer[256];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) text.append(buffer, n);
  const int status = pclose(pipe);
  if (output) *output = text;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::vector<pid_t> ProcessesWorkingIn(const std::string& dir) {
  std::vector<pid_t> found;
  std::error_code ec;
  const fs::path wanted = fs::canonical(dir, ec);
  if (ec) return found;
  for (const auto& entry : fs::directory_iterator("/proc", ec)) {
    const std::string name = entry.path().filename().string();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    const pid_t pid = static_cast<pid_t>(std::stol(name));
    std::error_code gone;
    if (pid != getpid() && fs::read_symlink(entry.path() / "cwd", gone) == wanted && !gone) found.push_back(pid);
  }
  return found;
}

}  // namespace vantor_test
