# The installation's folders. The package's folder under share/doc is named after the package, not
# after the project; udev, modules-load.d and sysusers.d read the lib/ folders of /usr and /usr/local.
if(NOT CMAKE_INSTALL_DOCDIR)
  set(CMAKE_INSTALL_DOCDIR share/doc/brivio CACHE PATH "Documentation folder" FORCE)
endif()
include(GNUInstallDirs)
set(BRIVIO_UDEV_RULES_DIR ${CMAKE_INSTALL_PREFIX}/lib/udev/rules.d)
set(BRIVIO_MODULES_LOAD_DIR ${CMAKE_INSTALL_PREFIX}/lib/modules-load.d)
set(BRIVIO_SYSUSERS_DIR ${CMAKE_INSTALL_PREFIX}/lib/sysusers.d)
set(BRIVIO_GENERATED_DIR ${CMAKE_BINARY_DIR}/generated)
configure_file(${CMAKE_CURRENT_LIST_DIR}/InstallPaths.h.in ${BRIVIO_GENERATED_DIR}/base/InstallPaths.h @ONLY)

# brivio_uses_install_paths(TARGET SOURCES...): these sources of TARGET include base/InstallPaths.h.
function(brivio_uses_install_paths target)
  list(TRANSFORM ARGN PREPEND ${CMAKE_SOURCE_DIR}/)
  set_source_files_properties(${ARGN} TARGET_DIRECTORY ${target}
    PROPERTIES INCLUDE_DIRECTORIES ${BRIVIO_GENERATED_DIR})
endfunction()
