# Replays each fuzz corpus under CTest: every seed and every kept crasher must decode to a status.
function(lumapix_fuzz_replay target)
  if(NOT LUMAPIX_TESTS)
    return()
  endif()
  add_executable(replay_${target} ${CMAKE_SOURCE_DIR}/fuzz/${target}_decode_fuzz.cpp
                 ${CMAKE_SOURCE_DIR}/fuzz/replay_main.cpp)
  target_link_libraries(replay_${target} PRIVATE lumapix_${target})
  lumapix_warnings(replay_${target})
  add_test(NAME fuzz_replay_${target}
           COMMAND replay_${target} ${CMAKE_SOURCE_DIR}/fuzz/corpus/${target})
endfunction()
