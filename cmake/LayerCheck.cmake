# Keeps the layering true: dependencies point down, and each host library has one caller.
#   cmake -DROOT=<source dir> -P LayerCheck.cmake
# Every build runs it (see the root CMakeLists.txt), which includes this file for the list of
# files the rules read.
set(VLT_LAYER_GLOBS
    platform/*.h platform/*.cpp frontends/*.h frontends/*.cpp shared/*.h shared/*.cpp shellext/*.h
    shellext/*.cpp tools/*.h tools/*.cpp applet/*.cpp wizard/*.cpp tray/*.cpp hosts/*.cpp)
if(NOT CMAKE_SCRIPT_MODE_FILE)
  return()
endif()

set(failures "")
list(TRANSFORM VLT_LAYER_GLOBS PREPEND ${ROOT}/ OUTPUT_VARIABLE layer_globs)

function(check_includes pattern allowed_prefix what)
  file(GLOB_RECURSE files RELATIVE ${ROOT} ${layer_globs})
  foreach(f IN LISTS files)
    if(allowed_prefix AND f MATCHES "^${allowed_prefix}")
      continue()
    endif()
    file(STRINGS ${ROOT}/${f} hits REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]${pattern}")
    if(hits)
      set(failures "${failures}\n  ${f}: ${what}" PARENT_SCOPE)
    endif()
  endforeach()
endfunction()

check_includes("sqlite3" "platform/registry/sqlite/" "only platform/registry/sqlite may include SQLite")
check_includes("openssl/" "platform/crypt/openssl/" "only platform/crypt/openssl may include OpenSSL")
check_includes("Q[A-Za-z]+" "frontends/qt/" "only frontends/qt may include Qt")

# platform/ knows nothing of the suite.
file(GLOB_RECURSE platform_files RELATIVE ${ROOT} ${ROOT}/platform/*.h ${ROOT}/platform/*.cpp)
foreach(f IN LISTS platform_files)
  file(STRINGS ${ROOT}/${f} hits REGEX "#[ \t]*include[ \t]*\"(shared|shellext|applet|wizard|tray|hosts|tools|frontends)/")
  if(hits)
    set(failures "${failures}\n  ${f}: platform/ must not include the suite's code")
  endif()
endforeach()

# shared/ does not include a deliverable.
file(GLOB_RECURSE shared_files RELATIVE ${ROOT} ${ROOT}/shared/*.h ${ROOT}/shared/*.cpp)
foreach(f IN LISTS shared_files)
  file(STRINGS ${ROOT}/${f} hits REGEX "#[ \t]*include[ \t]*\"(shellext|applet|wizard|tray|hosts|tools)/")
  if(hits)
    set(failures "${failures}\n  ${f}: shared/ must not include a deliverable")
  endif()
endforeach()

if(failures)
  message(FATAL_ERROR "Layering violations:${failures}")
endif()
message(STATUS "layering ok")
