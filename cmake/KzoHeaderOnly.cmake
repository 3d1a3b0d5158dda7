# kzo_find_header_only(<variable> <folder> <probe-header>)
#
# Sets <variable> to an include directory that holds <folder>/<probe-header>,
# for a header-only library such as RapidJSON or Boost.
#
# A native build searches the usual places. A cross build whose toolchain file
# sets KZO_HOST_HEADER_ONLY_INCLUDE_DIR takes the library from that directory
# of the build machine (its headers do not depend on the target), and hands
# out a folder of the build tree that links to <folder> alone: adding the
# host's whole include directory would put its C library's headers before the
# target's.
function(kzo_find_header_only variable folder probe)
  if(NOT DEFINED KZO_HOST_HEADER_ONLY_INCLUDE_DIR)
    find_path(${variable} ${folder}/${probe} REQUIRED)
    return()
  endif()
  find_path(KZO_HOST_${variable} ${folder}/${probe}
    HINTS ${KZO_HOST_HEADER_ONLY_INCLUDE_DIR}
    NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH REQUIRED)
  set(only "${PROJECT_BINARY_DIR}/header-only/${folder}")
  file(MAKE_DIRECTORY "${only}")
  if(NOT EXISTS "${only}/${folder}")
    file(CREATE_LINK "${KZO_HOST_${variable}}/${folder}" "${only}/${folder}" SYMBOLIC)
  endif()
  set(${variable} "${only}" CACHE PATH "Include directory of ${folder} alone" FORCE)
endfunction()
