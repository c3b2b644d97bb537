# The stage's copied data (cmake -P script of vantorgl_add_show): the content of
# each folder in FROM ("|"-separated) into TO, and the engine's geometry stage to
# TO/Data/Shaders/test.geom, where the geometry effect reads it. A file whose copy
# there has the same time stamp is left alone.
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
    list(APPEND copied ${files})
  endif()
endforeach()
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
