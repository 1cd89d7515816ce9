# The package kxvantor: the launcher and everything on a desk beside it.
set(component kxvantor)

# KXVantor lives in a folder of its own, with what it looks for beside itself: its fonts and
# regsvr32. The command /usr/bin/KXVantor runs it with its data root in the user's data folder.
install(TARGETS KXVantor RUNTIME DESTINATION ${KX_LAUNCHER_DIR} COMPONENT ${component})
kx_configure(kxvantor/KXVantor.in KXVantor)
install(PROGRAMS ${generated}/KXVantor DESTINATION bin COMPONENT ${component})
install(PROGRAMS kxvantor/kxvantor-runas DESTINATION ${KX_LAUNCHER_DIR} COMPONENT ${component})

install(TARGETS regsvr32 kxreg kxrowset kxdiag RUNTIME DESTINATION bin COMPONENT ${component})
kx_install_link(${component} ${KX_LAUNCHER_DIR} regsvr32 ../../../bin/regsvr32)

install(TARGETS ZNErrHandler kxcompression kxwhitelabel
        LIBRARY DESTINATION ${KX_COMPONENT_DIR} COMPONENT ${component})
# The files the maintainer scripts register and unregister.
set(KX_COMPONENT_FILES "")
foreach(library ZNErrHandler kxcompression kxwhitelabel)
  string(APPEND KX_COMPONENT_FILES " ${KX_PREFIX}/${KX_COMPONENT_DIR}/$<TARGET_FILE_NAME:${library}>")
endforeach()
string(STRIP "${KX_COMPONENT_FILES}" KX_COMPONENT_FILES)

# The fonts are system fonts; the launcher finds them beside itself through links. The one list
# of the launcher's fonts names them.
file(STRINGS ${PROJECT_SOURCE_DIR}/launcher/fonts/font-files.txt launcher_font_names)
foreach(name IN LISTS launcher_font_names)
  install(FILES ${PROJECT_SOURCE_DIR}/launcher/fonts/${name} DESTINATION ${KX_FONT_DIR}
    COMPONENT ${component})
  kx_install_link(${component} ${KX_LAUNCHER_DIR} ${name} ../../../${KX_FONT_DIR}/${name})
endforeach()
# Fonts that install runs put in the machine's fonts folder are seen by every program.
kx_configure(kxvantor/fonts.conf.in ${KX_FONTCONFIG_FILE})
install(FILES ${generated}/${KX_FONTCONFIG_FILE} DESTINATION share/fontconfig/conf.avail
        COMPONENT ${component})
kx_install_link(${component} /etc/fonts/conf.d ${KX_FONTCONFIG_FILE}
                ${KX_PREFIX}/share/fontconfig/conf.avail/${KX_FONTCONFIG_FILE})

# Menu entry, icon, software-centre description, the elevation prompt.
install(FILES kxvantor/${KX_APP_ID}.desktop DESTINATION share/applications COMPONENT ${component})
install(FILES kxvantor/${KX_APP_ID}.svg DESTINATION share/icons/hicolor/scalable/apps
        COMPONENT ${component})
kx_configure(kxvantor/${KX_APP_ID}.metainfo.xml.in ${KX_APP_ID}.metainfo.xml)
install(FILES ${generated}/${KX_APP_ID}.metainfo.xml DESTINATION share/metainfo
        COMPONENT ${component})
kx_configure(kxvantor/${KX_APP_ID}.policy.in ${KX_APP_ID}.policy)
install(FILES ${generated}/${KX_APP_ID}.policy DESTINATION share/polkit-1/actions
        COMPONENT ${component})

kx_program_man_page(KXVantor ${component} "launcher and self-updater of the Kestrix applications")
kx_program_man_page(regsvr32 ${component} "register or unregister a component library")
kx_program_man_page(kxreg ${component} "query and change the Kestrix registry" HELP_OPTION /?)
kx_program_man_page(kxrowset ${component} "show a persisted row set as JSON")
kx_program_man_page(kxdiag ${component} "diagnostics of the Kestrix error library")

foreach(script postinst prerm postrm)
  kx_configure(kxvantor/${script}.in kxvantor/${script})
endforeach()
