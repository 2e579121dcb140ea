# The device's system services: command lines, device file system, registry, serial port, message boxes
# and worker threads.

add_library(zarn_platform_system STATIC
  ${CMAKE_CURRENT_LIST_DIR}/command_line.cpp
  ${CMAKE_CURRENT_LIST_DIR}/comm_port.cpp
  ${CMAKE_CURRENT_LIST_DIR}/device_root.cpp
  ${CMAKE_CURRENT_LIST_DIR}/file_calls.cpp
  ${CMAKE_CURRENT_LIST_DIR}/message_box.cpp
  ${CMAKE_CURRENT_LIST_DIR}/registry.cpp
  ${CMAKE_CURRENT_LIST_DIR}/registry_file.cpp
  ${CMAKE_CURRENT_LIST_DIR}/utf16.cpp
  ${CMAKE_CURRENT_LIST_DIR}/worker_thread.cpp
)
target_link_libraries(zarn_platform_system PUBLIC zarn_platform_core PRIVATE zarn_version)

zarn_add_check(TEST platform_system_test
  ${CMAKE_CURRENT_LIST_DIR}/command_line_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/comm_port_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/device_root_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/file_calls_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/registry_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/registry_file_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/worker_thread_test.cpp
  LIBS zarn_platform_system zarn_version util)
