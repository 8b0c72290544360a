# CMake generated Testfile for 
# Source directory: /work/main/tests
# Build directory: /work/main/build/dev/tests
# 
# This file includes the relevant testing commands required for 
# testing this directory and lists subdirectories to be tested as well.
add_test([=[layer_check]=] "/usr/bin/cmake" "-DROOT=/work/main" "-P" "/work/main/cmake/LayerCheck.cmake")
set_tests_properties([=[layer_check]=] PROPERTIES  _BACKTRACE_TRIPLES "/work/main/tests/CMakeLists.txt;39;add_test;/work/main/tests/CMakeLists.txt;0;")
