# GoogleTest and the one function that makes a test target.
#
# The host build uses the system's GoogleTest; the Windows build compiles it
# from the Debian source package, since no MinGW build of it is packaged.
if(CMAKE_CROSSCOMPILING)
  set(CVN_GTEST_SOURCE "/usr/src/googletest" CACHE PATH "GoogleTest sources for the cross build")
  set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  add_subdirectory(${CVN_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)  # defines GTest::gtest and GTest::gtest_main
else()
  find_package(GTest REQUIRED)
endif()

# cvn_test(NAME SOURCES a.cpp b.cpp LIBS lib1 lib2 [MAIN])
# One test executable, registered with ctest as one test. Without MAIN it
# links gtest_main; with MAIN the sources bring their own main().
function(cvn_test name)
  cmake_parse_arguments(ARG "MAIN" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest)
  if(NOT ARG_MAIN)
    target_link_libraries(${name} PRIVATE GTest::gtest_main)
  endif()
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES TIMEOUT 600)
endfunction()
