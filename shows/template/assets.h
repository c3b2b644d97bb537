#pragma once
// cAssets: the show's files and named values, found by name in its property
// file (data/NAME.qelProperty). A scene asks for a texture or a model by its
// FILE name in its Init; the first ask loads it, later asks get the same one,
// and everything asked for can be loaded again while the show runs (the
// preview does, when the file changes). A name the property file lacks, or a
// file that cannot be loaded when first asked for, ends the program with
// status 2, saying which. Main thread, context current.
#include <map>
#include <string>
#include <vector>

#include "makers/show.h"
#include "properties/property_system.h"
#include "resources/texture_system.h"
#include "scenedata/model_3ds.h"
#include "shell/music_stream.h"
#include "sync/sync_system.h"

namespace show {

class cAssets {
 public:
  static constexpr const char* kPropertyFile = VANTORGL_PROPERTY_FILE;  // named by vantorgl_add_show
  static constexpr const char* kMusicFile = "data/Music/music.mp3";

  // Reads the property file, opens the music (silent when it is missing) and
  // takes the sync tracks' tempo and place from the property file.
  void Load();

  // The file of the FILE entry `name`.
  std::string FileOf(const std::string& name) const;
  // Owned here; valid for the life of the assets.
  VantorGL::cTextureSystem& Texture(const std::string& name);
  VantorGL::c3DsModelSystem& Model(const std::string& name);
  // The COLOR and POSITION entries `name`; a missing one is logged and reads
  // as white, or as the origin.
  VantorGL::ColorProperty Colour(const std::string& name) const;
  VantorGL::PositionProperty Position(const std::string& name) const;

  // Every texture and model asked for so far, and loading one again: it
  // changes only when its file loads completely; otherwise `error` says why.
  std::vector<VantorGL::ReloadableAsset> Reloadable() const;
  bool Reload(const std::string& name, std::string* error);

  // Declared first, so it goes last: freeing the audio library ends the sound.
  VantorGL::MusicStream music;
  VantorGL::cPropertySystem properties;
  // The values tuned in a sync editor: each scene asks for its tracks by name
  // in its Init and reads them at the music's time (cShowScene::MusicMs).
  VantorGL::cSyncSystem sync;

 private:
  std::map<std::string, VantorGL::cTextureSystem> textures_;
  std::map<std::string, VantorGL::c3DsModelSystem> models_;
};

}  // namespace show
