# The Qt desktop app: the shell library around the panel pages and the `brivio` executable.
# Included from the top-level CMakeLists.txt when Qt 6 is found.

find_package(X11 QUIET)
pkg_check_modules(XCB QUIET IMPORTED_TARGET xcb)

brivio_layer(app_shell app/shell brivio_app_panel brivio_app_bus brivio_app brivio_core brivio_shortcuts brivio_platform_sim
  brivio_platform_linux Qt6::Widgets Qt6::DBus)
set_target_properties(brivio_app_shell PROPERTIES AUTOMOC ON)
# Qt's `signals`/`slots`/`emit` macros clash with the base layer's names (Signal.h has `slots_`).
target_compile_definitions(brivio_app_shell PUBLIC QT_NO_KEYWORDS)
if(X11_FOUND AND XCB_FOUND)
  # Key grabs and the compositor check talk to the X server the Qt platform plugin is connected to.
  target_link_libraries(brivio_app_shell PUBLIC X11::X11 PkgConfig::XCB)
  target_compile_definitions(brivio_app_shell PUBLIC BRIVIO_HAVE_X11=1)
endif()

add_executable(brivio app/main.cpp)
target_link_libraries(brivio PRIVATE brivio_app_shell)
target_compile_definitions(brivio PRIVATE BRIVIO_VERSION="${PROJECT_VERSION}")

# Installation and the Debian package: the app, the command line, the udev rule that opens the
# monitors' I2C channels to the session user, the desktop entry and the icon.
include(GNUInstallDirs)
install(TARGETS brivio RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The command line is defined later in the tree; install it once the whole tree is read.
function(brivio_install_cli)
  if(TARGET brivioctl)
    install(TARGETS brivioctl RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endfunction()
cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL brivio_install_cli)
install(FILES packaging/udev/60-brivio-i2c.rules DESTINATION lib/udev/rules.d)
install(FILES packaging/modules-load.d/brivio.conf DESTINATION lib/modules-load.d)
install(FILES packaging/sysusers.d/brivio.conf DESTINATION lib/sysusers.d)
install(FILES packaging/brivio.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES packaging/brivio.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
# The agent's bus interfaces, for tools that generate clients from them (docs/dbus.md).
install(FILES src/app/bus/dev.brivio.Brivio.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/dbus-1/interfaces)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME brivio)
set(CPACK_PACKAGE_VENDOR "Brivio")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Brightness, contrast and volume for every display")
set(CPACK_PACKAGE_CONTACT "Brivio maintainers <maintainers@brivio.invalid>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
include(CPack)
