include(${CMAKE_CURRENT_SOURCE_DIR}/gdi/gdi.cmake)
include(${CMAKE_CURRENT_SOURCE_DIR}/ui/ui.cmake OPTIONAL)
