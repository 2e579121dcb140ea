# The serial link to the board, its link thread and the request sequences.

add_library(zarn_board_link STATIC
  ${CMAKE_CURRENT_LIST_DIR}/board_connection.cpp
  ${CMAKE_CURRENT_LIST_DIR}/board_sequences.cpp
  ${CMAKE_CURRENT_LIST_DIR}/link_thread.cpp
  ${CMAKE_CURRENT_LIST_DIR}/port_discovery.cpp
  ${CMAKE_CURRENT_LIST_DIR}/send_slot.cpp
  ${CMAKE_CURRENT_LIST_DIR}/serial_link.cpp
)
target_link_libraries(zarn_board_link PUBLIC zarn_board zarn_platform_system)

zarn_add_check(TEST board_link_test
  ${CMAKE_CURRENT_LIST_DIR}/board_sequences_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/link_thread_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/port_discovery_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/request_wait_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/send_slot_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/serial_link_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/test_support.cpp
  LIBS zarn_board_link util)
