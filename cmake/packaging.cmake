# Debian packages, one for each install component:
#   libkvelread1     runtime      the shared library under its SONAME
#   libkvelread-dev  development  header, libKVELRead.so, the static library
#                                 (KVEL_ALSO_STATIC), CMake package, pkg-config
#   kvel             tool         the tool and its manual page
# Made from the release preset: cpack --preset release. dpkg-shlibdeps finds
# each package's system dependencies; the dependencies between the three are
# those of their components, for the exact version built together.
set(CPACK_PACKAGE_NAME kvelread)
set(CPACK_PACKAGE_VENDOR "KVELRead developers")
set(CPACK_PACKAGE_CONTACT "KVELRead developers <kvelread@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "loads and validates KVMF music-structure files")
set(CPACK_VERBATIM_VARIABLES ON)

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL runtime development tool)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
# A shlibs file for the package that holds a shared library (libkvelread1),
# so that programs built against it depend on it.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
# kvel needs libKVELRead.so.1, which no installed package holds yet: take it
# from the build tree; its package comes from the component dependency.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${PROJECT_BINARY_DIR}/KVELRead)

set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME libkvelread${PROJECT_VERSION_MAJOR})
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
set(CPACK_COMPONENT_RUNTIME_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION_SUMMARY} (library)
KVELRead loads KVMF files, big-endian files that describe the musical
structure of a recording, and checks them against the format's rules. This
package holds the shared library.")

set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME libkvelread-dev)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_COMPONENT_DEVELOPMENT_DEPENDS runtime)
set(CPACK_COMPONENT_DEVELOPMENT_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION_SUMMARY} (development files)
The header KVELRead.h, the static library, and the CMake package
(find_package(KVELRead)) and pkg-config file (KVELRead) to build against
KVELRead.")

set(CPACK_DEBIAN_TOOL_PACKAGE_NAME kvel)
set(CPACK_DEBIAN_TOOL_PACKAGE_SECTION utils)
set(CPACK_COMPONENT_TOOL_DEPENDS runtime)
set(CPACK_COMPONENT_TOOL_DESCRIPTION "checks and shows KVMF music-structure files
kvel checks KVMF files in bulk with KVELRead, shows every field of a file, and
builds files from JSON.")

include(CPack)

# The packages as a user gets them: unpacked into a scratch root, built
# against and run from there. A build for the packages' prefix (the release
# preset's) runs it.
find_program(KVEL_DPKG_DEB dpkg-deb)
if(CMAKE_INSTALL_PREFIX STREQUAL "/usr" AND KVEL_DPKG_DEB AND TARGET kvel AND NOT CMAKE_CROSSCOMPILING)
  add_test(NAME package.deb
    COMMAND ${PROJECT_SOURCE_DIR}/tests/consumer/check-debs
            ${CMAKE_CPACK_COMMAND} ${PROJECT_BINARY_DIR} ${PROJECT_BINARY_DIR}/package-check)
  set_tests_properties(package.deb PROPERTIES LABELS package)
endif()
