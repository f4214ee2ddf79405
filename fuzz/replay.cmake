# Replays each fuzz corpus under CTest: every seed and every kept crasher must decode to a status.
# lumapix_fuzz_replay(name [library]): the harness fuzz/<name>_decode_fuzz.cpp links library,
# lumapix_<name> when none is given.
function(lumapix_fuzz_replay target)
  if(NOT LUMAPIX_TESTS)
    return()
  endif()
  set(library lumapix_${target})
  if(ARGC GREATER 1)
    set(library ${ARGV1})
  endif()
  add_executable(replay_${target} ${CMAKE_SOURCE_DIR}/fuzz/${target}_decode_fuzz.cpp
                 ${CMAKE_SOURCE_DIR}/fuzz/replay_main.cpp)
  target_link_libraries(replay_${target} PRIVATE ${library})
  lumapix_warnings(replay_${target})
  add_test(NAME fuzz_replay_${target}
           COMMAND replay_${target} ${CMAKE_SOURCE_DIR}/fuzz/corpus/${target})
endfunction()
