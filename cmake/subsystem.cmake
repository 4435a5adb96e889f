# One static library per subsystem folder: every .cpp of the folder belongs to it,
# so adding a file needs no edit here. A back end's entry (*_main.cpp) is the
# executable's own source, not the library's.
function(tessaril_subsystem name)
  cmake_parse_arguments(ARG "" "" "DIRS;DEPS" ${ARGN})
  set(sources)
  foreach(dir IN LISTS ARG_DIRS)
    file(GLOB dir_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/*.cpp)
    list(FILTER dir_sources EXCLUDE REGEX "_main\\.cpp$")
    list(APPEND sources ${dir_sources})
  endforeach()
  if(sources)
    add_library(${name} STATIC ${sources})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} PUBLIC ${ARG_DEPS} Threads::Threads)
  else()
    # a subsystem not written yet still links, so the rest of the tree builds
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} INTERFACE ${ARG_DEPS} Threads::Threads)
  endif()
endfunction()

# One test program per tests/ folder, its cases registered with CTest one by one.
#   EXTRA_SOURCES  sources from elsewhere compiled in (a shared suite)
#   OWN_MAIN       the folder has its own main (no gtest_main)
#   LABEL          the CTest label of every case
#   SPLIT FILTER LABEL  the cases matching the gtest FILTER get this label
#                  instead. One label a case: "qt_e2e" is found by -L qt and
#                  by -L e2e alike (ctest -L takes a regular expression).
function(tessaril_test_folder folder)
  cmake_parse_arguments(ARG "OWN_MAIN" "LABEL" "DEPS;EXTRA_SOURCES;SPLIT" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/*.cpp)
  if(NOT sources)
    return()
  endif()
  set(target tests_${folder})
  add_executable(${target} ${sources} ${ARG_EXTRA_SOURCES})
  target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR}/src ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_libraries(${target} PRIVATE ${ARG_DEPS} tessaril_testsupport GTest::gtest GTest::gmock)
  if(NOT ARG_OWN_MAIN)
    target_link_libraries(${target} PRIVATE GTest::gtest_main)
  endif()
  target_compile_definitions(${target} PRIVATE
    TESSARIL_BINARY_DIR="${PROJECT_BINARY_DIR}"
    TESSARIL_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
  set(props TIMEOUT 300)
  if(ARG_LABEL)
    list(APPEND props LABELS ${ARG_LABEL})
  endif()
  if(ARG_SPLIT)
    list(GET ARG_SPLIT 0 split_filter)
    list(GET ARG_SPLIT 1 split_label)
    gtest_discover_tests(${target} DISCOVERY_TIMEOUT 60 TEST_FILTER "-${split_filter}" PROPERTIES ${props})
    gtest_discover_tests(${target} DISCOVERY_TIMEOUT 60 TEST_FILTER "${split_filter}"
                         PROPERTIES TIMEOUT 300 LABELS ${split_label})
  else()
    gtest_discover_tests(${target} DISCOVERY_TIMEOUT 60 PROPERTIES ${props})
  endif()
endfunction()
