# Install: the library, its header, a CMake package and a pkg-config file,
# in two components that the Debian packages follow: `runtime`, the shared
# library under its SONAME; `development`, everything a program is built with.
include(CMakePackageConfigHelpers)
install(TARGETS ${KVEL_LIBRARY_TARGETS} EXPORT KVELReadTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime NAMELINK_COMPONENT development
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT development
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime
  PUBLIC_HEADER DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT development)
set(KVELREAD_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/KVELRead)
install(EXPORT KVELReadTargets NAMESPACE KVELRead:: DESTINATION ${KVELREAD_CMAKE_DIR}
  COMPONENT development)
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/KVELReadConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/KVELReadConfig.cmake
  INSTALL_DESTINATION ${KVELREAD_CMAKE_DIR})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/KVELReadConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/KVELReadConfig.cmake
  ${CMAKE_CURRENT_BINARY_DIR}/KVELReadConfigVersion.cmake
  DESTINATION ${KVELREAD_CMAKE_DIR} COMPONENT development)
# The .pc file finds its prefix from its own place, so that an install with
# `cmake --install --prefix DIR` works wherever DIR is.
file(RELATIVE_PATH KVELREAD_PC_TO_PREFIX /prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig /prefix)
configure_file(${PROJECT_SOURCE_DIR}/cmake/KVELRead.pc.in ${CMAKE_CURRENT_BINARY_DIR}/KVELRead.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/KVELRead.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig
  COMPONENT development)
