# nb_add_test_program(<name> SOURCES <files...> LIBS <targets...> [LABELS <labels...>])
# One GoogleTest program per layer, registered as a single CTest entry so that a cross
# build runs each program once under the emulator (Wine) instead of once per case.
function(nb_add_test_program name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest_main GTest::gtest)
  add_test(NAME ${name} COMMAND ${name} --gtest_brief=1)
  if(ARG_LABELS)
    set_tests_properties(${name} PROPERTIES LABELS "${ARG_LABELS}")
  endif()
endfunction()
