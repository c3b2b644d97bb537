# The libraries the engine is built on, each found through pkg-config as an
# imported target (PkgConfig::VantorGL_<name>: a prefix of the engine's own, so
# that a project finding VantorGL keeps its own PNG_*, SDL2_* and the like).
# Used by the engine's own build and, installed beside the engine's CMake
# package, by every project that finds VantorGL. There a missing library makes
# VantorGL not found, saying which, as find_dependency does, so that an optional
# find_package(VantorGL) goes on without it; the engine's own build stops.
set(_vantorgl_missing)
macro(_vantorgl_need found what)
  if(NOT ${found})
    list(APPEND _vantorgl_missing ${what})
  endif()
endmacro()

find_package(PkgConfig QUIET)
_vantorgl_need(PKG_CONFIG_FOUND "pkg-config (pkgconf)")
find_package(OpenGL QUIET)
_vantorgl_need(OPENGL_FOUND "OpenGL (libgl-dev)")
find_package(Threads QUIET)
_vantorgl_need(Threads_FOUND "threads")
find_package(JPEG QUIET)
_vantorgl_need(JPEG_FOUND "libjpeg (libjpeg-dev)")
set(VANTOR_ENGINE_DEPENDENCIES)
if(PKG_CONFIG_FOUND)
  # name, pkg-config module, Debian package
  foreach(entry
      SDL2:sdl2:libsdl2-dev SDL2_IMAGE:SDL2_image:libsdl2-image-dev EPOXY:epoxy:libepoxy-dev
      GLU:glu:libglu1-mesa-dev PNG:libpng:libpng-dev ZLIB:zlib:zlib1g-dev DEFLATE:libdeflate:libdeflate-dev
      FREETYPE:freetype2:libfreetype-dev FONTCONFIG:fontconfig:libfontconfig-dev
      MPG123:libmpg123:libmpg123-dev FFTW3F:fftw3f:libfftw3-dev GTK3:gtk+-3.0:libgtk-3-dev
      X11:x11:libx11-dev ALSA:alsa:libasound2-dev
      EXPAT:expat:libexpat1-dev)
    string(REPLACE ":" ";" entry ${entry})
    list(GET entry 0 name)
    list(GET entry 1 module)
    list(GET entry 2 package)
    pkg_check_modules(VantorGL_${name} QUIET IMPORTED_TARGET ${module})
    _vantorgl_need(VantorGL_${name}_FOUND "${module} (${package})")
    list(APPEND VANTOR_ENGINE_DEPENDENCIES PkgConfig::VantorGL_${name})
  endforeach()
endif()
list(APPEND VANTOR_ENGINE_DEPENDENCIES JPEG::JPEG OpenGL::GL Threads::Threads)

if(_vantorgl_missing)
  string(REPLACE ";" ", " _vantorgl_missing "${_vantorgl_missing}")
  if(CMAKE_FIND_PACKAGE_NAME STREQUAL "VantorGL")
    set(VantorGL_NOT_FOUND_MESSAGE "VantorGL needs what is not installed: ${_vantorgl_missing}")
    set(VantorGL_FOUND FALSE)
  else()
    message(FATAL_ERROR "The engine needs what is not installed: ${_vantorgl_missing} (run tools/setup.sh)")
  endif()
endif()
