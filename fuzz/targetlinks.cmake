# What a fuzz target links beyond the reader; the fuzz build and the replay
# tests of the ordinary build both use it. fuzz_source runs orvalle-report's
# own command over files the xbase writer of the tests makes;
# fuzz_dictionary_json reads JSON dictionaries and writes them again;
# fuzz_diff compares two and writes the difference; fuzz_roundtrip writes a
# source's dictionary and compares the source with it. The two that make a
# source share the recipe in sourcerecipe.cpp.
function(orvalle_fuzz_target_links target name)
  target_link_libraries(${target} PRIVATE orvalle_model)
  if(name STREQUAL "fuzz_dictionary_json")
    target_link_libraries(${target} PRIVATE orvalle_dictionary)
  elseif(name STREQUAL "fuzz_diff")
    target_link_libraries(${target} PRIVATE orvalle_diff)
  endif()
  if(name STREQUAL "fuzz_source" OR name STREQUAL "fuzz_roundtrip")
    if(NOT TARGET orvalle_test_support)
      add_subdirectory(${PROJECT_SOURCE_DIR}/tests/support ${CMAKE_BINARY_DIR}/fuzz-support)
    endif()
    target_sources(${target} PRIVATE ${PROJECT_SOURCE_DIR}/fuzz/sourcerecipe.cpp)
    target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR}/fuzz)
    target_link_libraries(${target} PRIVATE orvalle_cli orvalle_test_support)
  endif()
endfunction()
