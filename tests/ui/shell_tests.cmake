# SPDX-License-Identifier: GPL-2.0-or-later
# Tests of the shell (ui/shell): the skin base, the scroll bar, the device-message bridge and the
# main window, with Qt Test. Included from tests/ui/CMakeLists.txt.
if(TARGET oskel_shell AND TARGET oskel_virtual_keyboard_lib)
  find_package(Qt6 REQUIRED COMPONENTS Test Widgets)
  foreach(test MainWindowTest SkinScrollBarTest SkinDialogTest HighDensityTest FileDialogTest)
    if(NOT EXISTS ${CMAKE_CURRENT_LIST_DIR}/${test}.cpp)
      continue()
    endif()
    add_executable(ui_${test} ${CMAKE_CURRENT_LIST_DIR}/${test}.cpp
                              ${CMAKE_CURRENT_LIST_DIR}/ShellTestSupport.cpp)
    set_target_properties(ui_${test} PROPERTIES AUTOMOC ON)
    target_include_directories(ui_${test} PRIVATE ${CMAKE_CURRENT_LIST_DIR})
    target_link_libraries(ui_${test} PRIVATE oskel_shell oskel_virtual_keyboard_lib Qt6::Test)
    target_compile_definitions(ui_${test} PRIVATE
      OSKEL_RES_RCC="${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/OskelRES.rcc")
    if(TARGET OskelRES)
      add_dependencies(ui_${test} OskelRES)
    endif()
    add_test(NAME ui.${test} COMMAND ui_${test})
    set_tests_properties(ui.${test} PROPERTIES
      ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 60)
  endforeach()
endif()
