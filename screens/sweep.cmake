# The sweep screens (spectrum analysis, best servers): their views, actions,
# option dialogs and option files.

target_sources(zarn_screens PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/server_options.cpp
  ${CMAKE_CURRENT_LIST_DIR}/server_paint.cpp
  ${CMAKE_CURRENT_LIST_DIR}/server_view.cpp
  ${CMAKE_CURRENT_LIST_DIR}/spectrum_actions.cpp
  ${CMAKE_CURRENT_LIST_DIR}/spectrum_options.cpp
  ${CMAKE_CURRENT_LIST_DIR}/spectrum_paint.cpp
  ${CMAKE_CURRENT_LIST_DIR}/spectrum_view.cpp
  ${CMAKE_CURRENT_LIST_DIR}/sweep_openers.cpp
)
target_link_libraries(zarn_screens PUBLIC zarn_board_link)

zarn_add_check(TEST sweep_test
  ${CMAKE_CURRENT_LIST_DIR}/spectrum_actions_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/spectrum_options_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/server_options_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/server_view_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/spectrum_view_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/sweep_openers_test.cpp
  LIBS zarn_screens_testing zarn_board_testing zarn_resources zarn_golden)
