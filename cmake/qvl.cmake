# qvl_publish_headers(target folder): whoever links `target` sees the headers
# of <folder> as "<folder>/..." and no other folder of the tree. The target's
# include folder is a folder of the build tree holding one symbolic link,
# named after <folder>, to the source folder; a library therefore reaches only
# the headers of the libraries it links, and an include of a folder it does
# not link fails to compile.
function(qvl_publish_headers target folder)
  set(_root ${CMAKE_BINARY_DIR}/include/${target})
  get_filename_component(_parent ${_root}/${folder} DIRECTORY)
  file(MAKE_DIRECTORY ${_parent})
  file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${folder} ${_root}/${folder} SYMBOLIC)
  get_target_property(_type ${target} TYPE)
  if(_type STREQUAL "INTERFACE_LIBRARY")
    target_include_directories(${target} INTERFACE ${_root})
  else()
    target_include_directories(${target} PUBLIC ${_root})
  endif()
endfunction()

# qvl_library(name folder LIBS...): one static library per product folder,
# publishing only that folder's headers. LIBS are the lower layers and
# packages it uses; they are PUBLIC, as its headers use them too.
# Sources are globbed so that a new file in a folder needs no CMake edit.
function(qvl_library name folder)
  file(GLOB_RECURSE _src CONFIGURE_DEPENDS
       ${PROJECT_SOURCE_DIR}/${folder}/*.cpp)
  add_library(${name} STATIC ${_src})
  qvl_publish_headers(${name} ${folder})
  target_link_libraries(${name} PUBLIC ${ARGN})
  qvl_unity(${name} ${QVL_UNITY_BATCH})
endfunction()

# qvl_test_support(): the shared helpers of tests/support/ ("support/..."),
# built once for every suite and for the benchmarks that borrow them.
function(qvl_test_support)
  if(TARGET qvl_test_support)
    return()
  endif()
  set(_tests ${PROJECT_SOURCE_DIR}/tests)
  file(GLOB _src CONFIGURE_DEPENDS ${_tests}/support/*.cpp)
  if(_src)
    add_library(qvl_test_support STATIC ${_src})
    _qvl_test_code_optimization(qvl_test_support)
    set(_scope PUBLIC)
  else()
    add_library(qvl_test_support INTERFACE)
    set(_scope INTERFACE)
  endif()
  target_include_directories(qvl_test_support ${_scope} ${_tests})
  # The loopback HTTP server is built on the demonstration's download site.
  target_link_libraries(qvl_test_support ${_scope} qvl_http_site_lib Threads::Threads)
endfunction()

# A test suite's own code (its cases and helpers, not the product it links)
# is most of what a build compiles: GoogleTest's macros expand into much code
# that the optimiser (and a sanitizer's passes) then work through, while the
# suites run the same without it (their time is the product's and the
# clock's). CI compiles it with less optimisation (-Og in the tree that makes
# warnings errors, which keeps the warnings that need the optimiser; -O0 in
# the sanitizer trees); the product keeps its flags, so what the tests and
# the sanitizers watch is unchanged. Empty: the build's own flags.
set(QVL_TEST_CODE_OPTIMIZATION "" CACHE STRING "Optimisation of the test suites' own code, e.g. -Og or -O0 (empty: the build's)")
function(_qvl_test_code_optimization target)
  if(QVL_TEST_CODE_OPTIMIZATION)
    target_compile_options(${target} PRIVATE ${QVL_TEST_CODE_OPTIMIZATION})
  endif()
endfunction()

# One GoogleTest executable, its tests registered with CTest under a label.
function(_qvl_test_executable target label sources libs)
  qvl_test_support()
  add_executable(${target} ${sources})
  _qvl_test_code_optimization(${target})
  target_link_libraries(${target} PRIVATE qvl_test_support ${libs} GTest::gtest GTest::gmock GTest::gtest_main)
  target_include_directories(${target} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
  # GoogleTest's headers are most of what a test file compiles: a suite's
  # files are compiled eight to a unit, so each unit parses them once. Names
  # of a file's anonymous namespace must therefore differ from its
  # neighbours' (cmake/unity.cmake), and each file must still compile on its
  # own (tools/checks/compile_alone.sh). CMake's own batches: a folder's
  # support sources belong to both of its suites.
  if(QVL_UNITY)
    set_target_properties(${target} PROPERTIES UNITY_BUILD ON UNITY_BUILD_BATCH_SIZE 8)
  endif()
  gtest_discover_tests(${target} DISCOVERY_TIMEOUT 60
                       PROPERTIES LABELS ${label})
endfunction()

# qvl_test_folder(folder LIBS...): tests/<folder>/*_test.cpp form one suite;
# tests/<folder>/*_threaded_test.cpp form a second suite labelled "threaded",
# which CI also runs under ThreadSanitizer.
function(qvl_test_folder folder)
  string(REPLACE "/" "_" _id ${folder})
  file(GLOB _all CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/*_test.cpp)
  file(GLOB _thr CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/*_threaded_test.cpp)
  file(GLOB _sup CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/support/*.cpp)
  set(_plain ${_all})
  if(_thr)
    list(REMOVE_ITEM _plain ${_thr})
  endif()
  if(_plain)
    _qvl_test_executable(qvl_${_id}_tests ${_id} "${_plain};${_sup}" "${ARGN}")
  endif()
  if(_thr)
    _qvl_test_executable(qvl_${_id}_threaded_tests threaded "${_thr};${_sup}" "${ARGN}")
    if(TARGET qvl_threaded_tests)
      add_dependencies(qvl_threaded_tests qvl_${_id}_threaded_tests)
    endif()
  endif()
endfunction()
