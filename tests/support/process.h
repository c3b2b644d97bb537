#pragma once
// Running the real programs from tests (end-to-end tests, and any test that
// needs a program in a process of its own).
//
//   PrivateXvfb x;                        // tests/support/xvfb.h
//   ASSERT_TRUE(x.Start(1280, 720));      // DISPLAY now names it; children inherit it
//   WorkDir dir = WorkDir::CopyOfStage(); // or WorkDir::Empty(); removed at scope end
//   Program p;
//   ASSERT_TRUE(p.Start({.program = ProgramPath("tessaly"), .workDir = dir.path(),
//                        .env = {{"MESA_GL_VERSION_OVERRIDE", "2.0"}}}));
//   ASSERT_TRUE(WaitForFileText(dir.File("debug.log"), "window open", 30000));
//   std::string id = WaitForWindow("^Tessaly 2011$", 30000);  // tests/support/x_windows.h
//   SendKey("Escape");
//   ProgramResult r = p.Wait(30000);      // r.exited, r.status, r.stderrText
//
// Programs run in a process group of their own with stdout and stderr captured
// to files; a program still running at the end of Wait (or when the Program is
// destroyed) is killed with its whole group (SDL shows message boxes from a
// child process). Set VANTOR_KEEP_WORKDIR=1 to keep work directories for a look
// after the test. Everything here is for the main test thread.
#include <sys/types.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace vantor_test {

// A temporary working directory, removed with everything in it at destruction.
class WorkDir {
 public:
  // An empty directory.
  static WorkDir Empty();
  // A copy of the stage (the build's runnable tree, VANTOR_STAGE_DIR) without
  // the debug.log a run by hand may have left there; empty if there is no stage
  // yet.
  static WorkDir CopyOfStage();
  // A copy of any directory tree.
  static WorkDir CopyOf(const std::string& tree);

  WorkDir(WorkDir&& other) noexcept : path_(std::exchange(other.path_, {})) {}
  WorkDir& operator=(WorkDir&&) = delete;
  WorkDir(const WorkDir&) = delete;
  ~WorkDir();

  const std::string& path() const { return path_; }
  // path() + "/" + relative.
  std::string File(const std::string& relative) const { return path_ + "/" + relative; }

 private:
  explicit WorkDir(std::string path) : path_(std::move(path)) {}
  std::string path_;
};

// The path of a built program: the stage's copy if there is one (the show's
// programs), else VANTOR_BINARY_DIR/<name> (the engine's own).
std::string ProgramPath(const std::string& name);

struct RunOptions {
  std::string program;
  std::vector<std::string> args = {};
  std::string workDir = {};                                // "" keeps the test's own
  std::vector<std::pair<std::string, std::string>> env = {};  // added to the test's environment
};

struct ProgramResult {
  bool started = false;
  bool exited = false;     // ended by itself with a status
  int status = -1;         // exit status when exited
  int signal = 0;          // the signal that ended it, if one did
  bool timedOut = false;   // still running at the deadline (then killed)
  std::string stdoutText;
  std::string stderrText;
};

class Program {
 public:
  Program() = default;
  ~Program();
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  bool Start(const RunOptions& options);
  bool Running();
  // True once the program has ended, polling up to timeoutMs; never kills.
  bool Ended(int timeoutMs);
  // Waits for the end; at the deadline kills the group and reports timedOut.
  ProgramResult Wait(int timeoutMs);
  // Sends a signal to the program itself.
  void Signal(int signal);
  pid_t pid() const { return pid_; }
  // What the program wrote so far.
  std::string Stdout() const;
  std::string Stderr() const;
  // How many times standard error holds `text` so far.
  int CountInStderr(const std::string& text) const;
  // Waits until standard error holds `text` `count` times; false at the
  // deadline or once the program has ended without it.
  bool WaitForStderr(const std::string& text, int count, int timeoutMs);

 private:
  void KillGroup();
  pid_t pid_ = -1;
  bool reaped_ = false;
  int rawStatus_ = 0;
  std::string outPath_, errPath_;
};

// Starts, waits and collects in one call.
ProgramResult RunProgram(const RunOptions& options, int timeoutMs);

// Whole file ("" when missing).
std::string ReadText(const std::string& path);
// Polls until the file contains `text`; false at the deadline.
bool WaitForFileText(const std::string& path, const std::string& text, int timeoutMs);

// Writes `bytes` whole into the named pipe at `path` when a reader has it open
// (a program held at that file); false at once when nobody reads it yet.
bool FeedPipe(const std::string& path, const std::vector<uint8_t>& bytes);

// Processes whose working directory is `dir` (a program started there and
// whatever it started); this test process is never among them.
std::vector<pid_t> ProcessesWorkingIn(const std::string& dir);

// Runs a shell command line; its exit status (-1 if it could not run).
int Shell(const std::string& commandLine, std::string* output = nullptr);

}  // namespace vantor_test
