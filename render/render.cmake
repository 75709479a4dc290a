# qsm_render: the drawing context with its fonts, glyphs, texts and shapes, and the curves slurs are made of.
qsm_library(qsm_render
  SOURCES music_fonts.cc music_shapes.cc bezier2.cc bundled_fonts.cc
  DEPS qsm_score_base qsm_core qsm_platform_gdi)
target_compile_definitions(qsm_render PRIVATE QSM_FONTS_SOURCE_DIR="${PROJECT_SOURCE_DIR}/fonts")

qsm_test(render_tests
  SOURCES tests/bezier2_test.cc tests/music_fonts_test.cc tests/music_shapes_test.cc tests/glyph_ink_test.cc
  DEPS qsm_render)

# Writes the contact sheet of glyphs and primitives kept in docs/ for review.
if(QSM_TESTS)
  add_executable(render_contact_sheet tests/contact_sheet_main.cc)
  target_compile_options(render_contact_sheet PRIVATE ${QSM_WARNINGS})
  target_link_libraries(render_contact_sheet PRIVATE qsm_render)
endif()

include(${CMAKE_CURRENT_SOURCE_DIR}/layout/layout.cmake)
include(${CMAKE_CURRENT_SOURCE_DIR}/view/view.cmake)
