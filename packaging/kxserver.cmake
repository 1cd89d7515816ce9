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

# The service, and the daily renewal of the install lists' signatures (a oneshot service and its
# timer), which run as one user in one sandbox.
file(READ ${CMAKE_CURRENT_SOURCE_DIR}/kxserver/service-sandbox.conf sandbox)
string(CONFIGURE "${sandbox}" KX_SERVICE_SANDBOX @ONLY)
string(STRIP "${KX_SERVICE_SANDBOX}" KX_SERVICE_SANDBOX)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
             ${CMAKE_CURRENT_SOURCE_DIR}/kxserver/service-sandbox.conf)
foreach(unit kxserver.service kxserver-resign.service)
  kx_configure(kxserver/${unit}.in ${unit})
  install(FILES ${generated}/${unit} DESTINATION /lib/systemd/system COMPONENT ${component})
endforeach()
install(FILES kxserver/kxserver-resign.timer DESTINATION /lib/systemd/system COMPONENT ${component})
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
