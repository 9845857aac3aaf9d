# kvel_find_or_skip(PART PACKAGE DEBIAN_PACKAGE [find_package arguments...])
#
# Finds a package that an optional part of the build needs. Without it the
# part is switched off, with a message naming the Debian package to install,
# and the calling CMakeLists.txt returns: a missing extra never fails the
# configure of the library.
macro(kvel_find_or_skip part package debian_package)
  find_package(${package} ${ARGN} QUIET)
  if(NOT ${package}_FOUND)
    message(WARNING "KVELRead: ${package} not found (Debian: ${debian_package}): ${part} switched off")
    return()
  endif()
endmacro()
