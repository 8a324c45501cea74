# Helpers shared by every folder. Each subsystem folder is one static library made of
# the .cpp files in it (and in its platform-specific subfolder), so adding a source
# file needs no CMake edit. A program's main file (main_*.cpp) is not part of it.

# zentor_subsystem_library(<name> DEPENDS <libs...>)
function(zentor_subsystem_library name)
  cmake_parse_arguments(ARG "" "" "DEPENDS" ${ARGN})
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
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  if(ARG_DEPENDS)
    target_link_libraries(${name} PUBLIC ${ARG_DEPENDS})
  endif()
endfunction()

# zentor_test_binary(<name> LIBS <libs...>)
# One GoogleTest program from the .cpp files of the current folder. It is registered
# as one CTest test: under Wine every program start costs a process start, so the
# cases are not discovered one by one.
function(zentor_test_binary name)
  cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT sources)
    return()
  endif()
  add_executable(${name} ${sources})
  target_link_libraries(${name} PRIVATE zentor_test_support ${ARG_LIBS} GTest::gmock)
  target_compile_definitions(${name} PRIVATE
    ZENTOR_TEST_DATA_DIR="${PROJECT_SOURCE_DIR}/tests/data")
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
    ENVIRONMENT "ZENTOR_TEST_DATA_DIR=${PROJECT_SOURCE_DIR}/tests/data")
endfunction()
