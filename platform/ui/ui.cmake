# Window system, application framework, dialogs and sound, with two backends:
# zarn_ui_sdl (a real window) and zarn_ui_headless (in-process, for tests).
# Programs link zarn_ui_main, which picks the backend from ZARN_UI.

set(ZARN_UI_DIR ${CMAKE_CURRENT_LIST_DIR})
set(ZARN_PLATFORM_DIR ${CMAKE_CURRENT_LIST_DIR}/..)

add_library(zarn_ui STATIC
  ${ZARN_UI_DIR}/app.cpp
  ${ZARN_UI_DIR}/command_bar.cpp
  ${ZARN_UI_DIR}/cwnd.cpp
  ${ZARN_UI_DIR}/ddx.cpp
  ${ZARN_UI_DIR}/device_files.cpp
  ${ZARN_UI_DIR}/dialog.cpp
  ${ZARN_UI_DIR}/dialog_item.cpp
  ${ZARN_UI_DIR}/doc_view.cpp
  ${ZARN_UI_DIR}/file_dialog.cpp
  ${ZARN_UI_DIR}/frame.cpp
  ${ZARN_UI_DIR}/message_box.cpp
  ${ZARN_UI_DIR}/message_queue.cpp
  ${ZARN_UI_DIR}/numeric_panel.cpp
  ${ZARN_UI_DIR}/present_stats.cpp
  ${ZARN_UI_DIR}/screen_placement.cpp
  ${ZARN_UI_DIR}/sound.cpp
  ${ZARN_UI_DIR}/timer_table.cpp
  ${ZARN_UI_DIR}/title_bar.cpp
  ${ZARN_UI_DIR}/tooltip.cpp
  ${ZARN_UI_DIR}/window_dc.cpp
  ${ZARN_UI_DIR}/window_system.cpp
)
target_include_directories(zarn_ui PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(zarn_ui PUBLIC zarn_gdi zarn_platform_core zarn_platform_system)

add_library(zarn_ui_headless STATIC
  ${ZARN_PLATFORM_DIR}/headless/headless_backend.cpp
)
target_link_libraries(zarn_ui_headless PUBLIC zarn_ui)

zarn_add_check(TEST ui_test
  ${ZARN_UI_DIR}/timer_table_test.cpp
  ${ZARN_UI_DIR}/window_system_test.cpp
  ${ZARN_UI_DIR}/screen_placement_test.cpp
  ${ZARN_UI_DIR}/frame_test.cpp
  ${ZARN_UI_DIR}/dialog_test.cpp
  ${ZARN_UI_DIR}/sound_test.cpp
  LIBS zarn_ui_headless zarn_golden)

find_package(SDL2 REQUIRED)
add_library(zarn_ui_sdl STATIC ${ZARN_PLATFORM_DIR}/sdl/sdl_backend.cpp ${ZARN_PLATFORM_DIR}/sdl/sdl_presenter.cpp
  ${ZARN_PLATFORM_DIR}/sdl/sdl_audio.cpp ${ZARN_PLATFORM_DIR}/sdl/sdl_input.cpp ${ZARN_PLATFORM_DIR}/sdl/window_options.cpp)
target_link_libraries(zarn_ui_sdl PUBLIC zarn_ui PRIVATE SDL2::SDL2)

add_library(zarn_ui_main STATIC ${ZARN_UI_DIR}/win_main.cpp)
target_link_libraries(zarn_ui_main PUBLIC zarn_ui_sdl zarn_ui_headless)

zarn_add_check(TEST ui_sdl_test ${PROJECT_SOURCE_DIR}/platform/sdl/sdl_backend_test.cpp LIBS zarn_ui_main zarn_golden SDL2::SDL2)
if(ZARN_TESTS)
  # The same cases through an SDL renderer and its texture, the path a GPU takes.
  gtest_discover_tests(ui_sdl_test TEST_PREFIX "Renderer." DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "SDL_RENDER_DRIVER=software;ZARN_SOURCE_DIR=${PROJECT_SOURCE_DIR};ZARN_BINARY_DIR=${PROJECT_BINARY_DIR}")
endif()

# A private Xvfb, and a window on it read back and clicked, for the window
# tests and the measuring tool.
find_package(X11 REQUIRED)
add_library(zarn_x11_probe STATIC ${PROJECT_SOURCE_DIR}/platform/sdl/xvfb_server.cpp
  ${PROJECT_SOURCE_DIR}/platform/sdl/x11_grab.cpp)
target_link_libraries(zarn_x11_probe PUBLIC zarn_gdi PRIVATE X11::X11 X11::Xtst)

# The same window on a private Xvfb, read back from the X server.
zarn_add_check(TEST ui_x11_test ${PROJECT_SOURCE_DIR}/platform/sdl/x11_screenshot_test.cpp LIBS zarn_ui_main zarn_x11_probe)
