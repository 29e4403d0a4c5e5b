include(GoogleTest)

# rackhand_add_gtest(NAME name MAIN core|gui|widgets SOURCES ... LIBS ...)
# One executable per test folder; MAIN picks the application object its main() starts (a
# library below the widgets starts no QApplication). Every test runs headless with a fixed
# locale and zone.
function(rackhand_add_gtest)
  cmake_parse_arguments(T "" "NAME;MAIN" "SOURCES;LIBS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE rackhand_options rackhand_test_support rackhand_test_main_${T_MAIN}
    ${T_LIBS} GTest::gtest)
  gtest_discover_tests(${T_NAME}
    DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen:configfile=${CMAKE_SOURCE_DIR}/Tests/Data/offscreen-screen.json;LANG=C.UTF-8;LC_ALL=C.UTF-8;TZ=UTC;RACKHAND_SOURCE_DIR=${CMAKE_SOURCE_DIR}"
               TIMEOUT 120)
endfunction()
