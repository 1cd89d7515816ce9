# Embeds the freedesktop package-metadata note (.note.package, owner "FDO") into an ELF binary,
# so that the version of our own programs and libraries can be read back from the file itself.
#   kx_package_note(target NAME "KXVantor" VERSION "300.1100.0.3")
include(CheckLinkerFlag)
check_linker_flag(CXX "-Wl,--package-metadata={\"name\":\"probe\"}" KX_LINKER_HAS_PACKAGE_METADATA)

function(kx_package_note target)
  cmake_parse_arguments(ARG "" "NAME;VERSION" "" ${ARGN})
  set_property(TARGET ${target} PROPERTY KX_VERSION "${ARG_VERSION}")  # read by packaging/
  if(NOT KX_LINKER_HAS_PACKAGE_METADATA)
    message(WARNING "The linker cannot embed package metadata; ${target} carries no version note")
    return()
  endif()
  set(json "{\"type\":\"deb\",\"name\":\"${ARG_NAME}\",\"version\":\"${ARG_VERSION}\"}")
  # The compiler driver splits -Wl, (and so LINKER:) at every comma, which would cut the JSON
  # apart; -Xlinker hands the option over whole. SHELL: keeps the pair together, and its quoting
  # rules need the JSON's quotes escaped.
  string(REPLACE "\"" "\\\"" escaped "${json}")
  target_link_options(${target} PRIVATE "SHELL:-Xlinker --package-metadata=${escaped}")
endfunction()
