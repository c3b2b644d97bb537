// The 3DS loader on a generated model of 65,535 vertices and 65,535 faces (with
// mapping coordinates, one material and one face group), file to model, against
// lib3ds_file_load reading the same file in the same run. Reports MB/s and the
// ratio of our time to lib3ds's (goal: at most 1.0).
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "scenedata/model_3ds.h"
#include "shell/debug_system.h"
#include "tests/support/chunk3ds.h"

#ifdef HAVE_LIB3DS
#include <lib3ds/file.h>
#include <lib3ds/mesh.h>
#endif

using namespace VantorGL;
namespace fs = std::filesystem;

namespace {

constexpr int kCount = 65535;

// A wavy grid 255 vertices wide; the faces are its first 65,535 triangles.
std::vector<uint8_t> MakeModel() {
  using namespace vantor_test;
  constexpr int kWidth = 255;
  Chunk3ds vertices(0x4110);
  Chunk3ds mapping(0x4140);
  vertices.U16(kCount);
  mapping.U16(kCount);
  for (int i = 0; i < kCount; ++i) {
    const float x = float(i % kWidth), y = float(i / kWidth);
    vertices.F32(x).F32(y).F32(float((i * 7919) % 97) * 0.01f);
    mapping.F32(x / kWidth).F32(y / 257.0f);
  }
  Chunk3ds faces(0x4120);
  faces.U16(kCount);
  for (int f = 0; f < kCount; ++f) {
    const int cell = f / 2, row = cell / (kWidth - 1), col = cell % (kWidth - 1);
    const int a = row * kWidth + col, b = a + 1, c = a + kWidth, d = c + 1;
    if (f % 2 == 0) faces.U16(uint16_t(a)).U16(uint16_t(b)).U16(uint16_t(d)).U16(7);
    else faces.U16(uint16_t(a)).U16(uint16_t(d)).U16(uint16_t(c)).U16(7);
  }
  Chunk3ds group(0x4130);
  group.Name("Surface").U16(kCount);
  for (int f = 0; f < kCount; ++f) group.U16(uint16_t(f));
  faces.Add(group);
  Chunk3ds mesh(0x4100);
  mesh.Add(vertices).Add(mapping).Add(faces);
  Chunk3ds object(0x4000);
  object.Name("Terrain").Add(mesh);
  return File3ds({ByteColorMaterial("Surface", 120, 200, 80), object});
}

struct Input {
  fs::path dir;
  std::string path;
  size_t bytes = 0;
  Input() {
    dir = fs::temp_directory_path() / ("vantor_bench_3ds_" + std::to_string(getpid()));
    fs::create_directories(dir);
    path = (dir / "terrain.3ds").string();
    const std::vector<uint8_t> data = MakeModel();
    bytes = data.size();
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
  }
  ~Input() { fs::remove_all(dir); }
};

Input& GetInput() {
  static Input input;
  return input;
}

void BM_Model3dsLoad(benchmark::State& state) {
  const Input& in = GetInput();
  for (auto _ : state) {
    c3DsModelSystem model;
    model.Load(in.path);
    if (model.meshCount != 1 || model.meshes[0].faceIndexCount != kCount * 3) state.SkipWithError("model not read");
    benchmark::DoNotOptimize(model.meshes.data());
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(in.bytes));
}
BENCHMARK(BM_Model3dsLoad)->Unit(benchmark::kMillisecond);

#ifdef HAVE_LIB3DS
void BM_Lib3dsFileLoad(benchmark::State& state) {
  const Input& in = GetInput();
  for (auto _ : state) {
    Lib3dsFile* file = lib3ds_file_load(in.path.c_str());
    if (!file || !file->meshes || file->meshes->faces != kCount) state.SkipWithError("lib3ds did not read it");
    benchmark::DoNotOptimize(file);
    if (file) lib3ds_file_free(file);
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(in.bytes));
}
BENCHMARK(BM_Lib3dsFileLoad)->Unit(benchmark::kMillisecond);
#endif

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration) continue;
      seconds_[run.benchmark_name()] = run.real_accumulated_time / double(run.iterations);
      const auto bytes = run.counters.find("bytes_per_second");
      if (bytes != run.counters.end()) mbPerSecond_[run.benchmark_name()] = bytes->second / 1e6;
    }
    ConsoleReporter::ReportRuns(runs);
  }
  void PrintRatios() const {
    std::printf("\nfile: %zu bytes, %d vertices, %d faces\n", GetInput().bytes, kCount, kCount);
    for (const auto& [name, mbs] : mbPerSecond_) std::printf("%-20s %8.1f MB/s\n", name.c_str(), mbs);
    const auto ours = seconds_.find("BM_Model3dsLoad");
    const auto theirs = seconds_.find("BM_Lib3dsFileLoad");
    if (ours != seconds_.end() && theirs != seconds_.end() && theirs->second > 0)
      std::printf("our load time / lib3ds_file_load time: %.2f (goal: at most 1.0)\n", ours->second / theirs->second);
  }

 private:
  std::map<std::string, double> seconds_, mbPerSecond_;
};

}  // namespace

int main(int argc, char** argv) {
  cDebugSystem::Instance().enabled = false;
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  GetInput();
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios();
  benchmark::Shutdown();
  return 0;
}
