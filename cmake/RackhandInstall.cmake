# cmake --install: both programs in bin/, a desktop entry and a scalable icon for each
# under share/, and the helper's symbolic tray icon. The login item writes its autostart entry from the main program's own
# folder, so an installed Rackhand starts the installed RackhandHelper.
set(RACKHAND_DESKTOP_DIR ${CMAKE_SOURCE_DIR}/Resources/desktop)

foreach(program Rackhand RackhandHelper)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()

foreach(id com.yourcompany.Rackhand com.yourcompany.Rackhand.helper-agent)
  # Written at install time, so the entry names the prefix actually installed to (--prefix).
  install(CODE "
    set(RACKHAND_DESKTOP_BINDIR \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
    set(entry \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/applications/${id}.desktop\")
    message(STATUS \"Installing: \${entry}\")
    configure_file(\"${RACKHAND_DESKTOP_DIR}/${id}.desktop.in\" \"\${entry}\" @ONLY)
  ")
  install(FILES ${RACKHAND_DESKTOP_DIR}/${id}.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
endforeach()
# The tray icon's symbolic form, which tray hosts colour for their panel.
install(FILES ${RACKHAND_DESKTOP_DIR}/com.yourcompany.Rackhand.helper-agent-symbolic.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
