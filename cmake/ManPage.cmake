# Writes a manual page from a program's own help texts, so that `man` never says other than
# `--help`:
#   cmake -DPROGRAM=<path> -DTEMPLATE=<page.in> -DOUT=<page> -DVERSION=<v> -DLIBDIR=<dir>
#         [-DCOMMANDS=ON] -P ManPage.cmake
# With COMMANDS, every command word listed under "commands:" in the main help gets a section
# with `PROGRAM WORD --help`. The program runs in a scratch sandbox: asking for help must not
# touch anybody's hives.
cmake_policy(VERSION 3.25)
get_filename_component(name ${PROGRAM} NAME)
set(sandbox ${OUT}.sandbox)
file(REMOVE_RECURSE ${sandbox})
file(MAKE_DIRECTORY ${sandbox}/home ${sandbox}/machine ${sandbox}/run)
set(envs VLT_HOME=${sandbox}/home VLT_MACHINE_DIR=${sandbox}/machine VLT_RUNTIME_DIR=${sandbox}/run)

function(help_of out)
  execute_process(COMMAND ${CMAKE_COMMAND} -E env ${envs} ${PROGRAM} ${ARGN} --help
                  OUTPUT_VARIABLE text RESULT_VARIABLE status ERROR_QUIET)
  if(NOT status EQUAL 0)
    set(text "")
  endif()
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# Preformatted text for roff: backslashes and minus signs escaped, no line read as a request.
function(roff out text)
  string(REPLACE "\\" "\\e" text "${text}")
  string(REPLACE "-" "\\-" text "${text}")
  string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" text "${text}")
  string(REGEX REPLACE "\n+$" "" text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

help_of(main)
if(main STREQUAL "")
  message(FATAL_ERROR "${name} --help failed: no manual page")
endif()
roff(MAN_OVERVIEW "${main}")

set(MAN_COMMANDS "")
if(COMMANDS)
  string(REGEX MATCH "\ncommands:\n.*" listed "${main}")
  string(REGEX REPLACE "\n\n.*" "" listed "${listed}")
  string(REGEX MATCHALL "\n  [a-z]+" words "${listed}")
  set(done "")
  foreach(w IN LISTS words)
    string(STRIP "${w}" w)
    if(w IN_LIST done)
      continue()
    endif()
    list(APPEND done ${w})
    help_of(text ${w})
    if(text STREQUAL "" OR text STREQUAL main)
      continue()
    endif()
    roff(text "${text}")
    string(APPEND MAN_COMMANDS ".SH ${name} ${w}\n.nf\n${text}\n.fi\n")
  endforeach()
  if(NOT done)
    message(FATAL_ERROR "${name} --help lists no commands")
  endif()
endif()
string(REGEX REPLACE "\n$" "" MAN_COMMANDS "${MAN_COMMANDS}")

string(TIMESTAMP date "%Y-%m-%d" UTC)  # SOURCE_DATE_EPOCH wins when set
# Filled in by hand: a help text may hold an @ that configure_file would take for a variable.
file(READ ${TEMPLATE} page)
foreach(pair "MAN_DATE|${date}" "PROJECT_VERSION|${VERSION}" "VLT_LIBDIR|${LIBDIR}")
  string(FIND "${pair}" "|" bar)
  string(SUBSTRING "${pair}" 0 ${bar} key)
  math(EXPR bar "${bar} + 1")
  string(SUBSTRING "${pair}" ${bar} -1 value)
  string(REPLACE "@${key}@" "${value}" page "${page}")
endforeach()
string(REPLACE "@MAN_COMMANDS@" "${MAN_COMMANDS}" page "${page}")
string(REPLACE "@MAN_OVERVIEW@" "${MAN_OVERVIEW}" page "${page}")
file(WRITE ${OUT}.tmp "${page}")
file(REMOVE_RECURSE ${sandbox})
execute_process(COMMAND gzip -9nf ${OUT}.tmp RESULT_VARIABLE zipped)
if(NOT zipped EQUAL 0)
  message(FATAL_ERROR "gzip failed on ${OUT}.tmp")
endif()
file(RENAME ${OUT}.tmp.gz ${OUT})
