# The score view window, over the class library.
target_sources(qsm_render PRIVATE ${CMAKE_CURRENT_LIST_DIR}/score_view.cc)
target_link_libraries(qsm_render PUBLIC qsm_platform_framework)
qsm_test(render_view_tests SOURCES ${CMAKE_CURRENT_LIST_DIR}/tests/score_view_test.cc DEPS qsm_render)

# Writes the screenshots of the view kept in docs/ for review.
if(QSM_TESTS)
  add_executable(score_view_shot ${CMAKE_CURRENT_LIST_DIR}/tests/score_view_shot_main.cc)
  target_compile_options(score_view_shot PRIVATE ${QSM_WARNINGS})
  target_link_libraries(score_view_shot PRIVATE qsm_render)
endif()
