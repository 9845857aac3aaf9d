# A header-only library of the Linux system, for the cross build: its headers
# are seen through a directory that holds them alone, so that the Linux C
# headers beside them in /usr/include stay out of the Windows build.
function(kvel_host_headers target subdir)
  if(TARGET ${target})
    return()
  endif()
  if(NOT EXISTS /usr/include/${subdir})
    message(FATAL_ERROR "/usr/include/${subdir} is missing: install the package's -dev package")
  endif()
  set(staged ${CMAKE_BINARY_DIR}/host-headers/${subdir})
  file(MAKE_DIRECTORY ${staged})
  file(CREATE_LINK /usr/include/${subdir} ${staged}/${subdir} SYMBOLIC)
  add_library(${target} INTERFACE IMPORTED)
  set_target_properties(${target} PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${staged})
endfunction()
