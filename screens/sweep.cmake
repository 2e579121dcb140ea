# The sweep screens (spectrum analysis, best servers): their actions, option
# dialogs and option files.

add_library(zarn_sweep STATIC
  ${CMAKE_CURRENT_LIST_DIR}/option_file.cpp
  ${CMAKE_CURRENT_LIST_DIR}/spectrum_actions.cpp
  ${CMAKE_CURRENT_LIST_DIR}/spectrum_options.cpp
  ${CMAKE_CURRENT_LIST_DIR}/server_options.cpp
)
target_include_directories(zarn_sweep PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(zarn_sweep PUBLIC zarn_board_link zarn_ui)

zarn_add_test(sweep_test
  ${CMAKE_CURRENT_LIST_DIR}/option_file_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/spectrum_actions_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/spectrum_options_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/server_options_test.cpp
  LIBS zarn_sweep zarn_board_testing zarn_ui_headless zarn_resources)
