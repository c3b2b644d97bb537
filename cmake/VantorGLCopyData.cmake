# The stage's copied data (cmake -P script of vantorgl_add_show): the content of
# each folder in FROM ("|"-separated) into TO, and the engine's geometry stage to
# TO/Data/Shaders/test.geom, where the geometry effect reads it. A file whose copy
# there has the same time stamp is left alone.
string(REPLACE "|" ";" dirs "${FROM}")
foreach(dir ${dirs})
  if(IS_DIRECTORY ${dir})
    file(COPY ${dir}/ DESTINATION ${TO})
  endif()
endforeach()
if(GEOMETRY_STAGE AND EXISTS ${GEOMETRY_STAGE})
  file(COPY ${GEOMETRY_STAGE} DESTINATION ${TO}/Data/Shaders)
endif()
