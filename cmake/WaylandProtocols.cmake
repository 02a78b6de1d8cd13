# Client code for the Wayland protocols the Linux backend speaks, made by wayland-scanner at build time:
# the wlroots ones from src/platform/linux/protocols, the stable and unstable ones from Debian's
# wayland-protocols package. Defines `brivio_wayland_protocols` (C) with the headers on its include path.

enable_language(C)
pkg_get_variable(BRIVIO_WAYLAND_SCANNER wayland-scanner wayland_scanner)
pkg_get_variable(BRIVIO_WAYLAND_PROTOCOLS_DIR wayland-protocols pkgdatadir)

set(brivio_wayland_xml
  ${CMAKE_SOURCE_DIR}/src/platform/linux/protocols/wlr-layer-shell-unstable-v1.xml
  ${CMAKE_SOURCE_DIR}/src/platform/linux/protocols/wlr-gamma-control-unstable-v1.xml
  ${CMAKE_SOURCE_DIR}/src/platform/linux/protocols/wlr-output-management-unstable-v1.xml
  # The layer shell's popups are xdg popups.
  ${BRIVIO_WAYLAND_PROTOCOLS_DIR}/stable/xdg-shell/xdg-shell.xml
  ${BRIVIO_WAYLAND_PROTOCOLS_DIR}/stable/viewporter/viewporter.xml
  ${BRIVIO_WAYLAND_PROTOCOLS_DIR}/unstable/xdg-output/xdg-output-unstable-v1.xml)

set(generated_dir ${CMAKE_BINARY_DIR}/wayland)
file(MAKE_DIRECTORY ${generated_dir})
set(generated_sources)
foreach(xml ${brivio_wayland_xml})
  get_filename_component(name ${xml} NAME_WE)
  add_custom_command(
    OUTPUT ${generated_dir}/${name}-client-protocol.h ${generated_dir}/${name}-protocol.c
    COMMAND ${BRIVIO_WAYLAND_SCANNER} client-header ${xml} ${generated_dir}/${name}-client-protocol.h
    COMMAND ${BRIVIO_WAYLAND_SCANNER} private-code ${xml} ${generated_dir}/${name}-protocol.c
    DEPENDS ${xml}
    VERBATIM)
  list(APPEND generated_sources ${generated_dir}/${name}-client-protocol.h ${generated_dir}/${name}-protocol.c)
endforeach()

# The tests' stand-in compositor serves gamma control itself: its side of the protocol.
add_custom_command(
  OUTPUT ${generated_dir}/wlr-gamma-control-unstable-v1-server-protocol.h
  COMMAND ${BRIVIO_WAYLAND_SCANNER} server-header
    ${CMAKE_SOURCE_DIR}/src/platform/linux/protocols/wlr-gamma-control-unstable-v1.xml
    ${generated_dir}/wlr-gamma-control-unstable-v1-server-protocol.h
  DEPENDS ${CMAKE_SOURCE_DIR}/src/platform/linux/protocols/wlr-gamma-control-unstable-v1.xml
  VERBATIM)
add_custom_target(brivio_wayland_server_headers
  DEPENDS ${generated_dir}/wlr-gamma-control-unstable-v1-server-protocol.h)

add_library(brivio_wayland_protocols STATIC ${generated_sources})
target_include_directories(brivio_wayland_protocols PUBLIC ${generated_dir})
target_link_libraries(brivio_wayland_protocols PUBLIC PkgConfig::WAYLAND)
# Generated code: its style is the scanner's.
target_compile_options(brivio_wayland_protocols PRIVATE -w)
set_target_properties(brivio_wayland_protocols PROPERTIES UNITY_BUILD OFF)
