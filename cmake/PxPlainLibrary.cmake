# Finds a library that ships no CMake or pkg-config file by its header and library name, and
# makes it the imported target <name>::<name>. Used by the Find modules beside this file, which
# are installed with the package's config file and find the library again on the using machine.
macro(px_find_plain_library name header)
  find_path(${name}_INCLUDE_DIR ${header})
  find_library(${name}_LIBRARY NAMES ${name})
  include(FindPackageHandleStandardArgs)
  find_package_handle_standard_args(${name} REQUIRED_VARS ${name}_LIBRARY ${name}_INCLUDE_DIR)
  if(${name}_FOUND AND NOT TARGET ${name}::${name})
    add_library(${name}::${name} UNKNOWN IMPORTED)
    set_target_properties(${name}::${name} PROPERTIES
      IMPORTED_LOCATION "${${name}_LIBRARY}"
      INTERFACE_INCLUDE_DIRECTORIES "${${name}_INCLUDE_DIR}")
  endif()
  mark_as_advanced(${name}_INCLUDE_DIR ${name}_LIBRARY)
endmacro()
