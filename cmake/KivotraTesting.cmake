# GoogleTest from Debian's sources, built with the same compiler and flags as
# the code under test (also for MinGW and the sanitizers).
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
set(KIVOTRA_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest's source tree")
add_subdirectory(${KIVOTRA_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)

include(GoogleTest)

# Registers a GoogleTest program with CTest. On the host every case is its own
# CTest test; under Wine each program is one test, because every Wine start
# costs a second or so.
function(kivotra_add_gtest target)
  target_link_libraries(${target} PRIVATE GTest::gtest_main)
  if(CMAKE_CROSSCOMPILING)
    add_test(NAME ${target} COMMAND ${target})
    set_tests_properties(${target} PROPERTIES TIMEOUT 300)
  else()
    gtest_discover_tests(${target} DISCOVERY_TIMEOUT 30 PROPERTIES TIMEOUT 120)
  endif()
endfunction()

# A private desktop in DIR (tools/session: display, audio server, Wine prefix)
# as the CTest fixture NAME: NAME_start brings it up before the first test
# that requires NAME, NAME_stop takes it down after the last.
function(kivotra_session_fixture name dir)
  add_test(NAME ${name}_start COMMAND ${PROJECT_SOURCE_DIR}/tools/session start ${dir})
  add_test(NAME ${name}_stop COMMAND ${PROJECT_SOURCE_DIR}/tools/session stop ${dir})
  set_tests_properties(${name}_start PROPERTIES FIXTURES_SETUP ${name} RESOURCE_LOCK ${name} TIMEOUT 120)
  set_tests_properties(${name}_stop PROPERTIES FIXTURES_CLEANUP ${name} RESOURCE_LOCK ${name})
endfunction()
