# The score view window, over the class library.
target_sources(qsm_render PRIVATE ${CMAKE_CURRENT_LIST_DIR}/score_view.cc)
target_link_libraries(qsm_render PUBLIC qsm_platform_framework)
qsm_test(render_view_tests SOURCES ${CMAKE_CURRENT_LIST_DIR}/tests/score_view_test.cc DEPS qsm_render)

# Writes the screenshots of the view kept in docs/ for review: from the X server under xvfb-run, from the
# headless virtual screen without a display. The display test runs it once under Xvfb.
qsm_display_shot(score_view_shot
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/tests/score_view_shot_main.cc
  DEPS qsm_render
  TEST render_view_display_shot
  ARGS ${PROJECT_SOURCE_DIR}/testdata/layout/quartet.qsmtxt ${CMAKE_CURRENT_BINARY_DIR}/score_view_display_shot.png)
