# Finds libwmf through pkg-config as the imported targets wmf::wmf and wmf::wmflite. They are the
# library files themselves, not an interface target, so that a target naming them keeps them in its
# order on the link line: libuemf exports functions of libwmf's names (wmf_free... of libwmflite),
# and both libwmf libraries must come before it for libwmf to find its own.
find_package(PkgConfig QUIET)
if(PkgConfig_FOUND)
  pkg_check_modules(_PX_WMF QUIET libwmf)
endif()
set(_px_wmf_main "")
set(_px_wmf_lite "")
set(_px_wmf_rest "")
foreach(_px_lib IN LISTS _PX_WMF_LINK_LIBRARIES)
  if(_px_lib MATCHES "/libwmflite[^/]*$")
    set(_px_wmf_lite "${_px_lib}")
  elseif(_px_lib MATCHES "/libwmf[^/]*$" AND NOT _px_wmf_main)
    set(_px_wmf_main "${_px_lib}")
  else()
    list(APPEND _px_wmf_rest "${_px_lib}")
  endif()
endforeach()
set(wmf_LIBRARY "${_px_wmf_main}" CACHE FILEPATH "libwmf")
set(wmf_LITE_LIBRARY "${_px_wmf_lite}" CACHE FILEPATH "libwmflite")
include(FindPackageHandleStandardArgs)
find_package_handle_standard_args(wmf REQUIRED_VARS wmf_LIBRARY wmf_LITE_LIBRARY)
if(wmf_FOUND AND NOT TARGET wmf::wmf)
  add_library(wmf::wmflite UNKNOWN IMPORTED)
  set_target_properties(wmf::wmflite PROPERTIES IMPORTED_LOCATION "${wmf_LITE_LIBRARY}")
  add_library(wmf::wmf UNKNOWN IMPORTED)
  set_target_properties(wmf::wmf PROPERTIES
    IMPORTED_LOCATION "${wmf_LIBRARY}"
    INTERFACE_LINK_LIBRARIES "wmf::wmflite;${_px_wmf_rest}"
    INTERFACE_INCLUDE_DIRECTORIES "${_PX_WMF_INCLUDE_DIRS}"
    INTERFACE_COMPILE_OPTIONS "${_PX_WMF_CFLAGS_OTHER}")
endif()
mark_as_advanced(wmf_LIBRARY wmf_LITE_LIBRARY)
