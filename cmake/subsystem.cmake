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

# The labels are set once the cases are known: a list value cannot pass
# through the discovery's PROPERTIES whole.
function(tessaril_label_tests target list labels)
  set(label_script ${CMAKE_CURRENT_BINARY_DIR}/${list}_labels.cmake)
  file(WRITE ${label_script}
    "foreach(t IN LISTS ${list})\n"
    "  set_tests_properties(\"\${t}\" PROPERTIES LABELS \"${labels}\")\n"
    "endforeach()\n")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${label_script})
endfunction()

# One test program per tests/ folder, its cases registered with CTest one by
# one and labelled: `posix` (pseudo-terminals, child processes), `threads`
# (real threads: ThreadSanitizer runs these), `e2e` (the real program against
# the simulator), `qt` (the Qt back end). Files named *_pty_test.cpp need
# pseudo-terminals and are left out where there are none.
#   LABELS         the CTest labels of every case
#   EXTRA_SOURCES  sources from elsewhere compiled in (a shared suite)
#   OWN_MAIN       the folder has its own main (no gtest_main)
#   SPLIT FILTER LABELS...  the cases matching the gtest FILTER get these
#                  labels instead
function(tessaril_test_folder folder)
  cmake_parse_arguments(ARG "OWN_MAIN" "" "DEPS;LABELS;EXTRA_SOURCES;SPLIT" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/*.cpp)
  if(WIN32)
    list(FILTER sources EXCLUDE REGEX "_pty_test\\.cpp$")
  endif()
  if(CMAKE_CROSSCOMPILING)
    list(FILTER sources EXCLUDE REGEX "junit_.*_test\\.cpp$")
  endif()
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
  if(ARG_SPLIT)
    list(POP_FRONT ARG_SPLIT split_filter)
    gtest_discover_tests(${target} DISCOVERY_TIMEOUT 60 TEST_FILTER "-${split_filter}" PROPERTIES TIMEOUT 300
                         TEST_LIST ${target}_TESTS)
    gtest_discover_tests(${target} DISCOVERY_TIMEOUT 60 TEST_FILTER "${split_filter}" PROPERTIES TIMEOUT 300
                         TEST_LIST ${target}_SPLIT_TESTS)
    tessaril_label_tests(${target} ${target}_SPLIT_TESTS "${ARG_SPLIT}")
  else()
    gtest_discover_tests(${target} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 300 TEST_LIST ${target}_TESTS)
  endif()
  tessaril_label_tests(${target} ${target}_TESTS "${ARG_LABELS}")
endfunction()
