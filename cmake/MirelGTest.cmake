# GoogleTest is built from Debian's source package so that the same code
# serves the native, sanitizer and mingw builds.
set(MIREL_GTEST_SOURCE_DIR "/usr/src/googletest" CACHE PATH "GoogleTest source tree")
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
if(WIN32)
  set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
endif()
add_subdirectory(${MIREL_GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/_deps/googletest EXCLUDE_FROM_ALL SYSTEM)

include(GoogleTest)

# mirel_add_gtest(<target> SOURCES ... LIBS ... [LABELS ...])
# Natively every test case becomes its own ctest entry; cross-built, the whole
# executable is one ctest entry run through the emulator (Wine), which keeps
# Wine start-ups down to one per executable.
# Labels: "threads" marks the threading tests that the TSan build runs
# (target thread_tests builds just those); "nosan" keeps a test out of the
# sanitizer run.
define_property(GLOBAL PROPERTY MIREL_THREAD_TEST_TARGETS
  BRIEF_DOCS "Test executables labelled threads" FULL_DOCS "Built by thread_tests")
function(mirel_add_gtest target)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${target} ${ARG_SOURCES})
  target_link_libraries(${target} PRIVATE ${ARG_LIBS} GTest::gmock GTest::gtest_main)
  mirel_export_folder(${target} tests PRIVATE)
  mirel_warnings(${target})
  if(CMAKE_CROSSCOMPILING)
    add_test(NAME ${target} COMMAND ${target})
    if(ARG_LABELS)
      set_tests_properties(${target} PROPERTIES LABELS "${ARG_LABELS}")
    endif()
  else()
    if(ARG_LABELS)
      gtest_discover_tests(${target} DISCOVERY_TIMEOUT 60 PROPERTIES LABELS "${ARG_LABELS}")
    else()
      gtest_discover_tests(${target} DISCOVERY_TIMEOUT 60)
    endif()
  endif()
  if("threads" IN_LIST ARG_LABELS)
    set_property(GLOBAL APPEND PROPERTY MIREL_THREAD_TEST_TARGETS ${target})
  endif()
endfunction()
