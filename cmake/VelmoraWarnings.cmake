# Warnings as errors for every target of the project (never for third-party code).
function(velmora_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror -Wshadow -Wnon-virtual-dtor)
endfunction()

# Declares a portable core library: sources listed by the caller, include root at the top.
function(velmora_core_library name)
  add_library(${name} STATIC ${ARGN})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  velmora_warnings(${name})
endfunction()
