#include "shell/show_data.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "shell/debug_system.h"
#include "shell/file_paths.h"

namespace VantorGL {
namespace fs = std::filesystem;

namespace {

ShowData g_data;

// The user's home: $HOME, else the password database's entry.
const char* HomeDirectory() {
  if (const char* home = std::getenv("HOME"); home && *home) return home;
  const passwd* entry = getpwuid(getuid());
  return entry ? entry->pw_dir : nullptr;
}

// Creates each missing folder of `dir` private to the user, as the XDG base
// directory rules ask; true when `dir` exists as a folder afterwards.
bool MakePrivateDirectories(const fs::path& dir) {
  fs::path partial;
  for (const fs::path& part : dir) {
    partial /= part;
    if (mkdir(partial.c_str(), 0700) != 0 && errno != EEXIST) return false;
  }
  std::error_code ec;
  return fs::is_directory(dir, ec);
}

}  // namespace

std::string ShowStateDirectory(const char* xdgStateHome, const char* home, std::string_view show) {
  // A relative XDG_STATE_HOME is invalid and ignored, as is an empty one.
  if (xdgStateHome && xdgStateHome[0] == '/') return (fs::path(xdgStateHome) / show).string();
  if (home && home[0] == '/') return (fs::path(home) / ".local/state" / show).string();
  return {};
}

std::string InstalledDataDirectory(const std::string& programPath, std::string_view show) {
  return (fs::path(programPath).parent_path() / "../share/games" / show).lexically_normal().string();
}

const ShowData& ChooseShowData(std::string_view show, std::string_view propertyFile) {
  g_data = ShowData{};
  std::error_code ec;
  if (fs::exists(ResolvePath(propertyFile), ec)) return g_data;
  const fs::path program = fs::read_symlink("/proc/self/exe", ec);
  if (ec) return g_data;
  const std::string installed = InstalledDataDirectory(program.string(), show);
  g_data.installedLookedIn = installed;
  const std::string beside = program.parent_path().string();
  std::string found;
  if (fs::exists(fs::path(beside) / propertyFile, ec)) found = beside;
  else if (fs::exists(fs::path(installed) / propertyFile, ec)) found = installed;
  else return g_data;

  const fs::path start = fs::current_path(ec);
  if (ec) {
    g_data.unusable = found + " holds the data, but the working directory cannot be named: " + ec.message();
    return g_data;
  }
  if (chdir(found.c_str()) != 0) {
    g_data.unusable = found + " holds the data, but the program cannot change into it: " + std::strerror(errno);
    return g_data;
  }
  g_data.installed = true;
  g_data.besideProgram = found == beside;
  g_data.directory = found;
  g_data.startDirectory = start.string();
  const std::string state = ShowStateDirectory(std::getenv("XDG_STATE_HOME"), HomeDirectory(), show);
  g_data.logFile = state.empty() ? std::string() : state + "/debug.log";
  return g_data;
}

const ShowData& CurrentShowData() { return g_data; }

std::string FromStartDirectory(const std::string& path) {
  if (!g_data.installed || path.empty() || path[0] == '/') return path;
  return (fs::path(g_data.startDirectory) / path).string();
}

std::string ShowLogPath() {
  if (g_data.logFile.empty()) return "debug.log (not written: neither XDG_STATE_HOME nor HOME names a folder)";
  if (g_data.logFile[0] == '/') return g_data.logFile;
  std::error_code ec;
  const fs::path here = fs::current_path(ec);
  return ec ? g_data.logFile : (here / g_data.logFile).string();
}

bool OpenShowLog() {
  cDebugSystem& log = cDebugSystem::Instance();
  if (!g_data.installed) return log.Open(g_data.logFile.c_str());
  const fs::path file = g_data.logFile;
  if (file.empty() || !MakePrivateDirectories(file.parent_path()) || !log.Open(file.c_str())) {
    if (file.empty())
      std::fputs("debug.log not written: neither XDG_STATE_HOME nor HOME names a folder; the show plays without it\n",
                 stderr);
    else
      std::fprintf(stderr, "cannot write the log %s: the show plays without it\n", file.c_str());
    return false;
  }
  log.Log("data", std::string(g_data.besideProgram ? "reading the data beside the program in "
                                                     : "reading the data installed in ") +
                      g_data.directory + " (none in the working directory " + g_data.startDirectory + ")");
  return true;
}

}  // namespace VantorGL
