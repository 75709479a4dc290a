# The score view window, over the class library.
target_sources(qsm_render PRIVATE ${CMAKE_CURRENT_LIST_DIR}/score_view.cc)
target_link_libraries(qsm_render PUBLIC qsm_platform_framework)
qsm_test(render_view_tests SOURCES ${CMAKE_CURRENT_LIST_DIR}/tests/score_view_test.cc DEPS qsm_render)
