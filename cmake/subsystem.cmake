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
#   LABELS         CTest labels of every case
#   SPLIT FILTER LABELS  the cases matching the gtest FILTER get these labels
#                  instead (both groups are registered)
function(tessaril_test_folder folder)
  cmake_parse_arguments(ARG "OWN_MAIN" "" "DEPS;EXTRA_SOURCES;LABELS;SPLIT" ${ARGN})
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
  if(ARG_LABELS)
    list(APPEND props LABELS "${ARG_LABELS}")
  endif()
  if(ARG_SPLIT)
    list(POP_FRONT ARG_SPLIT split_filter)
    gtest_discover_tests(${target} DISCOVERY_TIMEOUT 60 TEST_FILTER "-${split_filter}" PROPERTIES ${props})
    gtest_discover_tests(${target} DISCOVERY_TIMEOUT 60 TEST_FILTER "${split_filter}"
                         PROPERTIES TIMEOUT 300 LABELS "${ARG_SPLIT}")
  else()
    gtest_discover_tests(${target} DISCOVERY_TIMEOUT 60 PROPERTIES ${props})
  endif()
endfunction()
