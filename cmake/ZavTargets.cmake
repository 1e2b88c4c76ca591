# Helpers shared by every component folder.
#
# zav_library(<name> [DEPS <targets>...])
#   A static library from the folder's *.cpp and unix/*.cpp, with libs/ (and the
#   source root) on the include path, so headers are included as
#   "<component>/<Header>.h". Tests are picked up from tests/ beside it:
#   tests/*.cpp form the unit tests, tests/x11/*.cpp and tests/system/*.cpp the
#   tests labelled x11 and system.
function(zav_library name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS
       ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/unix/*.cpp)
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/libs ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${ARG_DEPS})
  zav_component_tests(${name})
endfunction()

# zav_component_tests(<target>): the tests of the current folder, linked to <target>.
function(zav_component_tests target)
  if(NOT ZAV_BUILD_TESTS)
    return()
  endif()
  foreach(label unit x11 system)
    if(label STREQUAL "unit")
      set(dir ${CMAKE_CURRENT_SOURCE_DIR}/tests)
    else()
      set(dir ${CMAKE_CURRENT_SOURCE_DIR}/tests/${label})
    endif()
    file(GLOB tests CONFIGURE_DEPENDS ${dir}/*.cpp)
    if(NOT tests)
      continue()
    endif()
    set(exe ${target}_${label}_tests)
    add_executable(${exe} ${tests})
    target_link_libraries(${exe} PRIVATE ${target} GTest::gtest GTest::gmock GTest::gtest_main)
    target_include_directories(${exe} PRIVATE ${PROJECT_SOURCE_DIR}/tests/support)
    target_compile_definitions(${exe} PRIVATE
      ZAV_SOURCE_DIR="${PROJECT_SOURCE_DIR}" ZAV_BINARY_DIR="${PROJECT_BINARY_DIR}")
    gtest_discover_tests(${exe} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
                         PROPERTIES LABELS ${label})
  endforeach()
endfunction()

# zav_benchmark(<name> <sources>... [DEPS <targets>...]): a Google Benchmark
# program under bench/. Built with everything else, never run by ctest.
function(zav_benchmark name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  add_executable(${name} ${ARG_UNPARSED_ARGUMENTS})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} benchmark::benchmark benchmark::benchmark_main)
endfunction()
