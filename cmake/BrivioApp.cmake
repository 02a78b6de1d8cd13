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
