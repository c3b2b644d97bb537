// The two text readers on generated input: a 20 MB ASE export (a camera and many
// animated helpers, mostly position and rotation samples) and a 1 MB property file.
// Reports MB/s for each, and the ASE load against Assimp's importer reading the same
// file with no post-processing (when Assimp is available) in the same run.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "properties/property_system.h"
#include "scenedata/ase_loader.h"
#include "shell/debug_system.h"

#ifdef HAVE_ASSIMP
#include <assimp/Importer.hpp>
#include <assimp/scene.h>
#endif

using namespace VantorGL;
namespace fs = std::filesystem;

namespace {

std::string Fixed(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.4f", v);
  return buf;
}

void NodeTm(std::string& out, const std::string& name, double x, double y) {
  out += "\t*NODE_TM {\n\t\t*NODE_NAME \"" + name + "\"\n";
  out += "\t\t*INHERIT_POS 0 0 0\n\t\t*INHERIT_ROT 0 0 0\n\t\t*INHERIT_SCL 0 0 0\n";
  out += "\t\t*TM_ROW0 1.0000\t0.0000\t0.0000\n\t\t*TM_ROW1 0.0000\t1.0000\t0.0000\n";
  out += "\t\t*TM_ROW2 0.0000\t0.0000\t1.0000\n";
  out += "\t\t*TM_ROW3 " + Fixed(x) + "\t" + Fixed(y) + "\t0.0000\n";
  out += "\t\t*TM_POS " + Fixed(x) + "\t" + Fixed(y) + "\t0.0000\n";
  out += "\t\t*TM_ROTAXIS 0.0000\t0.0000\t0.0000\n\t\t*TM_ROTANGLE 0.0000\n";
  out += "\t\t*TM_SCALE 1.0000\t1.0000\t1.0000\n\t\t*TM_SCALEAXIS 0.0000\t0.0000\t0.0000\n";
  out += "\t\t*TM_SCALEAXISANG 0.0000\n\t}\n";
}

constexpr int kFrames = 2000;

void Animation(std::string& out, const std::string& name, int seed, bool rotation) {
  out += "\t*TM_ANIMATION {\n\t\t*NODE_NAME \"" + name + "\"\n\t\t*CONTROL_POS_TRACK {\n";
  for (int f = 0; f < kFrames; ++f)
    out += "\t\t\t*CONTROL_POS_SAMPLE " + std::to_string(f * 160) + "\t" +
           Fixed(-65.8677 + seed + f * 0.013) + "\t" + Fixed(16.1213 - f * 0.007) + "\t" +
           Fixed((f % 97) * 0.9) + "\n";
  out += "\t\t}\n";
  if (rotation) {
    out += "\t\t*CONTROL_ROT_TRACK {\n";
    for (int f = 0; f < kFrames; ++f)
      out += "\t\t\t*CONTROL_ROT_SAMPLE " + std::to_string(f * 160) + "\t0.1489\t-0.9888\t" +
             Fixed((f % 13) * 0.01) + "\t" + Fixed(0.0034 + (f % 50) * 0.001) + "\n";
    out += "\t\t}\n";
  }
  out += "\t}\n";
}

std::string MakeAse(size_t targetBytes) {
  std::string out;
  out.reserve(targetBytes + (1 << 20));
  out += "*3DSMAX_ASCIIEXPORT\t200\n*COMMENT \"AsciiExport Version  2,00 - generated\"\n";
  out += "*SCENE {\n\t*SCENE_FILENAME \"bench.max\"\n\t*SCENE_FIRSTFRAME 0\n";
  out += "\t*SCENE_LASTFRAME " + std::to_string(kFrames) + "\n\t*SCENE_FRAMESPEED 30\n";
  out += "\t*SCENE_TICKSPERFRAME 160\n\t*SCENE_BACKGROUND_STATIC 0.0000\t0.0000\t0.0000\n";
  out += "\t*SCENE_AMBIENT_STATIC 0.0000\t0.0000\t0.0000\n}\n";
  out += "*MATERIAL_LIST {\n\t*MATERIAL_COUNT 0\n}\n";
  // One small mesh so that every importer has something to build.
  out += "*GEOMOBJECT {\n\t*NODE_NAME \"Tri01\"\n";
  NodeTm(out, "Tri01", 0, 0);
  out += "\t*MESH {\n\t\t*TIMEVALUE 0\n\t\t*MESH_NUMVERTEX 3\n\t\t*MESH_NUMFACES 1\n";
  out += "\t\t*MESH_VERTEX_LIST {\n\t\t\t*MESH_VERTEX 0\t0.0000\t0.0000\t0.0000\n";
  out += "\t\t\t*MESH_VERTEX 1\t1.0000\t0.0000\t0.0000\n\t\t\t*MESH_VERTEX 2\t0.0000\t1.0000\t0.0000\n\t\t}\n";
  out += "\t\t*MESH_FACE_LIST {\n\t\t\t*MESH_FACE 0:\tA:\t0 B:\t1 C:\t2 AB:\t1 BC:\t1 CA:\t1\t "
         "*MESH_SMOOTHING 1\t*MESH_MTLID 0\n\t\t}\n\t}\n}\n";
  out += "*CAMERAOBJECT {\n\t*NODE_NAME \"Camera01\"\n\t*CAMERA_TYPE Target\n";
  NodeTm(out, "Camera01", -65.8677, 16.1213);
  NodeTm(out, "Camera01.Target", 14.4292, 28.2159);
  out += "\t*CAMERA_SETTINGS {\n\t\t*TIMEVALUE 0\n\t\t*CAMERA_NEAR 0.0000\n\t\t*CAMERA_FAR 1000.0000\n";
  out += "\t\t*CAMERA_FOV 0.7854\n\t\t*CAMERA_TDIST 166.7347\n\t}\n";
  Animation(out, "Camera01", 0, true);
  Animation(out, "Camera01.Target", 80, false);
  out += "}\n";
  for (int i = 0; out.size() < targetBytes; ++i) {
    const std::string name = "Dummy" + std::to_string(i);
    out += "*HELPEROBJECT {\n\t*NODE_NAME \"" + name + "\"\n\t*HELPER_CLASS \"Dummy\"\n";
    NodeTm(out, name, i, -i);
    out += "\t*BOUNDINGBOX_MIN -1.0000\t-1.0000\t-1.0000\n\t*BOUNDINGBOX_MAX 1.0000\t1.0000\t1.0000\n";
    Animation(out, name, i, true);
    out += "}\n";
  }
  return out;
}

std::string MakeProperties(size_t targetBytes) {
  std::string out = "# generated property file\nQELPROPERTY\nVERSION 1\n";
  for (int i = 0; out.size() < targetBytes; ++i) {
    const std::string n = std::to_string(i);
    out += "# group " + n + ": assets and values\n";
    out += "FILE {\n\tNAME \"Texture" + n + "\"\n\tDESC \"slide texture number " + n +
           "\"\n\tFILENAME \"data/Slides/slide" + n + ".png\"\n\tRESCALE 1.0\n}\n";
    out += "COLOR {\n\tNAME \"Colour" + n + "\"\n\tRGB 0.25 0.5 0.75\n\tALPHA 0.5 # half\n}\n";
    out += "POSITION {\n\tNAME \"Pos" + n + "\"\n\tXYZ 1.5 -2 " + n + "\n\tRELATIVE_XYZ \"Pos" +
           std::to_string(i / 2) + "\"\n}\n";
    out += "ROTATION\n{\n\tNAME \"Spin" + n + "\"\n\tXYZ 0 1 0\n\tANGLE 45\n\tSPEED 2.5\n}\n";
    out += "TIME {\n\tNAME \"Time" + n + "\"\n\tTIME_LONG " + std::to_string(i * 100) +
           "\n\tRELATIVE_TIME_NAME \"start\"\n}\n";
  }
  return out;
}

struct Inputs {
  fs::path dir;
  std::string asePath, propertyPath, aseText, propertyText;
  Inputs() {
    dir = fs::temp_directory_path() / ("vantor_bench_text_" + std::to_string(getpid()));
    fs::create_directories(dir);
    aseText = MakeAse(20u << 20);
    propertyText = MakeProperties(1u << 20);
    asePath = (dir / "bench.ase").string();
    propertyPath = (dir / "bench.qelProperty").string();
    std::ofstream(asePath, std::ios::binary) << aseText;
    std::ofstream(propertyPath, std::ios::binary) << propertyText;
  }
  ~Inputs() { fs::remove_all(dir); }
};

Inputs& GetInputs() {
  static Inputs inputs;
  return inputs;
}



// The comparison: the whole ASE load, file read included, against Assimp's importer on
// the same file. Both allocate and fault in some 20 MB per load, so on a busy machine
// take the best of several repetitions.
void BM_AseLoadFile(benchmark::State& state) {
  const Inputs& in = GetInputs();
  for (auto _ : state) {
    cFileLoader_ASE loader;
    loader.Load(in.asePath);
    if (loader.objects.size() < 3) state.SkipWithError("tracks missing");
    benchmark::DoNotOptimize(loader.objects.data());
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(in.aseText.size()));
}
BENCHMARK(BM_AseLoadFile)->Unit(benchmark::kMillisecond);

#ifdef HAVE_ASSIMP
void BM_AssimpReadFile(benchmark::State& state) {
  const Inputs& in = GetInputs();
  for (auto _ : state) {
    Assimp::Importer importer;
    const aiScene* scene = importer.ReadFile(in.asePath, 0);
    if (!scene || scene->mNumAnimations == 0) state.SkipWithError(importer.GetErrorString());
    benchmark::DoNotOptimize(scene);
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(in.aseText.size()));
}
BENCHMARK(BM_AssimpReadFile)->Unit(benchmark::kMillisecond);
#endif

// The readers alone, from text already in memory.
void BM_AseText(benchmark::State& state) {
  const std::string& text = GetInputs().aseText;
  for (auto _ : state) {
    state.PauseTiming();  // the copy that a file read would have made
    std::vector<uint8_t> bytes(text.begin(), text.end());
    state.ResumeTiming();
    cFileLoader_ASE loader;
    loader.LoadBytes(std::move(bytes));
    if (loader.objects.size() < 3) state.SkipWithError("tracks missing");
    benchmark::DoNotOptimize(loader.objects.data());
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}
BENCHMARK(BM_AseText)->Unit(benchmark::kMillisecond);

void BM_PropertyText(benchmark::State& state) {
  const std::string& text = GetInputs().propertyText;
  for (auto _ : state) {
    cPropertySystem props;
    auto result = props.LoadText(text);
    benchmark::DoNotOptimize(result);
    if (props.files.empty()) state.SkipWithError("no FILE records read");
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}
BENCHMARK(BM_PropertyText)->Unit(benchmark::kMillisecond);

// Console output plus the ratios the goals are stated in. Both the rates and the ratio
// use CPU time: the machines this runs on are shared, and wall time there mostly
// measures the neighbours. Run with --benchmark_repetitions=N to take the best of N.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration) continue;
      // With repetitions, the best run of each: the least disturbed by the neighbours.
      const std::string name = run.run_name.function_name;
      const double seconds = run.cpu_accumulated_time / double(run.iterations);
      if (!seconds_.count(name) || seconds < seconds_[name]) seconds_[name] = seconds;
      const auto bytes = run.counters.find("bytes_per_second");
      if (bytes != run.counters.end())
        mbPerSecond_[name] = std::max(mbPerSecond_[name], bytes->second / 1e6);
    }
    ConsoleReporter::ReportRuns(runs);
  }
  void PrintRatios() const {
    std::printf("\n");
    for (const auto& [name, mbs] : mbPerSecond_)
      std::printf("%-22s %8.1f MB/s (goal: at least 100)\n", name.c_str(), mbs);
    const auto ours = seconds_.find("BM_AseLoadFile");
    const auto theirs = seconds_.find("BM_AssimpReadFile");
    if (ours != seconds_.end() && theirs != seconds_.end() && ours->second > 0)
      std::printf("ASE load vs Assimp ReadFile on the same file: %.2fx as fast (goal: above 1)\n",
                  theirs->second / ours->second);
  }

 private:
  std::map<std::string, double> seconds_, mbPerSecond_;
};

}  // namespace

int main(int argc, char** argv) {
  cDebugSystem::Instance().enabled = false;  // no log file here; keep the track lines out
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  const Inputs& in = GetInputs();
  // One untimed load by each reader first. Whichever ran first would otherwise pay
  // alone for growing the process's heap: glibc's thresholds for mapping and
  // trimming large blocks start low and rise with the first large frees, and a
  // reader timed before that faults its memory in afresh at every load.
  {
    cFileLoader_ASE loader;
    loader.Load(in.asePath);
  }
#ifdef HAVE_ASSIMP
  {
    Assimp::Importer importer;
    importer.ReadFile(in.asePath, 0);
  }
#endif
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios();
  benchmark::Shutdown();
  return 0;
}
