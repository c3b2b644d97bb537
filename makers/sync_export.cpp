#include "makers/sync_export.h"

#include <filesystem>
#include <fstream>

#include "shell/file_paths.h"
#include "sync/track_file.h"

namespace VantorGL::sync {

namespace fs = std::filesystem;

std::vector<std::string> RecordedSourceFolders() {
  std::vector<std::string> folders;
  std::ifstream record(kSourcesRecord);
  for (std::string line; std::getline(record, line);)
    if (!line.empty()) folders.push_back(line);
  return folders;
}

namespace {

// The file `relative` under the first folder that has it already, else under
// the first folder.
std::string SourceFileOf(const std::vector<std::string>& folders, const std::string& relative) {
  for (const std::string& folder : folders) {
    std::error_code ec;
    if (fs::exists(fs::path(folder) / relative, ec)) return (fs::path(folder) / relative).string();
  }
  return (fs::path(folders.front()) / relative).string();
}

bool Save(const std::string& path, const std::vector<SyncKey>& keys, std::string& errors) {
  std::error_code ec;
  const fs::path folder = fs::path(path).parent_path();
  if (!folder.empty()) fs::create_directories(folder, ec);
  std::string error;
  if (SaveTrackFile(path, keys, &error)) return true;
  if (errors.empty()) errors = path + ": " + error;
  return false;
}

}  // namespace

std::string ExportTracks(const cSyncSystem& sync, const std::vector<std::string>& sourceFolders, bool& ok) {
  std::string errors;
  size_t here = 0, sources = 0;
  std::string hereFolder, sourceFolder;
  for (size_t i = 0; i < sync.TrackCount(); ++i) {
    const std::string relative = sync.TrackFileOf(i);
    // The name the player opens, whatever the case of the folders on disk.
    const std::string path = ResolvePath(relative);
    if (Save(path, sync.TrackAt(i).keys(), errors)) ++here;
    hereFolder = fs::path(path).parent_path().string();
    if (sourceFolders.empty()) continue;
    const std::string source = SourceFileOf(sourceFolders, relative);
    if (Save(source, sync.TrackAt(i).keys(), errors)) ++sources;
    sourceFolder = fs::path(source).parent_path().string();
  }
  ok = errors.empty();
  std::string line = "saved " + std::to_string(here) + " of " + std::to_string(sync.TrackCount()) +
                     " track files to " + (hereFolder.empty() ? std::string(".") : hereFolder) + "/";
  if (sourceFolders.empty())
    line += " (no source folder is recorded here in " + std::string(kSourcesRecord) +
            ": copy them to the show's sources yourself, or a rebuild may replace them)";
  else
    line += " and " + std::to_string(sources) + " to the show's sources in " + sourceFolder + "/";
  // The files are still what the editor exports; the show must be told to read them.
  if (const std::string project = sync.ProjectFile(); !project.empty())
    line += "; but the show reads its tracks from " + project +
            ": name the track files' base in its property file (FILE \"SyncTracks\") to play these";
  if (!ok) line += "; not all could be written: " + errors;
  return line;
}

}  // namespace VantorGL::sync
