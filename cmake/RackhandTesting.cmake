include(GoogleTest)

# rackhand_add_gtest(NAME name SOURCES ... LIBS ...)
# One executable per test folder; every test runs headless with a fixed locale and zone.
function(rackhand_add_gtest)
  cmake_parse_arguments(T "" "NAME" "SOURCES;LIBS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE rackhand_options rackhand_test_support ${T_LIBS} GTest::gtest)
  gtest_discover_tests(${T_NAME}
    DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen:configfile=${CMAKE_SOURCE_DIR}/Tests/Data/offscreen-screen.json;LANG=C.UTF-8;LC_ALL=C.UTF-8;TZ=UTC;RACKHAND_SOURCE_DIR=${CMAKE_SOURCE_DIR}"
               TIMEOUT 120)
endfunction()
