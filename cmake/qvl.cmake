# qvl_library(name folder LIBS...): one static library per product folder.
# Sources are globbed so that a new file in a folder needs no CMake edit.
function(qvl_library name folder)
  file(GLOB_RECURSE _src CONFIGURE_DEPENDS
       ${PROJECT_SOURCE_DIR}/${folder}/*.cpp)
  add_library(${name} STATIC ${_src})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${ARGN})
endfunction()

# qvl_test_folder(folder LIBS...): tests/<folder>/*_test.cpp form one suite;
# tests/<folder>/*_threaded_test.cpp form a second suite labelled "threaded",
# which CI also runs under ThreadSanitizer.
function(qvl_test_folder folder)
  string(REPLACE "/" "_" _id ${folder})
  file(GLOB _all CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/*_test.cpp)
  file(GLOB _thr CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/*_threaded_test.cpp)
  file(GLOB _sup CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/support/*.cpp
                                   ${CMAKE_CURRENT_SOURCE_DIR}/support/*.cpp)
  set(_plain ${_all})
  if(_thr)
    list(REMOVE_ITEM _plain ${_thr})
  endif()
  if(_plain)
    add_executable(qvl_${_id}_tests ${_plain} ${_sup})
    target_link_libraries(qvl_${_id}_tests PRIVATE ${ARGN} GTest::gtest GTest::gmock GTest::gtest_main)
    target_include_directories(qvl_${_id}_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
    gtest_discover_tests(qvl_${_id}_tests DISCOVERY_TIMEOUT 60
                         PROPERTIES LABELS "${_id}" ENVIRONMENT "QVL_TEST=1")
  endif()
  if(_thr)
    add_executable(qvl_${_id}_threaded_tests ${_thr} ${_sup})
    target_link_libraries(qvl_${_id}_threaded_tests PRIVATE ${ARGN} GTest::gtest GTest::gmock GTest::gtest_main)
    target_include_directories(qvl_${_id}_threaded_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
    gtest_discover_tests(qvl_${_id}_threaded_tests DISCOVERY_TIMEOUT 60
                         PROPERTIES LABELS threaded ENVIRONMENT "QVL_TEST=1")
  endif()
endfunction()
