# Manual pages, made at build time by help2man from each program's --help, so that they say what
# the program says. man/NAME.h2m, where there is one, adds what the usage cannot (files, see also).
find_program(KX_HELP2MAN help2man REQUIRED)
find_program(KX_GZIP gzip REQUIRED)

# kx_man_page(NAME page-name SECTION n COMPONENT package PROGRAM path-or-generator-expression
#             VERSION v DESCRIPTION one-line-summary [HELP_OPTION option]
#             [ENVIRONMENT VAR=value...] [DEPENDS file-or-target...])
function(kx_man_page)
  cmake_parse_arguments(ARG "" "NAME;SECTION;COMPONENT;PROGRAM;VERSION;DESCRIPTION;HELP_OPTION"
                        "ENVIRONMENT;DEPENDS" ${ARGN})
  set(page ${generated}/man/${ARG_NAME}.${ARG_SECTION})
  set(options --no-info --source=Kestrix --section=${ARG_SECTION} --name=${ARG_DESCRIPTION}
              --version-string=${ARG_VERSION} --output=${page})
  if(ARG_HELP_OPTION)
    list(APPEND options --help-option=${ARG_HELP_OPTION})
  endif()
  set(include ${CMAKE_CURRENT_SOURCE_DIR}/man/${ARG_NAME}.h2m)
  if(EXISTS ${include})
    list(APPEND options --include=${include})
    list(APPEND ARG_DEPENDS ${include})
  endif()
  add_custom_command(OUTPUT ${page}.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${generated}/man
    COMMAND ${CMAKE_COMMAND} -E env ${ARG_ENVIRONMENT} ${KX_HELP2MAN} ${options} ${ARG_PROGRAM}
    COMMAND ${KX_GZIP} -9nf ${page}
    DEPENDS ${ARG_DEPENDS}
    COMMENT "Manual page ${ARG_NAME}(${ARG_SECTION})"
    VERBATIM)
  add_custom_target(kx_man_${ARG_NAME} ALL DEPENDS ${page}.gz)
  install(FILES ${page}.gz DESTINATION share/man/man${ARG_SECTION} COMPONENT ${ARG_COMPONENT})
endfunction()

# The man page of a program target: its --help, its own version.
function(kx_program_man_page target component description)
  kx_version_of(${target} version)
  kx_man_page(NAME ${target} SECTION 1 COMPONENT ${component} PROGRAM $<TARGET_FILE:${target}>
              VERSION ${version} DESCRIPTION ${description} DEPENDS ${target} ${ARGN})
endfunction()
