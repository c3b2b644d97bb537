#pragma once
// cDataSystem: the polymorphic base of the resource registry. It holds no data; the
// registry overrides both operations. Virtual slots in order: destructor,
// SetMusicFile, LoadAll.
#include <cstdint>

namespace VantorGL {

class cDataSystem {
 public:
  virtual ~cDataSystem() = default;
  virtual int32_t SetMusicFile() { return 0; }
  virtual int32_t LoadAll() { return 0; }
};

}  // namespace VantorGL
