# What `cmake --install` puts in place, and so what the Debian package (debian/) ships: the programs,
# their manual pages and completions, the files that open the monitors' I2C buses to the session user,
# the desktop entry, the icons, the AppStream metadata, the D-Bus activation file and the documents.

set(BRIVIO_ID dev.brivio.Brivio)

if(TARGET brivio)
  install(TARGETS brivio RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
if(TARGET brivioctl)
  install(TARGETS brivioctl RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
if(BRIVIO_MANUAL_DIR)
  set(manual_pages ${BRIVIO_MANUAL_DIR}/brivioctl.1)
  if(TARGET brivio)
    list(APPEND manual_pages ${BRIVIO_MANUAL_DIR}/brivio.1)
  endif()
  install(FILES ${manual_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${BRIVIO_MANUAL_DIR}/brivioctl.bash DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
    RENAME brivioctl)
  install(FILES ${BRIVIO_MANUAL_DIR}/_brivioctl DESTINATION ${CMAKE_INSTALL_DATADIR}/zsh/vendor-completions)
  install(FILES ${BRIVIO_MANUAL_DIR}/brivioctl.fish DESTINATION ${CMAKE_INSTALL_DATADIR}/fish/vendor_completions.d)
endif()

install(FILES packaging/udev/60-brivio-i2c.rules DESTINATION ${BRIVIO_UDEV_RULES_DIR})
install(FILES packaging/modules-load.d/brivio.conf DESTINATION ${BRIVIO_MODULES_LOAD_DIR})
install(FILES packaging/sysusers.d/brivio.conf DESTINATION ${BRIVIO_SYSUSERS_DIR})

if(TARGET brivio)
  install(FILES packaging/${BRIVIO_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES packaging/${BRIVIO_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  # A bus call to the agent's name starts it in the graphical session.
  configure_file(packaging/${BRIVIO_ID}.service.in ${CMAKE_BINARY_DIR}/packaging/${BRIVIO_ID}.service @ONLY)
  install(FILES ${CMAKE_BINARY_DIR}/packaging/${BRIVIO_ID}.service DESTINATION ${CMAKE_INSTALL_DATADIR}/dbus-1/services)
  # The agent's bus interfaces, for tools that generate clients from them (docs/dbus.md).
  install(FILES src/app/bus/${BRIVIO_ID}.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/dbus-1/interfaces)

  install(FILES packaging/brivio.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
    RENAME ${BRIVIO_ID}.svg)
  # Bitmaps in the sizes menus, docks and software centres look for, rendered from the one drawing.
  find_program(RSVG_CONVERT rsvg-convert)
  if(RSVG_CONVERT)
    set(icons)
    foreach(size 16 22 24 32 48 64 128 256)
      set(icon ${CMAKE_BINARY_DIR}/icons/${size}x${size}/${BRIVIO_ID}.png)
      add_custom_command(OUTPUT ${icon}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/icons/${size}x${size}
        COMMAND ${RSVG_CONVERT} -w ${size} -h ${size} -o ${icon} ${CMAKE_SOURCE_DIR}/packaging/brivio.svg
        DEPENDS ${CMAKE_SOURCE_DIR}/packaging/brivio.svg)
      list(APPEND icons ${icon})
      install(FILES ${icon} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
    endforeach()
    add_custom_target(icons ALL DEPENDS ${icons})
  endif()
endif()

install(FILES README.md docs/linux.md docs/dbus.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
file(GLOB example_desks ${CMAKE_SOURCE_DIR}/examples/*.json)
install(FILES ${example_desks} DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)
