# Debian's lib3ds (1.3) ships no pkg-config file: when pkg-config does not find
# it, look for the library and its headers directly and give them the same
# target name. Included after pkg_check_modules(LIB3DS ...).
if(NOT LIB3DS_FOUND)
  find_library(LIB3DS_LIBRARY NAMES 3ds 3ds-1)
  find_path(LIB3DS_INCLUDE_DIR lib3ds/file.h)
  if(LIB3DS_LIBRARY AND LIB3DS_INCLUDE_DIR)
    if(NOT TARGET PkgConfig::LIB3DS)
      add_library(PkgConfig::LIB3DS UNKNOWN IMPORTED)
      set_target_properties(PkgConfig::LIB3DS PROPERTIES
        IMPORTED_LOCATION ${LIB3DS_LIBRARY}
        INTERFACE_INCLUDE_DIRECTORIES ${LIB3DS_INCLUDE_DIR})
    endif()
    set(LIB3DS_FOUND 1)
  endif()
endif()
