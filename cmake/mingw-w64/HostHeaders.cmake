# A header-only library installed for the build machine, offered to the
# Windows build through a folder of links to its own headers only: the
# build machine's /usr/include itself would put the Linux C library's
# headers before mingw's.
function(quorin_host_headers target)
  if(TARGET ${target})
    return()
  endif()
  set(folder ${CMAKE_BINARY_DIR}/host-headers)
  file(MAKE_DIRECTORY ${folder})
  foreach(name ${ARGN})
    if(NOT EXISTS /usr/include/${name})
      message(FATAL_ERROR "/usr/include/${name} is missing: run tools/setup-deps.sh")
    endif()
    if(NOT EXISTS ${folder}/${name})
      file(CREATE_LINK /usr/include/${name} ${folder}/${name} SYMBOLIC)
    endif()
  endforeach()
  add_library(${target} INTERFACE IMPORTED)
  set_target_properties(${target} PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${folder})
endfunction()
