# SPDX-License-Identifier: GPL-2.0-or-later
# Tests of the device operation dialogs (ui/device), against the in-process virtual keyboard.
# Included from tests/ui/CMakeLists.txt.
if(TARGET oskel_ui_device AND TARGET oskel_virtual_keyboard_lib)
  find_package(Qt6 REQUIRED COMPONENTS Test Widgets)
  add_executable(device_dialog_tests
    ${CMAKE_CURRENT_LIST_DIR}/device_main.cpp
    ${CMAKE_CURRENT_LIST_DIR}/device_test_support.cpp
    ${CMAKE_CURRENT_LIST_DIR}/device_progress_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/device_firmware_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/device_screenshot_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/device_worker_test.cpp
  )
  target_link_libraries(device_dialog_tests PRIVATE
    oskel_ui_device oskel_virtual_keyboard_lib Qt6::Test GTest::gtest)
  target_compile_definitions(device_dialog_tests PRIVATE
    OSKEL_RES_RCC="${CMAKE_BINARY_DIR}/bin/OskelRES.rcc"
    OSKEL_SCREENSHOT_DIR="${CMAKE_BINARY_DIR}/screenshots")
  if(TARGET OskelRES)
    add_dependencies(device_dialog_tests OskelRES)
  endif()
  gtest_discover_tests(device_dialog_tests NO_PRETTY_VALUES TEST_PREFIX "ui."
    DISCOVERY_TIMEOUT 30
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endif()

# The same dialogs reached through the main window's buttons.
if(TARGET oskel_shell AND TARGET oskel_virtual_keyboard_lib)
  add_executable(device_mainwindow_tests
    ${CMAKE_CURRENT_LIST_DIR}/device_main.cpp
    ${CMAKE_CURRENT_LIST_DIR}/device_test_support.cpp
    ${CMAKE_CURRENT_LIST_DIR}/device_mainwindow_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/device_verify_test.cpp
  )
  target_link_libraries(device_mainwindow_tests PRIVATE
    oskel_shell oskel_virtual_keyboard_lib Qt6::Test GTest::gtest)
  target_compile_definitions(device_mainwindow_tests PRIVATE
    OSKEL_RES_RCC="${CMAKE_BINARY_DIR}/bin/OskelRES.rcc")
  if(TARGET OskelRES)
    add_dependencies(device_mainwindow_tests OskelRES)
  endif()
  gtest_discover_tests(device_mainwindow_tests NO_PRETTY_VALUES TEST_PREFIX "ui."
    DISCOVERY_TIMEOUT 30
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endif()
