# The package kxserver: the reference server as a systemd service, its admin command, and what its
# demo catalog publishes (kxserver finds those beside itself, so they share its folder).
set(component kxserver)

install(TARGETS kxserver regsvr32 kxdemoapp RUNTIME DESTINATION ${KX_SERVER_DIR}
        COMPONENT ${component})
install(TARGETS kxdemocomponent LIBRARY DESTINATION ${KX_SERVER_DIR} COMPONENT ${component})
install(FILES ${PROJECT_SOURCE_DIR}/server/demoapp/KXDemo39.ttf DESTINATION ${KX_SERVER_DIR}
        COMPONENT ${component})
kx_install_link(${component} bin kxserver ../${KX_SERVER_DIR}/kxserver)

# The admin command, once as installed and once for its manual page against the built kxserver.
set(KX_KXSERVER_PROGRAM ${KX_PREFIX}/bin/kxserver)
kx_configure(kxserver/kxserver-admin.in kxserver-admin EXECUTABLE)
install(PROGRAMS ${generated}/kxserver-admin DESTINATION sbin COMPONENT ${component})
set(KX_KXSERVER_PROGRAM $<TARGET_FILE:kxserver>)
kx_configure(kxserver/kxserver-admin.in build/kxserver-admin EXECUTABLE)

kx_configure(kxserver/kxserver.service.in kxserver.service)
install(FILES ${generated}/kxserver.service DESTINATION /lib/systemd/system COMPONENT ${component})
# The daily upkeep: error reports past their age leave the catalog.
kx_configure(kxserver/kxserver-daily.service.in kxserver-daily.service)
install(FILES ${generated}/kxserver-daily.service kxserver/kxserver-daily.timer
        DESTINATION /lib/systemd/system COMPONENT ${component})
install(FILES kxserver/kxserver.default DESTINATION /etc/default RENAME kxserver
        COMPONENT ${component})

kx_program_man_page(kxserver ${component}
                    "Kestrix reference business-object service and vendor web server")
kx_man_page(NAME kxserver-admin SECTION 8 COMPONENT ${component}
            PROGRAM ${generated}/build/kxserver-admin VERSION ${kx_server_version}
            DESCRIPTION "run kxserver commands against the kxserver service's catalog"
            DEPENDS kxserver ${generated}/build/kxserver-admin)

foreach(script postinst prerm postrm)
  kx_configure(kxserver/${script}.in kxserver/${script})
endforeach()
