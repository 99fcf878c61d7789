# Given to CMake as CMAKE_PROJECT_INCLUDE by run.sh: adds fuzz/ after the
# top-level CMakeLists.txt has defined every library, unless that file adds
# fuzz/ itself.
macro(scrivlet_fuzz_add_late)
  get_property(added GLOBAL PROPERTY SCRIVLET_FUZZ_ADDED)
  if(NOT added)
    include(${CMAKE_SOURCE_DIR}/fuzz/CMakeLists.txt) # deferred calls may not add subdirectories
  endif()
endmacro()
cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL scrivlet_fuzz_add_late)
