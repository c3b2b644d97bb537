#include "shaders/shader_sources.h"

namespace VantorGL::shader_sources {

const char* const kGeometryPreamble400 = "#version 400 compatibility\n";
const char* const kGeometryPreamble150 = "#version 150 compatibility\n";
const char* const kGeometryPreambleExt =
    "#version 120\n"
    "#extension GL_EXT_geometry_shader4 : enable\n"
    "#define VANTOR_GEOMETRY_EXT 1\n";

const std::vector<Source>& All() {
  static const std::vector<Source> all = {
      {"default vertex", GL_VERTEX_SHADER, kDefaultVertex},
      {"default fragment", GL_FRAGMENT_SHADER, kDefaultFragment},
      {"textured quad vertex", GL_VERTEX_SHADER, kTexturedQuadVertex},
      {"blur fragment", GL_FRAGMENT_SHADER, kBlurFragment},
      {"gaussian blur fragment", GL_FRAGMENT_SHADER, kGaussianBlurFragment},
      {"normal mapping vertex", GL_VERTEX_SHADER, kNormalMappingVertex},
      {"normal mapping fragment", GL_FRAGMENT_SHADER, kNormalMappingFragment},
      {"water vertex", GL_VERTEX_SHADER, kWaterVertex},
      {"water fragment", GL_FRAGMENT_SHADER, kWaterFragment},
      {"geometry effect vertex", GL_VERTEX_SHADER, kGeometryEffectVertex},
      {"geometry effect fragment", GL_FRAGMENT_SHADER, kGeometryEffectFragment},
  };
  return all;
}

}  // namespace VantorGL::shader_sources
