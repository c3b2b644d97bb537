#include "makers/show.h"

namespace VantorGL {

bool IShow::ReloadAsset(const std::string& name, std::string* error) {
  if (error) *error = Name() + " loads nothing again while it runs (" + name + ")";
  return false;
}

}  // namespace VantorGL
