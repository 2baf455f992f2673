# Script mode: writes OUT, a C++ table of the files under DIR, named SYMBOL.
file(GLOB_RECURSE _files LIST_DIRECTORIES false "${DIR}/*")
list(FILTER _files EXCLUDE REGEX "/(README[^/]*|\\.[^/]*)$")
# resources/Languages/ ships beside the program (app/CMakeLists.txt copies it).
list(FILTER _files EXCLUDE REGEX "/resources/Languages/")
list(SORT _files)
set(_body "")
set(_entries "")
set(_i 0)
foreach(_f IN LISTS _files)
  file(RELATIVE_PATH _rel ${DIR} ${_f})
  string(REPLACE "/" ";" _parts "${_rel}")
  list(LENGTH _parts _n)
  if(NOT _n EQUAL 2)
    continue()
  endif()
  list(GET _parts 0 _type)
  list(GET _parts 1 _file)
  get_filename_component(_name "${_file}" NAME_WE)
  string(TOUPPER "${_type}" _type)
  string(TOUPPER "${_name}" _name)
  file(READ ${_f} _hex HEX)
  string(LENGTH "${_hex}" _len)
  math(EXPR _size "${_len} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," _bytes "${_hex}")
  string(APPEND _body "static const unsigned char r${_i}[] = {${_bytes}0};\n")
  string(APPEND _entries "  {\"${_name}\", \"${_type}\", r${_i}, ${_size}},\n")
  math(EXPR _i "${_i} + 1")
endforeach()
if(_i EQUAL 0)
  set(_entries "  {nullptr, nullptr, nullptr, 0},\n")
endif()
file(WRITE ${OUT}.tmp
"// Generated from the resources folder; do not edit.
#include \"platform/rtl/Classes_streams.h\"
${_body}
static const TResourceEntry entries[] = {
${_entries}};
extern const TResourceTable ${SYMBOL} = {entries, ${_i}};
")
file(COPY_FILE ${OUT}.tmp ${OUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUT}.tmp)
