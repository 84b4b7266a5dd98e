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
