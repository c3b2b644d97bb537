// Peak resident memory of a full run of the production (the real tessaly from a
// temporary copy of the stage under a private Xvfb, 47 s of show) against the
// decoded size of everything it loads:
//   pictures - width x height x 4 after the texture size rule of their path
//              (PNG: next power of two; others: nearest power of two),
//   tunes    - the PCM of both MP3s as libmpg123 decodes them (16-bit stereo),
//   models   - the vertex data of the three 3DS models (positions, normals,
//              mapping coordinates, face indices).
// The peak is the child's VmHWM (a high-water mark), sampled every 100 ms while it
// runs. Prints the ratio, and for scale what a
// bare SDL program with the same 4-sample window holds, before and after it has
// uploaded the same pictures as plain textures (the GL driver keeps its own copy
// of every texture in this process's memory).
#include <SDL.h>
#include <benchmark/benchmark.h>
#include <epoxy/gl.h>
#include <mpg123.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "bench/bare_window.h"
#include "resources/texture_images.h"
#include "scenedata/model_3ds.h"
#include "tests/support/process.h"
#include "tests/support/xvfb.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

vantor_test::WorkDir* g_dir = nullptr;

struct AssetSizes {
  double pictures = 0, pcm = 0, pcmAsHeld = 0, models = 0;
  int pictureCount = 0, tuneCount = 0, modelCount = 0;
  double Total() const { return pictures + pcm + models; }
};

size_t Mp3PcmBytes(const std::string& bytes) {
  mpg123_handle* mh = mpg123_new(nullptr, nullptr);
  if (!mh) return 0;
  mpg123_param(mh, MPG123_FLAGS, MPG123_QUIET, 0);
  mpg123_open_feed(mh);
  mpg123_feed(mh, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
  std::vector<unsigned char> buffer(1 << 16);
  size_t total = 0;
  for (;;) {
    size_t done = 0;
    const int r = mpg123_read(mh, buffer.data(), buffer.size(), &done);
    total += done;
    if (r == MPG123_NEW_FORMAT || (r == MPG123_OK && done > 0)) continue;
    break;
  }
  mpg123_delete(mh);
  return total;
}

AssetSizes MeasureAssets(const std::string& root) {
  AssetSizes s;
  mpg123_init();
  for (const auto& entry : fs::recursive_directory_iterator(root + "/data")) {
    if (!entry.is_regular_file()) continue;
    const std::string ext = entry.path().extension().string();
    const std::string bytes = vantor_test::ReadText(entry.path().string());
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
    if (ext == ".png" || ext == ".jpg") {
      const auto image = ext == ".png" ? VantorGL::PreparePngTexture(data, bytes.size(), 16384)
                                       : VantorGL::PreparePictureTexture(data, bytes.size(), 16384);
      if (image) s.pictures += 4.0 * image->width * image->height, ++s.pictureCount;
    } else if (ext == ".mp3") {
      const size_t pcm = Mp3PcmBytes(bytes);
      s.pcm += static_cast<double>(pcm);
      // The program holds its tunes (at the mixing rate, 44100 Hz) as their MP3
      // bytes and decodes them as they play.
      s.pcmAsHeld += static_cast<double>(bytes.size());
      ++s.tuneCount;
    } else if (ext == ".3ds") {
      VantorGL::c3DsModelSystem model;
      model.LoadFromBytes(data, bytes.size());
      for (const VantorGL::Mesh3Ds& m : model.meshes)
        s.models += 4.0 * static_cast<double>(m.vertices.size() + m.normals.size() + m.texCoords.size()) +
                    2.0 * static_cast<double>(m.faces.size());
      ++s.modelCount;
    }
  }
  mpg123_exit();
  return s;
}

// VmHWM of `pid` in bytes, 0 when it cannot be read.
double PeakResident(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmHWM:", 0) == 0) return std::stod(line.substr(6)) * 1024.0;
  return 0;
}

// The bare program, in a child process on the same X server: VmHWM (bytes) after
// its window and context, then after the pictures are textures.
void BareProgram(const std::string& root, int results) {
  SDL_Window* window = nullptr;
  SDL_GLContext context = nullptr;
  vantor_bench::OpenBareWindow("bare", 1280, 720, window, context);
  double peaks[2] = {0, 0};
  if (context) {
    for (int i = 0; i < 3; ++i) {
      glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
      SDL_GL_SwapWindow(window);
    }
    glFinish();
    peaks[0] = PeakResident(getpid());
    for (const auto& entry : fs::recursive_directory_iterator(root + "/data")) {
      const std::string ext = entry.path().extension().string();
      if (ext != ".png" && ext != ".jpg") continue;
      const std::string bytes = vantor_test::ReadText(entry.path().string());
      const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
      const auto image = ext == ".png" ? VantorGL::PreparePngTexture(data, bytes.size(), 16384)
                                       : VantorGL::PreparePictureTexture(data, bytes.size(), 16384);
      if (!image) continue;
      GLuint name = 0;
      glGenTextures(1, &name);
      glBindTexture(GL_TEXTURE_2D, name);
      const GLenum format = image->channels == 3 ? GL_RGB : GL_RGBA;
      glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
      glTexImage2D(GL_TEXTURE_2D, 0, static_cast<GLint>(format), image->width, image->height, 0, format,
                   GL_UNSIGNED_BYTE, image->pixels.data());
    }
    glFinish();
    peaks[1] = PeakResident(getpid());
    SDL_GL_DeleteContext(context);
  }
  if (window) SDL_DestroyWindow(window);
  SDL_Quit();
  if (write(results, peaks, sizeof peaks) != sizeof peaks) _exit(1);
  _exit(0);
}

double g_barePeaks[2] = {0, 0};

double g_peak = 0, g_peakAtFirstFrame = 0;
AssetSizes g_assets;

void BM_FullRunPeakMemory(benchmark::State& state) {
  for (auto _ : state) {
    vantor_test::Program program;
    const auto start = Clock::now();
    if (!program.Start({.program = vantor_test::ProgramPath("tessaly"), .workDir = g_dir->path()})) {
      state.SkipWithError("tessaly did not start");
      return;
    }
    const std::string log = g_dir->File("debug.log");
    double peak = 0;
    bool firstFrame = false;
    while (program.Running() && Clock::now() - start < std::chrono::minutes(5)) {
      peak = std::max(peak, PeakResident(program.pid()));
      if (!firstFrame && vantor_test::ReadText(log).find("frame loop started") != std::string::npos) {
        firstFrame = true;
        g_peakAtFirstFrame = PeakResident(program.pid());
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    const vantor_test::ProgramResult result = program.Wait(1000);
    if (!result.exited || result.status != 0) {
      state.SkipWithError(("the run did not end with status 0: " + result.stderrText).c_str());
      return;
    }
    g_peak = peak;
    state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
  }
  state.counters["peak_MB"] = g_peak / (1 << 20);
  state.counters["assets_MB"] = g_assets.Total() / (1 << 20);
  state.counters["ratio"] = g_assets.Total() > 0 ? g_peak / g_assets.Total() : 0;
}

BENCHMARK(BM_FullRunPeakMemory)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

}  // namespace

int main(int argc, char** argv) {
  vantor_test::PrivateXvfb xvfb;
  if (!xvfb.Start(1280, 720)) {
    std::fprintf(stderr, "bench_memory: could not start Xvfb\n");
    return 1;
  }
  vantor_test::WorkDir dir = vantor_test::WorkDir::CopyOfStage();
  if (!fs::exists(dir.File("data/default.qelProperty"))) {
    std::fprintf(stderr, "bench_memory: no stage at %s (build the tessaly and content targets)\n", VANTOR_STAGE_DIR);
    return 1;
  }
  g_dir = &dir;
  g_assets = MeasureAssets(dir.path());
  {
    int fds[2];
    if (pipe(fds) != 0) return 1;
    const pid_t child = fork();
    if (child == 0) {
      close(fds[0]);
      BareProgram(dir.path(), fds[1]);
    }
    close(fds[1]);
    if (read(fds[0], g_barePeaks, sizeof g_barePeaks) != sizeof g_barePeaks) g_barePeaks[0] = g_barePeaks[1] = 0;
    close(fds[0]);
    waitpid(child, nullptr, 0);
  }

  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();

  const double mb = 1 << 20;
  std::printf("decoded assets: %.1f MB (%d pictures %.1f MB, %d tunes %.1f MB as 16-bit PCM [%.1f MB of MP3 "
              "as the program holds them], %d models %.1f MB)\n",
              g_assets.Total() / mb, g_assets.pictureCount, g_assets.pictures / mb, g_assets.tuneCount,
              g_assets.pcm / mb, g_assets.pcmAsHeld / mb, g_assets.modelCount, g_assets.models / mb);
  std::printf("peak resident: %.1f MB at the first frame, %.1f MB over the whole run\n", g_peakAtFirstFrame / mb,
              g_peak / mb);
  std::printf("bare SDL program, same window: %.1f MB; with the same pictures as textures: %.1f MB\n",
              g_barePeaks[0] / mb, g_barePeaks[1] / mb);
  if (g_barePeaks[1] > 0 && g_peak > 0)
    std::printf("peak resident / bare program with the same textures: %.3f (goal: at most 1.1)\n",
                g_peak / g_barePeaks[1]);
  if (g_assets.Total() > 0 && g_peak > 0)
    std::printf("peak resident / decoded assets: %.3f\n", g_peak / g_assets.Total());
  return 0;
}
