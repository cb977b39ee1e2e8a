# pellora_add_gtest(<target> LABEL <unit|e2e|gui> SOURCES <files...> LIBS <targets...>
#                   [TIMEOUT <seconds>])
# One GoogleTest executable whose cases CTest runs one by one, labelled by test kind.
find_package(GTest REQUIRED)
include(GoogleTest)

function(pellora_add_gtest target)
  cmake_parse_arguments(arg "" "LABEL;TIMEOUT" "SOURCES;LIBS" ${ARGN})
  if(NOT arg_TIMEOUT)
    set(arg_TIMEOUT 120)
  endif()
  add_executable(${target} ${arg_SOURCES})
  target_link_libraries(${target} PRIVATE ${arg_LIBS} GTest::gmock GTest::gtest_main)
  gtest_discover_tests(${target}
    TEST_PREFIX "${arg_LABEL}."
    PROPERTIES LABELS ${arg_LABEL} TIMEOUT ${arg_TIMEOUT}
    DISCOVERY_TIMEOUT 60)
endfunction()
