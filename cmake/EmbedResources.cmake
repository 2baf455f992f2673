# px_embed_resources(<target> <dir> <symbol>)
# Builds a static library <target> holding every file under <dir>/<TYPE>/<NAME>.<ext> as a
# constant table named <symbol> of type TResourceTable (platform/rtl/Classes_streams.h).
# Resource names and types are upper case; the table is constant-initialised, so nothing runs
# before main.
set(_PX_EMBED_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/EmbedResourcesGen.cmake)

function(px_embed_resources target dir symbol)
  file(GLOB_RECURSE _files CONFIGURE_DEPENDS LIST_DIRECTORIES false "${dir}/*")
  list(FILTER _files EXCLUDE REGEX "/(README[^/]*|\\.[^/]*)$")
  # resources/Languages/ ships beside the program (app/CMakeLists.txt copies it).
  list(FILTER _files EXCLUDE REGEX "/resources/Languages/")
  list(SORT _files)
  set(_out ${CMAKE_CURRENT_BINARY_DIR}/${target}_table.cpp)
  add_custom_command(
    OUTPUT ${_out}
    COMMAND ${CMAKE_COMMAND} -DOUT=${_out} -DDIR=${dir} -DSYMBOL=${symbol} -P ${_PX_EMBED_SCRIPT}
    DEPENDS ${_files} ${_PX_EMBED_SCRIPT}
    COMMENT "Embedding resources of ${dir}"
    VERBATIM)
  add_library(${target} STATIC ${_out})
  target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR})
endfunction()
