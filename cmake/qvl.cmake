# qvl_library(name folder LIBS...): one static library per product folder.
# Sources are globbed so that a new file in a folder needs no CMake edit.
function(qvl_library name folder)
  file(GLOB_RECURSE _src CONFIGURE_DEPENDS
       ${PROJECT_SOURCE_DIR}/${folder}/*.cpp)
  add_library(${name} STATIC ${_src})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${ARGN})
endfunction()

# The shared helpers of tests/support/, built once for every suite.
function(_qvl_test_support)
  if(TARGET qvl_test_support)
    return()
  endif()
  file(GLOB _src CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/support/*.cpp)
  if(_src)
    add_library(qvl_test_support STATIC ${_src})
    set(_scope PUBLIC)
  else()
    add_library(qvl_test_support INTERFACE)
    set(_scope INTERFACE)
  endif()
  target_include_directories(qvl_test_support ${_scope} ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_libraries(qvl_test_support ${_scope} Threads::Threads)
endfunction()

# One GoogleTest executable, its tests registered with CTest under a label.
function(_qvl_test_executable target label sources libs)
  _qvl_test_support()
  add_executable(${target} ${sources})
  target_link_libraries(${target} PRIVATE qvl_test_support ${libs} GTest::gtest GTest::gmock GTest::gtest_main)
  target_include_directories(${target} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
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
  endif()
endfunction()
