# Debian packages of what cmake --install puts in place (tools/package.sh runs
# CPack): `tessaly`, the show with its capture and preview (component tessaly),
# and `libvantorgl-dev`, the engine for making shows (component engine). Each
# carries the copyright file and the changelog Debian asks of every package.
if(NOT TARGET tessaly-manuals)
  return()  # a build that installs no show (sanitizers, fuzzing, unit tests only)
endif()

file(STRINGS ${CMAKE_CURRENT_LIST_DIR}/changelog top LIMIT_COUNT 1)
if(NOT top MATCHES "^vantorgl \\(${PROJECT_VERSION}\\) ")
  message(FATAL_ERROR "packaging/changelog's first entry is not for version ${PROJECT_VERSION}: ${top}")
endif()
# Compressed as Debian ships it: gzip -9n, no name and no time inside.
set(VANTOR_CHANGELOG ${CMAKE_BINARY_DIR}/packaging/changelog.gz)
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/packaging)
add_custom_command(OUTPUT ${VANTOR_CHANGELOG}
  COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_CURRENT_LIST_DIR}/changelog ${CMAKE_BINARY_DIR}/packaging/changelog
  COMMAND gzip -9nf ${CMAKE_BINARY_DIR}/packaging/changelog
  DEPENDS ${CMAKE_CURRENT_LIST_DIR}/changelog
  VERBATIM)
add_custom_target(vantor-changelog ALL DEPENDS ${VANTOR_CHANGELOG})
add_dependencies(vantorgl-engine vantor-changelog)
foreach(pair tessaly:tessaly engine:libvantorgl-dev)
  string(REPLACE ":" ";" pair ${pair})
  list(GET pair 0 component)
  list(GET pair 1 package)
  install(FILES ${CMAKE_CURRENT_LIST_DIR}/copyright ${VANTOR_CHANGELOG}
    DESTINATION share/doc/${package} COMPONENT ${component})
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vantorgl)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "VantorGL maintainers <maintainers@users.noreply.c-seed-e5c3b3ae.example>")
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
# Programs stripped as Debian ships them; the static libraries keep their symbols.
set(CPACK_STRIP_FILES ON)
set(CPACK_COMPONENTS_ALL tessaly engine)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SOURCE vantorgl)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Depends from the shared libraries the programs load (dpkg-shlibdeps).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

set(CPACK_DEBIAN_TESSALY_PACKAGE_NAME tessaly)
set(CPACK_DEBIAN_TESSALY_PACKAGE_SECTION games)
# SDL and libepoxy open the GL libraries at run time, which dpkg-shlibdeps cannot
# see: GLX for a window, EGL for the capture without a display. The production's
# face is fonts-play's file, which the data links to.
set(CPACK_DEBIAN_TESSALY_PACKAGE_DEPENDS "libgl1, libegl1, fonts-play")
# Only tessaly-capture --out needs ffmpeg; without it the capture says so.
set(CPACK_DEBIAN_TESSALY_PACKAGE_RECOMMENDS ffmpeg)
set(CPACK_DEBIAN_TESSALY_DESCRIPTION "demo-scene production: a 47-second show in step with its music
Tessaly 2011 opens a full-screen window, shows a loading picture while a
loading tune loops, and plays a fixed 47-second show of 56 slides over an
animated background, in step with its music. It is made on VantorGL, a small
OpenGL engine.
.
Two programs for the people who make shows come with it: tessaly-capture
writes the show to PNG frames, a video (with ffmpeg) or a contact sheet, and
tessaly-preview plays it in a window with pause, seek and step.")

set(CPACK_DEBIAN_ENGINE_PACKAGE_NAME libvantorgl-dev)
set(CPACK_DEBIAN_ENGINE_PACKAGE_SECTION libdevel)
# A show built on the engine links what the engine links
# (cmake/VantorGLDependencies.cmake); static libraries carry no dependencies of
# their own for dpkg-shlibdeps to find.
set(CPACK_DEBIAN_ENGINE_PACKAGE_DEPENDS
  "pkgconf | pkg-config, libsdl2-dev, libsdl2-image-dev, libepoxy-dev, libglu1-mesa-dev, libgl-dev, libjpeg-dev, libpng-dev, zlib1g-dev, libdeflate-dev, libfreetype-dev, libfontconfig-dev, libmpg123-dev, libfftw3-dev, libgtk-3-dev, libx11-dev, libasound2-dev, libexpat1-dev")
set(CPACK_DEBIAN_ENGINE_PACKAGE_SUGGESTS "cmake, help2man")
set(CPACK_DEBIAN_ENGINE_DESCRIPTION "VantorGL, a small OpenGL engine for demo-scene shows: development files
VantorGL plays time-windowed scenes in step with music: a window and frame
loop, textures, render targets, fonts, GLSL effects (blur, bloom, normal
mapping, water, a geometry-shader explosion), a property file of named assets,
3DS and ASE readers and particles.
.
This package holds the engine's headers and static libraries, the makers'
programs' library (capture and preview for any show) and the CMake package:
find_package(VantorGL CONFIG REQUIRED) gives a show's project the imported
targets and vantorgl_add_show, which makes the show's player, capture and
preview.")

include(CPack)
