# GoogleTest from Debian's source package, built with the same compiler as
# the code, so the cross build gets Windows test binaries too.
if(NOT QVL_BUILD_TESTS)
  return()
endif()

enable_testing()
set(QVL_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest source tree")
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
add_subdirectory(${QVL_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
include(GoogleTest)

if(CMAKE_CROSSCOMPILING AND WIN32)
  # Windows tests run under Wine in a private prefix (and a private Xvfb)
  # that a CTest fixture creates before the first test and removes after the
  # last one.
  set(QVL_WINE_SESSION ${CMAKE_BINARY_DIR}/wine-session)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_SOURCE_DIR}/scripts/wine-run.sh ${QVL_WINE_SESSION})
  add_test(NAME wine.session.start
           COMMAND ${CMAKE_SOURCE_DIR}/scripts/wine-session.sh start ${QVL_WINE_SESSION})
  add_test(NAME wine.session.stop
           COMMAND ${CMAKE_SOURCE_DIR}/scripts/wine-session.sh stop ${QVL_WINE_SESSION})
  set_tests_properties(wine.session.start PROPERTIES FIXTURES_SETUP wine)
  set_tests_properties(wine.session.stop PROPERTIES FIXTURES_CLEANUP wine)
endif()

if(NOT WIN32)
  # Native tests that open windows run on a private Xvfb that the xvfb
  # fixture starts; their programs are run through scripts/xvfb-run.sh, which
  # points DISPLAY at it (see QVL_XVFB_RUN).
  set(QVL_XVFB_SESSION ${CMAKE_BINARY_DIR}/xvfb-session)
  set(QVL_XVFB_RUN ${CMAKE_SOURCE_DIR}/scripts/xvfb-run.sh ${QVL_XVFB_SESSION})
  add_test(NAME xvfb.session.start
           COMMAND ${CMAKE_SOURCE_DIR}/scripts/xvfb-session.sh start ${QVL_XVFB_SESSION})
  add_test(NAME xvfb.session.stop
           COMMAND ${CMAKE_SOURCE_DIR}/scripts/xvfb-session.sh stop ${QVL_XVFB_SESSION})
  set_tests_properties(xvfb.session.start PROPERTIES FIXTURES_SETUP xvfb)
  set_tests_properties(xvfb.session.stop PROPERTIES FIXTURES_CLEANUP xvfb)

  # The launch lock is one per user and lives in the user's runtime folder.
  # Each build tree's tests get a runtime folder of their own, so that the
  # suites of two build trees never refuse each other's runs.
  set(QVL_TEST_RUNTIME_DIR ${CMAKE_BINARY_DIR}/runtime)
  file(MAKE_DIRECTORY ${QVL_TEST_RUNTIME_DIR})
  file(CHMOD ${QVL_TEST_RUNTIME_DIR} DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
endif()

# qvl_add_unit_tests(<name> SOURCES <files> LIBRARIES <targets> [FIXTURES <fixtures>]
#                    [PROPERTIES <test properties>])
# FIXTURES names the CTest fixture the tests need (e.g. test_services); under
# Wine the wine fixture is added to it.
# Natively every test case becomes its own CTest test. Under Wine each
# executable is one CTest test: starting Wine per case would cost more than
# the tests themselves.
function(qvl_add_unit_tests name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBRARIES;FIXTURES;PROPERTIES" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBRARIES} GTest::gmock GTest::gtest_main)
  if(CMAKE_CROSSCOMPILING AND WIN32)
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED "wine;${ARG_FIXTURES}" LABELS wine ${ARG_PROPERTIES})
  else()
    if(ARG_FIXTURES)
      list(APPEND ARG_PROPERTIES FIXTURES_REQUIRED ${ARG_FIXTURES})
    endif()
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 30
                         PROPERTIES LABELS native ENVIRONMENT XDG_RUNTIME_DIR=${QVL_TEST_RUNTIME_DIR}
                                    ${ARG_PROPERTIES})
  endif()
endfunction()
