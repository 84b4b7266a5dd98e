# SPDX-License-Identifier: GPL-2.0-or-later
# Tests of the backlight editor (ui/backlight): both dialogs on their own, Write against the
# in-process virtual keyboard, and the dialog reached through the main window's button.
# Included from tests/ui/CMakeLists.txt.
if(TARGET oskel_ui_backlight AND TARGET oskel_shell AND TARGET oskel_virtual_keyboard_lib)
  find_package(Qt6 REQUIRED COMPONENTS Test Widgets)
  add_executable(backlight_dialog_tests
    ${CMAKE_CURRENT_LIST_DIR}/device_main.cpp
    ${CMAKE_CURRENT_LIST_DIR}/device_test_support.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ShellTestSupport.cpp
    ${CMAKE_CURRENT_LIST_DIR}/backlight_dialog_test.cpp
  )
  target_link_libraries(backlight_dialog_tests PRIVATE
    oskel_shell oskel_virtual_keyboard_lib Qt6::Test GTest::gtest)
  target_compile_definitions(backlight_dialog_tests PRIVATE
    OSKEL_RES_RCC="${CMAKE_BINARY_DIR}/bin/OskelRES.rcc")
  if(TARGET OskelRES)
    add_dependencies(backlight_dialog_tests OskelRES)
  endif()
  gtest_discover_tests(backlight_dialog_tests NO_PRETTY_VALUES TEST_PREFIX "ui."
    DISCOVERY_TIMEOUT 30
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endif()
