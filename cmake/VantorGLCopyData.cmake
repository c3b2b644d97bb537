# The stage's copied data (cmake -P script of vantorgl_add_show): the content of
# each folder in FROM ("|"-separated) into TO, the show's PROPERTY_FILE to
# TO/PROPERTY_TO (not under its own name too, where it lies in one of the
# folders), and the engine's geometry stage to TO/Data/Shaders/test.geom, where
# the geometry effect reads it. A file whose copy there has the same time stamp
# is left alone.
string(REPLACE "|" ";" dirs "${FROM}")
foreach(dir ${dirs})
  if(IS_DIRECTORY ${dir})
    file(COPY ${dir}/ DESTINATION ${TO})
    if(PROPERTY_FILE)
      file(RELATIVE_PATH inside ${dir} ${PROPERTY_FILE})
      if(NOT inside MATCHES "^\\.\\./" AND NOT inside STREQUAL PROPERTY_TO)
        file(REMOVE ${TO}/${inside})
      endif()
    endif()
  endif()
endforeach()
if(PROPERTY_FILE)
  get_filename_component(property_dir ${TO}/${PROPERTY_TO} DIRECTORY)
  file(MAKE_DIRECTORY ${property_dir})
  file(COPY_FILE ${PROPERTY_FILE} ${TO}/${PROPERTY_TO} ONLY_IF_DIFFERENT)
endif()
if(GEOMETRY_STAGE AND EXISTS ${GEOMETRY_STAGE})
  file(COPY ${GEOMETRY_STAGE} DESTINATION ${TO}/Data/Shaders)
endif()
