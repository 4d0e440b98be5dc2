# Hardening for the optimised Linux builds the package is made from: checked string and memory
# calls, stack canaries, position-independent programs and a read-only table of imports.
# _FORTIFY_SOURCE needs optimisation, so debug builds go without it.
include(CheckPIESupported)
check_pie_supported()
set(CMAKE_POSITION_INDEPENDENT_CODE ON)
set(velmora_optimised "$<CONFIG:Release,RelWithDebInfo,MinSizeRel>")
add_compile_options("$<${velmora_optimised}:-D_FORTIFY_SOURCE=2>" "$<${velmora_optimised}:-fstack-protector-strong>")
add_link_options("$<${velmora_optimised}:LINKER:-z,relro,-z,now>")
