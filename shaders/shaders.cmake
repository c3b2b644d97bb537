# The effects' GLSL sources (shaders/glsl/) are the one copy: built into the
# engine as text (the fallback when a show's data holds none), installed with it
# (cmake/install.cmake) and copied into every show's stage (vantorgl_add_show),
# where the engine reads them and the preview follows them.
set(VANTORGL_SHADER_DIR ${CMAKE_CURRENT_SOURCE_DIR}/shaders/glsl)
set(_shader_symbols
  kDefaultVertex=default.vert
  kDefaultFragment=default.frag
  kTexturedQuadVertex=textured_quad.vert
  kBlurFragment=blur.frag
  kGaussianBlurFragment=gaussian_blur.frag
  kNormalMappingVertex=normal_mapping.vert
  kNormalMappingFragment=normal_mapping.frag
  kWaterVertex=water.vert
  kWaterFragment=water.frag
  kGeometryEffectVertex=geometry_effect.vert
  kGeometryEffectFragment=geometry_effect.frag)
set(VANTORGL_SHADER_FILES)
set(_shader_pairs)
foreach(entry ${_shader_symbols})
  string(REPLACE "=" ";" parts ${entry})
  list(GET parts 1 file)
  list(APPEND VANTORGL_SHADER_FILES ${VANTORGL_SHADER_DIR}/${file})
  list(APPEND _shader_pairs "${entry}")
endforeach()
list(TRANSFORM _shader_pairs REPLACE "=(.*)$" "=${VANTORGL_SHADER_DIR}/\\1")
string(REPLACE ";" "|" _shader_pairs "${_shader_pairs}")
set(_shader_cpp ${CMAKE_CURRENT_BINARY_DIR}/generated/shader_sources_embedded.cpp)
add_custom_command(OUTPUT ${_shader_cpp}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/generated
  COMMAND ${CMAKE_COMMAND} -DOUT=${_shader_cpp} -DSOURCES=${_shader_pairs}
          -P ${CMAKE_CURRENT_SOURCE_DIR}/shaders/embed_sources.cmake
  DEPENDS ${VANTORGL_SHADER_FILES} ${CMAKE_CURRENT_SOURCE_DIR}/shaders/embed_sources.cmake
  COMMENT "Building the effects' GLSL sources into the engine"
  VERBATIM)
target_sources(vantorgl PRIVATE ${_shader_cpp})
