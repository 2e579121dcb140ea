# Drawing: device contexts, pens, brushes, fonts, bitmaps, resources.
find_package(Freetype REQUIRED)

set(ZARN_GDI_DIR ${CMAKE_CURRENT_LIST_DIR})

add_library(zarn_gdi STATIC
  ${ZARN_GDI_DIR}/dc.cpp
  ${ZARN_GDI_DIR}/dc_text.cpp
  ${ZARN_GDI_DIR}/dc_blit.cpp
  ${ZARN_GDI_DIR}/font.cpp
  ${ZARN_GDI_DIR}/gdi_objects.cpp
  ${ZARN_GDI_DIR}/resource.cpp
)
target_include_directories(zarn_gdi PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(zarn_gdi PRIVATE Freetype::Freetype)

zarn_add_check(TEST gdi_test
  ${ZARN_GDI_DIR}/dc_test.cpp
  ${ZARN_GDI_DIR}/dc_text_test.cpp
  ${ZARN_GDI_DIR}/dc_blit_test.cpp
  ${ZARN_GDI_DIR}/resource_test.cpp
  LIBS zarn_gdi)

# Surfaces as PNG files, for programs and tests alike.
find_package(PNG REQUIRED)
add_library(zarn_png STATIC ${ZARN_GDI_DIR}/png_file.cpp)
target_include_directories(zarn_png PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(zarn_png PUBLIC PNG::PNG)

# Golden-image checks for tests of both drawing and windows; no program links them.
add_library(zarn_golden STATIC ${ZARN_GDI_DIR}/golden.cpp)
target_include_directories(zarn_golden PUBLIC ${PROJECT_SOURCE_DIR})
target_compile_definitions(zarn_golden PRIVATE ZARN_DEFAULT_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
target_link_libraries(zarn_golden PUBLIC zarn_png)
zarn_add_check(TEST golden_test ${ZARN_GDI_DIR}/golden_test.cpp LIBS zarn_golden)
zarn_add_check(TEST gdi_golden_test ${ZARN_GDI_DIR}/text_golden_test.cpp LIBS zarn_gdi zarn_golden)
