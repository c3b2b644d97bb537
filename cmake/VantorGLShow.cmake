# vantorgl_add_show: one call gives a show made on VantorGL its programs and its
# stage, the same inside the engine's tree and in a project of its own that found
# the installed engine (find_package(VantorGL CONFIG REQUIRED)).
#
#   vantorgl_add_show(NAME name
#     PLAYER main.cpp          the player's entry point: takes no arguments, reads
#                              its data from the working directory or, where that
#                              holds none, the data beside it or installed with it
#                              (it calls ChooseShowData and OpenShowLog,
#                              shell/show_data.h)
#     SOURCES file...          the show itself: its application, scenes and
#                              registry, and its CreateShow (makers/show.h), through
#                              which the makers' programs play it
#     [DATA dir...]            folders whose content is the show's data, copied
#                              into the stage as it stands (pictures, models, and
#                              what DEPENDS targets write there)
#     [PROPERTY_FILE file]     the show's property file, put in the stage as
#                              data/NAME.qelProperty (left out where it lies in
#                              a DATA folder), so that a folder of another show's
#                              data is never taken for this one's
#     [DEPENDS target...]      targets that write generated data into a DATA folder
#     [LINKS file=target...]   files of the data (relative to the stage) that are
#                              copies of a system package's file, the installed
#                              data holding a link to that file instead
#     [STAGE dir]              default: ${CMAKE_CURRENT_BINARY_DIR}/stage
#     [INSTALL]                cmake --install puts the three programs in games/,
#                              the data the build puts in the stage in
#                              share/games/NAME (where the programs find it when
#                              started elsewhere, shell/show_data.h) and the
#                              manual pages in share/man: component NAME
#     [MANUALS page...])       the show's own manual pages (the player's, NAME.6),
#                              installed compressed in man<section>; the capture's
#                              and the preview's are made from their --help
#                              (help2man)
#
# The show's code is compiled with VANTORGL_SHOW_NAME="NAME" (and, with
# PROPERTY_FILE, VANTORGL_PROPERTY_FILE="data/NAME.qelProperty"): the name is
# given once, here, and the player's ChooseShowData and the show's Name() use it.
#
# Targets: `name` (the player), `name-capture`, `name-preview`, `name_show` (the
# show's library, for tests) and `name-stage` (built by default: the show's DATA,
# its property file and the engine's geometry stage, Data/Shaders/test.geom,
# copied in, and the effects' sources, Data/Shaders/*.vert and *.frag, where
# DATA has none); with INSTALL, `name-manuals`. The three programs are copied into
# the stage when built; `name_STAGE` is set to the stage folder in the caller's
# scope. Whatever else lies in the stage (a capture's frames, debug.log) is the
# maker's, never installed.
include_guard(GLOBAL)

function(vantorgl_add_show)
  cmake_parse_arguments(PARSE_ARGV 0 SHOW "INSTALL" "NAME;PLAYER;STAGE;PROPERTY_FILE"
    "SOURCES;DATA;DEPENDS;MANUALS;LINKS")
  if(NOT SHOW_NAME OR NOT SHOW_PLAYER OR NOT SHOW_SOURCES)
    message(FATAL_ERROR "vantorgl_add_show: NAME, PLAYER and SOURCES are required")
  endif()
  set(name ${SHOW_NAME})
  if(NOT SHOW_STAGE)
    set(SHOW_STAGE ${CMAKE_CURRENT_BINARY_DIR}/stage)
  endif()

  # The show's code, once for its three programs.
  add_library(${name}_show STATIC ${SHOW_SOURCES})
  target_include_directories(${name}_show PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_libraries(${name}_show PUBLIC VantorGL::makers)
  target_compile_definitions(${name}_show PUBLIC VANTORGL_SHOW_NAME="${name}")
  set(property_file)
  if(SHOW_PROPERTY_FILE)
    get_filename_component(property_file ${SHOW_PROPERTY_FILE} ABSOLUTE)
    target_compile_definitions(${name}_show PUBLIC VANTORGL_PROPERTY_FILE="data/${name}.qelProperty")
  endif()
  if(DEFINED VANTOR_WARNINGS)
    target_compile_options(${name}_show PRIVATE ${VANTOR_WARNINGS})
  endif()

  add_executable(${name} ${SHOW_PLAYER})
  target_link_libraries(${name} PRIVATE ${name}_show)

  # The makers' programs: their whole work is in the makers' library; each main
  # only hands over the command line.
  foreach(program capture preview)
    set(main ${CMAKE_CURRENT_BINARY_DIR}/${name}-${program}-main.cpp)
    string(TOUPPER ${program} upper)
    string(SUBSTRING ${upper} 0 1 first)
    string(SUBSTRING ${program} 1 -1 rest)
    file(CONFIGURE OUTPUT ${main} CONTENT
"// Written by vantorgl_add_show: the ${program} program of the show ${name}.
#include \"makers/programs.h\"

int main(int argc, char** argv) { return VantorGL::Run${first}${rest}Program(argc, argv, &VantorGL::CreateShow); }
")
    add_executable(${name}-${program} ${main})
    target_link_libraries(${name}-${program} PRIVATE ${name}_show)
  endforeach()

  if(DEFINED VANTOR_WARNINGS)
    foreach(t ${name} ${name}-capture ${name}-preview)
      target_compile_options(${t} PRIVATE ${VANTOR_WARNINGS})
    endforeach()
  endif()

  # The stage: the working directory the programs run from.
  foreach(t ${name} ${name}-capture ${name}-preview)
    add_custom_command(TARGET ${t} POST_BUILD
      COMMAND ${CMAKE_COMMAND} -E make_directory ${SHOW_STAGE}
      COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:${t}> ${SHOW_STAGE}/
      VERBATIM)
  endforeach()
  set(data_dirs)
  foreach(dir ${SHOW_DATA})
    get_filename_component(dir ${dir} ABSOLUTE)
    list(APPEND data_dirs ${dir})
  endforeach()
  string(REPLACE ";" "|" copy_list "${data_dirs}")
  # Where the stage's data comes from, one folder a line: the preview's export
  # of sync tracks writes there too, so that a rebuild copies them back as edited.
  string(REPLACE ";" "\n" sources "${data_dirs}")
  file(CONFIGURE OUTPUT ${SHOW_STAGE}/vantorgl-sources.txt CONTENT "${sources}\n")
  add_custom_target(${name}-stage ALL
    COMMAND ${CMAKE_COMMAND} -DFROM=${copy_list} -DTO=${SHOW_STAGE}
            -DPROPERTY_FILE=${property_file} -DPROPERTY_TO=data/${name}.qelProperty
            -DGEOMETRY_STAGE=${VANTORGL_GEOMETRY_STAGE}
            -DSHADERS=${VANTORGL_SHADER_DIR}
            -P ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/VantorGLCopyData.cmake
    COMMENT "Copying ${name}'s data into its stage"
    VERBATIM)
  if(SHOW_DEPENDS)
    add_dependencies(${name}-stage ${SHOW_DEPENDS})
  endif()
  set_target_properties(${name} PROPERTIES VANTORGL_STAGE ${SHOW_STAGE})
  set(${name}_STAGE ${SHOW_STAGE} PARENT_SCOPE)
  if(SHOW_INSTALL)
    _vantorgl_install_show(${name} "${data_dirs}" "${property_file}" "${SHOW_LINKS}" "${SHOW_MANUALS}")
  endif()
endfunction()

# A path as a regular expression that matches it alone.
function(_vantorgl_regex_of path out)
  string(REGEX REPLACE "([][+.*()^$?|\\\\])" "\\\\\\1" escaped "${path}")
  set(${out} "${escaped}" PARENT_SCOPE)
endfunction()

# Debian's games layout, which the programs look for their data in: programs in
# games/, read-only data in share/games/NAME, manual pages in section 6.
function(_vantorgl_install_show name data_dirs property_file links manuals)
  install(TARGETS ${name} ${name}-capture ${name}-preview RUNTIME DESTINATION games COMPONENT ${name})
  # Stripped (the Debian package), they lose the compiler's notes too, as Debian ships programs.
  install(CODE "
    if(CMAKE_INSTALL_DO_STRIP)
      foreach(program ${name} ${name}-capture ${name}-preview)
        execute_process(COMMAND \"${CMAKE_STRIP}\" --remove-section=.comment --remove-section=.note
          \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/games/\${program}\")
      endforeach()
    endif()" COMPONENT ${name})

  # The data: what the build puts in the stage, from where the build takes it,
  # never the stage itself, which holds what a maker left there too.
  set(share share/games/${name})
  set(permissions
    FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ
    DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                          WORLD_READ WORLD_EXECUTE)
  set(left_out ${property_file})
  foreach(link ${links})
    string(REGEX MATCH "^([^=]+)=(.+)$" pair "${link}")
    if(NOT pair)
      message(FATAL_ERROR "vantorgl_add_show: LINKS takes file=target, not ${link}")
    endif()
    foreach(dir ${data_dirs})
      list(APPEND left_out ${dir}/${CMAKE_MATCH_1})
    endforeach()
  endforeach()
  foreach(dir ${data_dirs})
    set(excludes)
    foreach(file ${left_out})
      _vantorgl_regex_of(${file} re)
      list(APPEND excludes REGEX "^${re}$" EXCLUDE)
    endforeach()
    install(DIRECTORY ${dir}/ DESTINATION ${share} COMPONENT ${name} ${permissions} ${excludes})
  endforeach()
  if(property_file)
    install(FILES ${property_file} DESTINATION ${share}/data RENAME ${name}.qelProperty
      PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ COMPONENT ${name})
  endif()
  if(VANTORGL_GEOMETRY_STAGE)
    install(FILES ${VANTORGL_GEOMETRY_STAGE} DESTINATION ${share}/Data/Shaders
      PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ COMPONENT ${name})
  endif()
  # The effects' sources the stage carries from the engine, each where the
  # show's data has no version of its own (as cmake/VantorGLCopyData.cmake
  # decides for the stage).
  if(VANTORGL_SHADER_DIR)
    set(own)
    foreach(dir ${data_dirs})
      file(GLOB_RECURSE files RELATIVE ${dir} ${dir}/*)
      string(TOLOWER "${files}" files)
      list(APPEND own ${files})
    endforeach()
    file(GLOB sources ${VANTORGL_SHADER_DIR}/*.vert ${VANTORGL_SHADER_DIR}/*.frag)
    foreach(source ${sources})
      get_filename_component(file ${source} NAME)
      string(TOLOWER "data/shaders/${file}" path)
      if(NOT path IN_LIST own)
        install(FILES ${source} DESTINATION ${share}/Data/Shaders
          PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ COMPONENT ${name})
      endif()
    endforeach()
  endif()
  # A link relative to where it lies, so that it holds in a package unpacked
  # under /usr as in any prefix.
  foreach(link ${links})
    string(REGEX MATCH "^([^=]+)=(.+)$" pair "${link}")
    install(CODE "
      get_filename_component(link \"\${CMAKE_INSTALL_PREFIX}/${share}/${CMAKE_MATCH_1}\" ABSOLUTE)
      get_filename_component(dir \"\${link}\" DIRECTORY)
      file(RELATIVE_PATH target \"\${dir}\" \"${CMAKE_MATCH_2}\")
      message(STATUS \"Installing: \$ENV{DESTDIR}\${link} -> \${target}\")
      file(MAKE_DIRECTORY \"\$ENV{DESTDIR}\${dir}\")
      file(REMOVE \"\$ENV{DESTDIR}\${link}\")
      file(CREATE_LINK \"\${target}\" \"\$ENV{DESTDIR}\${link}\" SYMBOLIC)" COMPONENT ${name})
  endforeach()

  # Manual pages, compressed as Debian ships them (gzip -9n: no name, no time).
  set(pages)
  set(dir ${CMAKE_CURRENT_BINARY_DIR}/${name}-manuals)
  foreach(page ${manuals})
    get_filename_component(page ${page} ABSOLUTE)
    get_filename_component(file ${page} NAME)
    add_custom_command(OUTPUT ${dir}/${file}.gz
      COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}
      COMMAND ${CMAKE_COMMAND} -E copy ${page} ${dir}/${file}
      COMMAND gzip -9nf ${dir}/${file}
      DEPENDS ${page} VERBATIM)
    list(APPEND pages ${dir}/${file}.gz)
  endforeach()
  find_program(VANTORGL_HELP2MAN help2man)
  if(VANTORGL_HELP2MAN)
    set(version ${PROJECT_VERSION})
    if(NOT version)
      set(version 0)
    endif()
    set(capture_says "play the show ${name} off screen to PNG frames, a video or a contact sheet")
    set(preview_says "play the show ${name} in a window, for the people who make it")
    foreach(program capture preview)
      set(page ${dir}/${name}-${program}.6)
      # --help needs no display; the version is the show's project's.
      add_custom_command(OUTPUT ${page}.gz
        COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}
        COMMAND ${VANTORGL_HELP2MAN} --no-info --section=6 --version-string=${version}
                "--name=${${program}_says}" --output=${page} $<TARGET_FILE:${name}-${program}>
        COMMAND gzip -9nf ${page}
        DEPENDS ${name}-${program} VERBATIM)
      list(APPEND pages ${page}.gz)
    endforeach()
  else()
    message(WARNING "help2man not found: ${name}-capture and ${name}-preview install without manual pages")
  endif()
  add_custom_target(${name}-manuals ALL DEPENDS ${pages})
  foreach(page ${pages})
    string(REGEX MATCH "\\.([0-9])[^.]*\\.gz$" section ${page})
    install(FILES ${page} DESTINATION share/man/man${CMAKE_MATCH_1} COMPONENT ${name})
  endforeach()
endfunction()

