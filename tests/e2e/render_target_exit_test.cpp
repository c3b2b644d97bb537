// A driver without GL_EXT_framebuffer_object: the first render target shows the
// "Error" box and the program ends with status 99. The extension is removed with
// MESA_EXTENSION_OVERRIDE, which Mesa reads when the first context is made, so the
// check runs in a program of its own (tests/probes/render_target_probe.cpp).
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>

#include "tests/support/message_boxes.h"
#include "tests/support/xvfb.h"

namespace fs = std::filesystem;

namespace {

const char kProbe[] = VANTOR_BINARY_DIR "/tests/render_target_probe";
const char kMessage[] = "GL_EXT_framebuffer_object NOT supported . Upgrade your gfx motha fucka";

struct ProbeRun {
  int status = -1;  // exit status, or -1 when killed
  std::string out, err;
};

std::string Slurp(const fs::path& p) {
  std::ifstream in(p);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// Runs the probe in its own process group under the private X server. `whileRunning`
// is called about every 100 ms until the probe ends or 30 s have passed (then the
// whole group, the message box's process included, is killed).
ProbeRun RunProbe(const std::vector<std::string>& args, bool removeFramebufferExtension,
             const std::function<void(pid_t)>& whileRunning = {}) {
  const fs::path dir = fs::temp_directory_path() / ("vantor_probe_" + std::to_string(getpid()));
  fs::create_directories(dir);
  const std::string outPath = (dir / "out").string(), errPath = (dir / "err").string();
  const pid_t pid = fork();
  if (pid == 0) {
    setpgid(0, 0);
    if (!freopen(outPath.c_str(), "w", stdout) || !freopen(errPath.c_str(), "w", stderr)) _exit(126);
    if (removeFramebufferExtension) setenv("MESA_EXTENSION_OVERRIDE", "-GL_EXT_framebuffer_object", 1);
    std::vector<char*> argv{const_cast<char*>(kProbe)};
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(kProbe, argv.data());
    _exit(127);
  }
  ProbeRun run;
  int status = 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (waitpid(pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      kill(-pid, SIGKILL);
      waitpid(pid, &status, 0);
      break;
    }
    if (whileRunning) whileRunning(pid);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  if (WIFEXITED(status)) run.status = WEXITSTATUS(status);
  run.out = Slurp(outPath);
  run.err = Slurp(errPath);
  fs::remove_all(dir);
  return run;
}

class RenderTargetExit : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(fs::exists(kProbe)) << kProbe;
    ASSERT_FALSE(vantor_test::SharedXvfb().display().empty()) << "no private Xvfb";
  }
};

}  // namespace

TEST_F(RenderTargetExit, WithTheExtensionTheTargetIsMade) {
  const ProbeRun run = RunProbe({"handler"}, false);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("created"), std::string::npos);
  EXPECT_EQ(run.out.find("box"), std::string::npos);
}

TEST_F(RenderTargetExit, WithoutItTheMessageIsShownAndTheStatusIs99) {
  const ProbeRun run = RunProbe({"handler"}, true);
  EXPECT_EQ(run.status, 99) << run.out << run.err;
  EXPECT_NE(run.out.find(std::string("box caption=[Error] text=[") + kMessage + "] style=0"), std::string::npos)
      << run.out;
  EXPECT_EQ(run.out.find("created"), std::string::npos);
  EXPECT_NE(run.err.find("GL_EXT_framebuffer_object"), std::string::npos) << run.err;
}

TEST_F(RenderTargetExit, TheRealBoxWaitsForTheViewerThenTheStatusIs99) {
  bool seen = false, answered = false;
  const ProbeRun run = RunProbe({}, true, [&](pid_t) {
    if (answered) return;
    const std::string id = vantor_test::FindBox("Error");
    if (id.empty()) return;
    seen = true;  // the probe is still running: it waits for the viewer
    answered = vantor_test::AnswerBox(id, "Return");
  });
  EXPECT_TRUE(seen) << "no window named \"Error\" appeared";
  EXPECT_TRUE(answered) << "the box never took the keyboard focus";
  EXPECT_EQ(run.status, 99) << run.out << run.err;
  EXPECT_EQ(run.out.find("created"), std::string::npos);
  EXPECT_NE(run.err.find(std::string("Error: ") + kMessage + "\n"), std::string::npos) << run.err;
}
