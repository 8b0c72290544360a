# Warning flags for the project's own targets (not for third-party code).
function(vlt_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor
                                             -Wcast-align -Woverloaded-virtual -Wformat=2)
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    # GCC 12 reports impossible overlaps in std::string's inlined copies at -O3 (its bug
    # 105329); the warning says nothing about our code there.
    target_compile_options(${target} PRIVATE -Wno-restrict)
  endif()
  if(VLT_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

# A library of one layer, its sources globbed from the given folders. SHARED for the platform
# layers: a host and the plug-ins it loads must see one registry, one window runtime and one
# set of key containers per process, as they share the system's DLLs on Windows.
function(vlt_layer target)
  cmake_parse_arguments(L "SHARED" "" "DIRS;PUBLIC_LIBS;PRIVATE_LIBS;INCLUDES" ${ARGN})
  set(srcs)
  foreach(d IN LISTS L_DIRS)
    file(GLOB s CONFIGURE_DEPENDS "${d}/*.cpp")
    list(APPEND srcs ${s})
  endforeach()
  if(NOT srcs)
    # A layer still being written: keep the tree configurable.
    set(stub ${CMAKE_CURRENT_BINARY_DIR}/${target}_empty.cpp)
    file(WRITE ${stub} "namespace { [[maybe_unused]] int unused_${target}; }\n")
    list(APPEND srcs ${stub})
  endif()
  if(L_SHARED)
    add_library(${target} SHARED ${srcs})
    install(TARGETS ${target} LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}/vaultine)
  else()
    add_library(${target} STATIC ${srcs})
  endif()
  # No layer compiles before the layer rules hold (root CMakeLists.txt).
  add_dependencies(${target} layer_check)
  target_include_directories(${target} PUBLIC ${L_INCLUDES})
  target_link_libraries(${target} PUBLIC ${L_PUBLIC_LIBS} PRIVATE ${L_PRIVATE_LIBS})
  vlt_warnings(${target})
endfunction()
