# Optimised builds are hardened as a distribution hardens its packages: fortified libc calls,
# stack canaries, full RELRO (the GOT read-only after start-up) and position-independent
# programs. The sanitizer and fuzzer builds keep their own instrumentation instead.
include(CheckPIESupported)
check_pie_supported(LANGUAGES C CXX)

if(NOT VLT_SANITIZE AND NOT VLT_FUZZ)
  set(optimised "$<NOT:$<CONFIG:Debug>>")
  # _FORTIFY_SOURCE needs optimisation; undefined first, as some compilers predefine it.
  add_compile_options("$<${optimised}:-U_FORTIFY_SOURCE>" "$<${optimised}:-D_FORTIFY_SOURCE=2>"
                      "$<${optimised}:-fstack-protector-strong>")
  add_link_options("$<${optimised}:LINKER:-z,relro,-z,now>")
endif()
