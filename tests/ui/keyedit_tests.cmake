# SPDX-License-Identifier: GPL-2.0-or-later
# Tests of the key settings dialog (ui/keyedit), with Qt Test. Included from
# tests/ui/CMakeLists.txt.
if(TARGET oskel_ui_keyedit)
  find_package(Qt6 REQUIRED COMPONENTS Test Widgets)
  add_executable(ui_KeySettingsDialogTest ${CMAKE_CURRENT_LIST_DIR}/KeySettingsDialogTest.cpp
                                          ${CMAKE_CURRENT_LIST_DIR}/ShellTestSupport.cpp)
  set_target_properties(ui_KeySettingsDialogTest PROPERTIES AUTOMOC ON)
  target_include_directories(ui_KeySettingsDialogTest PRIVATE ${CMAKE_CURRENT_LIST_DIR})
  target_link_libraries(ui_KeySettingsDialogTest PRIVATE oskel_ui_keyedit
                                                         oskel_virtual_keyboard_lib Qt6::Test)
  target_compile_definitions(ui_KeySettingsDialogTest PRIVATE
    OSKEL_RES_RCC="${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/OskelRES.rcc")
  if(TARGET OskelRES)
    add_dependencies(ui_KeySettingsDialogTest OskelRES)
  endif()
  add_test(NAME ui.KeySettingsDialogTest COMMAND ui_KeySettingsDialogTest)
  set_tests_properties(ui.KeySettingsDialogTest PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 120)
endif()

# The recorder inside the dialog, with a stand-in for the keystroke capture.
if(TARGET oskel_ui_keyedit)
  add_executable(ui_KeyRecorderTest ${CMAKE_CURRENT_LIST_DIR}/KeyRecorderTest.cpp
                                    ${CMAKE_CURRENT_LIST_DIR}/ShellTestSupport.cpp)
  set_target_properties(ui_KeyRecorderTest PROPERTIES AUTOMOC ON)
  target_include_directories(ui_KeyRecorderTest PRIVATE ${CMAKE_CURRENT_LIST_DIR})
  target_link_libraries(ui_KeyRecorderTest PRIVATE oskel_ui_keyedit oskel_virtual_keyboard_lib
                                                   Qt6::Test)
  target_compile_definitions(ui_KeyRecorderTest PRIVATE
    OSKEL_RES_RCC="${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/OskelRES.rcc")
  if(TARGET OskelRES)
    add_dependencies(ui_KeyRecorderTest OskelRES)
  endif()
  add_test(NAME ui.KeyRecorderTest COMMAND ui_KeyRecorderTest)
  set_tests_properties(ui.KeyRecorderTest PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 120)
endif()

# The recorder with the real keystroke capture on a private Xvfb (skipped without Xvfb), and a
# recorded macro written to the in-process virtual keyboard through the main window.
if(TARGET oskel_shell AND TARGET oskel_virtual_keyboard_lib)
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(OSKEL_XTEST REQUIRED IMPORTED_TARGET x11 xtst)
  add_executable(ui_recorder_x11_tests
    ${CMAKE_CURRENT_LIST_DIR}/device_main.cpp
    ${CMAKE_CURRENT_LIST_DIR}/device_test_support.cpp
    ${CMAKE_CURRENT_LIST_DIR}/recorder_x11_test.cpp
  )
  target_include_directories(ui_recorder_x11_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}
                                                           ${CMAKE_SOURCE_DIR}/tests/support)
  target_link_libraries(ui_recorder_x11_tests PRIVATE
    oskel_shell oskel_virtual_keyboard_lib PkgConfig::OSKEL_XTEST Qt6::Test GTest::gtest)
  target_compile_definitions(ui_recorder_x11_tests PRIVATE
    OSKEL_RES_RCC="${CMAKE_BINARY_DIR}/bin/OskelRES.rcc")
  if(TARGET OskelRES)
    add_dependencies(ui_recorder_x11_tests OskelRES)
  endif()
  gtest_discover_tests(ui_recorder_x11_tests NO_PRETTY_VALUES TEST_PREFIX "ui."
    DISCOVERY_TIMEOUT 30
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 60)
endif()
