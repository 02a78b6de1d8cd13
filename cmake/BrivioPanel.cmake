# The panel pages of the desktop app (a library, so the page tests link them without the shell).
# Included from the top-level CMakeLists.txt before the app itself.

file(GLOB panel_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/src/app/panel/*.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/src/app/panel/*.h)
add_library(brivio_app_panel STATIC ${panel_sources} ${CMAKE_CURRENT_SOURCE_DIR}/src/app/panel/panel.qrc)
target_include_directories(brivio_app_panel PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/src)
target_link_libraries(brivio_app_panel PUBLIC brivio_app brivio_core brivio_modes brivio_settings
  brivio_schedule brivio_shortcuts Qt6::Widgets Qt6::Gui)
set_target_properties(brivio_app_panel PROPERTIES AUTOMOC ON AUTORCC ON)
# Qt's `signals`/`slots`/`emit` macros clash with the base layer's names (Signal.h has `slots_`).
target_compile_definitions(brivio_app_panel PUBLIC QT_NO_KEYWORDS)
# Deployment values of the settings page: where the compatibility report and "Contact" send mail, and
# the build shown after the version ("?" when empty).
set(BRIVIO_SUPPORT_ADDRESS "support@brivio.invalid" CACHE STRING "Support mail address shown by the app")
set(BRIVIO_BUILD "" CACHE STRING "Build number shown after the app's version")
target_compile_definitions(brivio_app_panel PRIVATE BRIVIO_SUPPORT_ADDRESS="${BRIVIO_SUPPORT_ADDRESS}"
  BRIVIO_BUILD="${BRIVIO_BUILD}")
