# Warnings as errors for our own targets; third-party headers are included as system headers.
add_library(kx_warnings INTERFACE)
target_compile_options(kx_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Werror
  -Wshadow -Wnon-virtual-dtor -Wold-style-cast -Wcast-align -Woverloaded-virtual
  -Wconversion -Wsign-conversion -Wnull-dereference -Wimplicit-fallthrough
  -Wno-error=deprecated-declarations)

# Apply to a target of ours: kx_target_defaults(name)
function(kx_target_defaults target)
  target_link_libraries(${target} PRIVATE kx_warnings)
endfunction()
