# SPDX-License-Identifier: GPL-2.0-or-later
# Tests of the XML engine and the profile file, included by this folder's CMakeLists.txt.
foreach(test xml_document_test xml_file_test profile_test)
  if(EXISTS ${CMAKE_CURRENT_LIST_DIR}/${test}.cpp)
    add_executable(core_${test} ${CMAKE_CURRENT_LIST_DIR}/${test}.cpp)
    target_link_libraries(core_${test} PRIVATE oskel_core GTest::gtest_main)
    target_compile_definitions(core_${test} PRIVATE
      OSKEL_TEST_DATA_DIR="${CMAKE_CURRENT_LIST_DIR}/data")
    gtest_discover_tests(core_${test} NO_PRETTY_VALUES TEST_PREFIX "core." DISCOVERY_TIMEOUT 30)
  endif()
endforeach()
