#include "sync/rocket_project.h"

#include <expat.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <set>

#include "shell/exit.h"
#include "shell/file_paths.h"

namespace VantorGL {

namespace {

constexpr size_t kMaxProjectBytes = size_t{256} << 20;

// Where the parse stands: the depth of the element being read and the path of
// elements from the root that we read (sync, tracks, track); anything else is
// passed over with its contents.
struct ParseState {
  XML_Parser parser = nullptr;
  RocketProject* project = nullptr;
  std::string fault;
  int depth = 0;        // elements open
  int knownDepth = 0;   // of them, the ones on the path sync > tracks > track
  bool rootSeen = false;
  std::set<std::string> names;
  std::set<uint32_t> rows;  // of the track being read

  void Fail(std::string what) {
    if (!fault.empty()) return;
    fault = "line " + std::to_string(XML_GetCurrentLineNumber(parser)) + ": " + std::move(what);
    XML_StopParser(parser, XML_FALSE);
  }
};

const char* Attribute(const XML_Char** attributes, const char* name) {
  for (size_t i = 0; attributes[i]; i += 2)
    if (std::strcmp(attributes[i], name) == 0) return attributes[i + 1];
  return nullptr;
}

// Whole text, nothing before or after the number.
template <class T>
bool ReadNumber(const char* text, T& out) {
  const char* end = text + std::strlen(text);
  const auto [ptr, ec] = std::from_chars(text, end, out);
  return ec == std::errc() && ptr == end && ptr != text;
}

void ReadKey(ParseState& s, const XML_Char** attributes) {
  const char* row = Attribute(attributes, "row");
  const char* value = Attribute(attributes, "value");
  const char* interpolation = Attribute(attributes, "interpolation");
  const std::string& track = s.project->tracks.back().name;
  if (!row || !value || !interpolation)
    return s.Fail("a key of track \"" + track + "\" without its row, value or interpolation");
  SyncKey key;
  unsigned type = 0;
  if (!ReadNumber(row, key.row)) return s.Fail("a key of track \"" + track + "\" on row \"" + row + "\"");
  if (!ReadNumber(value, key.value) || !std::isfinite(key.value))
    return s.Fail("the key on row " + std::to_string(key.row) + " of track \"" + track + "\" has the value \"" +
                  value + "\"");
  if (!ReadNumber(interpolation, type) || type >= kSyncInterpolationCount)
    return s.Fail("the key on row " + std::to_string(key.row) + " of track \"" + track + "\" has interpolation \"" +
                  interpolation + "\" (the editor's are 0 to 3)");
  if (!s.rows.insert(key.row).second)
    return s.Fail("two keys on row " + std::to_string(key.row) + " of track \"" + track + "\"");
  key.interpolation = SyncInterpolation(type);
  s.project->tracks.back().keys.push_back(key);
}

void XMLCALL Start(void* data, const XML_Char* element, const XML_Char** attributes) {
  auto& s = *static_cast<ParseState*>(data);
  const bool onPath = s.knownDepth == s.depth;
  ++s.depth;
  if (!onPath) return;
  const std::string_view name = element;
  switch (s.depth) {
    case 1: {
      s.rootSeen = true;
      if (name != "sync") return s.Fail("the root element is <" + std::string(name) + ">, not <sync>");
      const char* rows = Attribute(attributes, "rows");
      if (rows && !ReadNumber(rows, s.project->rows))
        return s.Fail(std::string("<sync> has rows=\"") + rows + "\"");
      break;
    }
    case 2:
      if (name != "tracks") return;
      break;
    case 3: {
      if (name != "track") return;
      const char* trackName = Attribute(attributes, "name");
      if (!trackName) return s.Fail("a track without a name");
      if (!s.names.insert(trackName).second) return s.Fail(std::string("two tracks named \"") + trackName + "\"");
      s.project->tracks.push_back({trackName, {}});
      s.rows.clear();
      break;
    }
    case 4:
      if (name == "key") ReadKey(s, attributes);
      return;
    default: return;
  }
  s.knownDepth = s.depth;
}

void XMLCALL End(void* data, const XML_Char*) {
  auto& s = *static_cast<ParseState*>(data);
  if (s.knownDepth == s.depth) --s.knownDepth;
  --s.depth;
}

void XMLCALL Doctype(void* data, const XML_Char*, const XML_Char*, const XML_Char*, int) {
  static_cast<ParseState*>(data)->Fail("a document type declaration, which a project file does not have");
}

}  // namespace

std::string ParseRocketProject(std::string_view xml, RocketProject& project) {
  project = {};
  XML_Parser parser = XML_ParserCreate(nullptr);
  if (!parser) return "out of memory";
  ParseState s;
  s.parser = parser;
  s.project = &project;
  XML_SetUserData(parser, &s);
  XML_SetElementHandler(parser, Start, End);
  XML_SetStartDoctypeDeclHandler(parser, Doctype);
  // Fed in pieces: XML_Parse takes an int length.
  constexpr size_t kPiece = size_t{1} << 20;
  size_t at = 0;
  XML_Status status = XML_STATUS_OK;
  do {
    const size_t n = std::min(kPiece, xml.size() - at);
    const bool last = at + n == xml.size();
    status = XML_Parse(parser, xml.data() + at, int(n), last);
    at += n;
    if (last) break;
  } while (status == XML_STATUS_OK);
  if (status != XML_STATUS_OK && s.fault.empty())
    s.fault = "line " + std::to_string(XML_GetCurrentLineNumber(parser)) + ": " +
              XML_ErrorString(XML_GetErrorCode(parser));
  XML_ParserFree(parser);
  if (s.fault.empty() && !s.rootSeen) s.fault = "line 1: no <sync> element";
  if (!s.fault.empty()) {
    project = {};
    return s.fault;
  }
  for (RocketProject::Track& track : project.tracks)
    std::sort(track.keys.begin(), track.keys.end(), [](const SyncKey& a, const SyncKey& b) { return a.row < b.row; });
  return {};
}

bool LoadRocketProject(const std::string& path, RocketProject& project) {
  project = {};
  const auto bytes = ReadFileBytes(path, kMaxProjectBytes);
  if (!bytes) {
    std::error_code ec;
    if (!std::filesystem::exists(ResolvePath(path), ec)) return false;
    ExitProgram(2, path + ": cannot be read, or larger than " + std::to_string(kMaxProjectBytes >> 20) + " MB");
  }
  const std::string fault =
      ParseRocketProject(std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()), project);
  if (!fault.empty()) ExitProgram(2, path + ": " + fault);
  return true;
}

}  // namespace VantorGL
