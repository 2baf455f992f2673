# Finds libemf2svg (it ships no CMake or pkg-config file) as the imported target emf2svg::emf2svg.
# Used by the build and installed with the package's config file, which finds it again.
find_path(emf2svg_INCLUDE_DIR emf2svg.h)
find_library(emf2svg_LIBRARY NAMES emf2svg)
include(FindPackageHandleStandardArgs)
find_package_handle_standard_args(emf2svg REQUIRED_VARS emf2svg_LIBRARY emf2svg_INCLUDE_DIR)
if(emf2svg_FOUND AND NOT TARGET emf2svg::emf2svg)
  add_library(emf2svg::emf2svg UNKNOWN IMPORTED)
  set_target_properties(emf2svg::emf2svg PROPERTIES
    IMPORTED_LOCATION "${emf2svg_LIBRARY}"
    INTERFACE_INCLUDE_DIRECTORIES "${emf2svg_INCLUDE_DIR}")
endif()
mark_as_advanced(emf2svg_INCLUDE_DIR emf2svg_LIBRARY)
