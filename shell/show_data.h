#pragma once
// Where a show's programs (its player, capture and preview) read their data and
// write debug.log. Started from a directory that holds the show's property file,
// a program works there as it always has: that data, and debug.log beside it.
// Otherwise it takes the data beside its real self (/proc/self/exe, so through
// any symlink): the program's own folder when that holds the property file (the
// stage, where the build puts the programs with their data), else the data
// installed with it, <the program's folder>/../share/games/NAME
// (/usr/games/tessaly reads /usr/share/games/tessaly; an unpacked tree anywhere
// finds its own). The program then moves into that folder, so that every
// relative name the show uses reads the same, and logs to
// $XDG_STATE_HOME/NAME/debug.log (default ~/.local/state/NAME/), never beside
// data that may be read-only. Where neither holds the property file, or the
// folder that does cannot be entered, nothing changes: the show fails on it as
// it always did, and the message says where it looked and why that failed.
//
// ChooseShowData once, at the start of a program, before any file is read and
// before any relative path the user gave is used; then OpenShowLog where the
// program used to open "debug.log". Main thread.
#include <string>
#include <string_view>

namespace VantorGL {

struct ShowData {
  bool installed = false;         // data other than the working directory's is used: it is now `directory`
  bool besideProgram = false;     // that data is the program's own folder (a stage), not the installed data
  std::string directory = ".";    // the data read
  std::string startDirectory;     // the working directory the program was started in (installed only)
  std::string logFile = "debug.log";
  std::string installedLookedIn;  // the installed folder looked in, when the working directory had no data
  std::string unusable;           // why the folder found holding the data could not be used ("" when none)
};

// `show` names the show's programs and its data folder; `propertyFile` is the
// file whose presence says a folder holds the show's data, relative to it
// ("data/default.qelProperty").
const ShowData& ChooseShowData(std::string_view show, std::string_view propertyFile);
// What ChooseShowData decided; before it, the working directory and debug.log there.
const ShowData& CurrentShowData();

// A path the user gave on the command line, meant relative to where the program
// was started: made absolute when the program has moved into the installed data,
// otherwise returned as it is.
std::string FromStartDirectory(const std::string& path);

// The log's path as a user finds it: absolute, where ChooseShowData put it.
std::string ShowLogPath();

// Opens the log (cDebugSystem) where ChooseShowData put it, with the installed
// data creating its folder first and naming the data in one line. False when it
// could not be opened: the program plays on without it, as it always did.
bool OpenShowLog();

// The pieces, for tests. The folder NAME's log goes in: under `xdgStateHome`
// when that is an absolute path, else under `home`/.local/state ("" without
// either).
std::string ShowStateDirectory(const char* xdgStateHome, const char* home, std::string_view show);
// The installed data's folder for a program at `programPath` (absolute).
// Data in the program's own folder comes before it (ChooseShowData).
std::string InstalledDataDirectory(const std::string& programPath, std::string_view show);

}  // namespace VantorGL
