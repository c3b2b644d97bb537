# The stage's copied data (cmake -P script of vantorgl_add_show): the content of
# each folder in FROM ("|"-separated) into TO, the show's PROPERTY_FILE to
# TO/PROPERTY_TO (not under its own name too, where it lies in one of the
# folders), and the engine's geometry stage to TO/Data/Shaders/test.geom, where
# the geometry effect reads it. A file whose copy there has the same time stamp
# is left alone.
#
# The stage follows the folders: a file the last copy put there that none of
# them holds any longer is removed, or the programs would go on using an asset
# the maker deleted. What the copies put there is listed beside the stage, in
# TO.files; the rest of the stage (the programs, generated data, logs and
# captures) is left alone.
cmake_policy(VERSION 3.25)
string(REPLACE "|" ";" dirs "${FROM}")
set(copied)
foreach(dir ${dirs})
  if(IS_DIRECTORY ${dir})
    file(COPY ${dir}/ DESTINATION ${TO})
    file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE ${dir} ${dir}/*)
    if(PROPERTY_FILE)
      file(RELATIVE_PATH inside ${dir} ${PROPERTY_FILE})
      if(NOT inside MATCHES "^\\.\\./" AND NOT inside STREQUAL PROPERTY_TO)
        file(REMOVE ${TO}/${inside})
        list(REMOVE_ITEM files ${inside})
      endif()
    endif()
    list(APPEND copied ${files})
  endif()
endforeach()
if(PROPERTY_FILE)
  get_filename_component(property_dir ${TO}/${PROPERTY_TO} DIRECTORY)
  file(MAKE_DIRECTORY ${property_dir})
  file(COPY_FILE ${PROPERTY_FILE} ${TO}/${PROPERTY_TO} ONLY_IF_DIFFERENT)
  list(APPEND copied ${PROPERTY_TO})
endif()
set(listing ${TO}.files)
if(EXISTS ${listing})
  file(STRINGS ${listing} before)
  foreach(file IN LISTS before)
    if(NOT file STREQUAL "" AND NOT file IN_LIST copied)
      file(REMOVE ${TO}/${file})
    endif()
  endforeach()
endif()
list(REMOVE_DUPLICATES copied)
list(JOIN copied "\n" text)
file(WRITE ${listing} "${text}\n")
if(GEOMETRY_STAGE AND EXISTS ${GEOMETRY_STAGE})
  file(COPY ${GEOMETRY_STAGE} DESTINATION ${TO}/Data/Shaders)
endif()

# The effects' GLSL sources (SHADERS: the engine's folder of them) to
# TO/Data/Shaders, where the engine reads them; a show whose data holds its own
# version of one (the same path, in any case) keeps it.
if(SHADERS AND IS_DIRECTORY ${SHADERS})
  set(own)
  foreach(dir ${dirs})
    file(GLOB_RECURSE files RELATIVE ${dir} ${dir}/*)
    foreach(file ${files})
      string(TOLOWER ${file} file)
      list(APPEND own ${file})
    endforeach()
  endforeach()
  file(GLOB sources ${SHADERS}/*.vert ${SHADERS}/*.frag)
  foreach(source ${sources})
    get_filename_component(name ${source} NAME)
    string(TOLOWER "data/shaders/${name}" path)
    list(FIND own "${path}" found)
    if(found EQUAL -1)
      file(COPY ${source} DESTINATION ${TO}/Data/Shaders)
    endif()
  endforeach()
endif()
