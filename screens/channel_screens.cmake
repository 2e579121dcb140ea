# The channel screens (single channel, channel table): their views, the
# single-channel options, the level history and the channel-table loader.

target_sources(zarn_screens PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/channel_openers.cpp
  ${CMAKE_CURRENT_LIST_DIR}/channel_table_load.cpp
  ${CMAKE_CURRENT_LIST_DIR}/level_history.cpp
  ${CMAKE_CURRENT_LIST_DIR}/single_options.cpp
  ${CMAKE_CURRENT_LIST_DIR}/single_view.cpp
  ${CMAKE_CURRENT_LIST_DIR}/table_view.cpp
)
target_link_libraries(zarn_screens PUBLIC zarn_channels zarn_board_link)

if(ZARN_TESTS)
  zarn_add_check(TEST channel_screens_test
    ${CMAKE_CURRENT_LIST_DIR}/channel_openers_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/channel_table_load_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/level_history_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/single_options_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/single_view_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/table_view_test.cpp
    LIBS zarn_screens_testing zarn_board_testing zarn_resources zarn_golden)
endif()
