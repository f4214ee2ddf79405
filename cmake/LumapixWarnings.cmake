# Warnings for every project target; call lumapix_warnings(target).
function(lumapix_warnings target)
  target_compile_options(${target} PRIVATE
    -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion -Wcast-qual
    -Wformat=2 -Wundef -Wnon-virtual-dtor -Wold-style-cast -Wnull-dereference
    -Wimplicit-fallthrough)
  if(LUMAPIX_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

# Library with public headers under include/.
function(lumapix_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPENDS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/include)
  target_link_libraries(${name} PUBLIC ${ARG_DEPENDS})
  lumapix_warnings(${name})
endfunction()

# GoogleTest executable registered with CTest.
function(lumapix_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPENDS" ${ARGN})
  if(NOT LUMAPIX_TESTS)
    return()
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_DEPENDS} lumapix_test_files GTest::gtest_main)
  lumapix_warnings(${name})
  gtest_discover_tests(${name} WORKING_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}
                       PROPERTIES ENVIRONMENT "LUMAPIX_TEST_TMP=${CMAKE_CURRENT_BINARY_DIR}")
endfunction()
