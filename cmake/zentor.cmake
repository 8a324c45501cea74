# Helpers shared by every folder. Each subsystem folder is one static library made of
# the .cpp files in it (and in its platform-specific subfolder), so adding a source
# file needs no CMake edit. A program's main file (main_*.cpp) is not part of it.
#
# The subsystem libraries compile as unity builds: a few sources per compiler run, so
# the headers they share (the standard library's and the subsystems' own) are parsed
# once per batch instead of once per file; that takes about a third off compiling them,
# which a fresh clone does in three trees. (The test programs parse their large headers
# once through a precompiled header instead; batched, they compiled no faster.) A source whose file-local
# names clash with a neighbour's in a batch is listed as STANDALONE and compiles alone.
# ZENTOR_UNITY_BUILD=OFF compiles every file alone (a quicker rebuild after editing one).
option(ZENTOR_UNITY_BUILD "Compile the subsystem libraries as unity builds" ON)
set(ZENTOR_UNITY_BATCH 8)
function(zentor_unity_build target)
  cmake_parse_arguments(ARG "" "" "STANDALONE" ${ARGN})
  if(NOT ZENTOR_UNITY_BUILD)
    return()
  endif()
  set_target_properties(${target} PROPERTIES UNITY_BUILD ON UNITY_BUILD_BATCH_SIZE ${ZENTOR_UNITY_BATCH})
  foreach(file ${ARG_STANDALONE})
    set_source_files_properties(${CMAKE_CURRENT_SOURCE_DIR}/${file} TARGET_DIRECTORY ${target}
      PROPERTIES SKIP_UNITY_BUILD_INCLUSION ON)
  endforeach()
endfunction()

# zentor_subsystem_library(<name> DEPENDS <libs...> [STANDALONE <files...>])
function(zentor_subsystem_library name)
  cmake_parse_arguments(ARG "" "" "DEPENDS;STANDALONE" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  list(FILTER sources EXCLUDE REGEX "/main_[^/]*\\.cpp$")
  if(WIN32)
    file(GLOB platform_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/win32/*.cpp)
  else()
    file(GLOB platform_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/posix/*.cpp)
  endif()
  list(FILTER platform_sources EXCLUDE REGEX "/main_[^/]*\\.cpp$")
  if(NOT sources AND NOT platform_sources)
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR}/src)
    if(ARG_DEPENDS)
      target_link_libraries(${name} INTERFACE ${ARG_DEPENDS})
    endif()
    return()
  endif()
  add_library(${name} STATIC ${sources} ${platform_sources})
  zentor_unity_build(${name} STANDALONE ${ARG_STANDALONE})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  if(ARG_DEPENDS)
    target_link_libraries(${name} PUBLIC ${ARG_DEPENDS})
  endif()
endfunction()

# zentor_test_compile_settings(<target> [OPTIMIZED])
# How a test program's own sources are compiled. Most of a tree's build is the test
# sources (a third of the code, each a long run of test macros); unoptimised they
# compile in about half the time, while the code under test keeps the tree's
# optimisation. A program whose cases spend their time in the test code itself (a
# sweep over millions of instructions, say) keeps the tree's optimisation: OPTIMIZED.
# GoogleTest's header and the standard headers the tests use are parsed once per
# program (precompiled); ccache keeps such objects only when told to accept a
# precompiled header.
set(ZENTOR_TEST_PRECOMPILED_HEADERS <gtest/gtest.h> <algorithm> <cstdint> <cstdio> <cstdlib> <cstring>
    <filesystem> <fstream> <functional> <map> <memory> <random> <set> <sstream> <string> <vector>)
function(zentor_test_compile_settings target)
  cmake_parse_arguments(ARG "OPTIMIZED" "" "" ${ARGN})
  if(NOT ARG_OPTIMIZED)
    target_compile_options(${target} PRIVATE $<$<CONFIG:Debug>:-O0>)
  endif()
  target_precompile_headers(${target} PRIVATE ${ZENTOR_TEST_PRECOMPILED_HEADERS})
  if(CMAKE_CXX_COMPILER_LAUNCHER MATCHES "ccache")
    set_target_properties(${target} PROPERTIES
      CXX_COMPILER_LAUNCHER "env;CCACHE_SLOPPINESS=pch_defines,time_macros,include_file_mtime,include_file_ctime;${CMAKE_CXX_COMPILER_LAUNCHER}")
  endif()
endfunction()

# zentor_test_binary(<name> [OPTIMIZED] [COST <n>] LIBS <libs...>)
# One GoogleTest program from the .cpp files of the current folder. It is registered
# as one CTest test: under Wine every program start costs a process start, so the
# cases are not discovered one by one. COST starts a long program before the others
# (ctest starts the costliest first when it has no timings of an earlier run, as in a
# fresh tree): the rest then run beside it, not after it on an otherwise idle core.
function(zentor_test_binary name)
  cmake_parse_arguments(ARG "OPTIMIZED" "COST" "LIBS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT sources)
    return()
  endif()
  add_executable(${name} ${sources})
  target_link_libraries(${name} PRIVATE zentor_test_support ${ARG_LIBS} GTest::gmock)
  if(ARG_OPTIMIZED)
    zentor_test_compile_settings(${name} OPTIMIZED)
  else()
    zentor_test_compile_settings(${name})
  endif()
  target_compile_definitions(${name} PRIVATE
    ZENTOR_TEST_DATA_DIR="${PROJECT_SOURCE_DIR}/tests/data")
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
    ENVIRONMENT "ZENTOR_TEST_DATA_DIR=${PROJECT_SOURCE_DIR}/tests/data")
  if(ARG_COST)
    set_tests_properties(${name} PROPERTIES COST ${ARG_COST})
  endif()
endfunction()
