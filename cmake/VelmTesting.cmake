# velm_add_gtest(NAME SOURCES ... LIBS ...): one GoogleTest program, registered with CTest.
function(velm_add_gtest name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main)
  target_compile_definitions(${name} PRIVATE VELM_FIXTURES="${VELM_FIXTURES}")
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  add_test(NAME ${name} COMMAND ${name})
  # What a program keeps for its user (the reader's store) stays in the build, one folder per test program.
  set_tests_properties(${name} PROPERTIES TIMEOUT 600 ENVIRONMENT "XDG_DATA_HOME=${CMAKE_BINARY_DIR}/test-data/${name}")
endfunction()

# velm_add_qtest(NAME SOURCES ... LIBS ...): one Qt Test program run offscreen.
function(velm_add_qtest name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} Qt6::Test)
  target_compile_definitions(${name} PRIVATE VELM_FIXTURES="${VELM_FIXTURES}")
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES TIMEOUT 600
    ENVIRONMENT "XDG_DATA_HOME=${CMAKE_BINARY_DIR}/test-data/${name};QT_QPA_PLATFORM=offscreen;QTWEBENGINE_DISABLE_SANDBOX=1;QTWEBENGINE_CHROMIUM_FLAGS=--no-sandbox --disable-gpu")
endfunction()
