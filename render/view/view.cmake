# The score view window, over the class library.
target_sources(qsm_render PRIVATE ${CMAKE_CURRENT_LIST_DIR}/score_view.cc)
target_link_libraries(qsm_render PUBLIC qsm_platform_framework)
qsm_test(render_view_tests SOURCES ${CMAKE_CURRENT_LIST_DIR}/tests/score_view_test.cc DEPS qsm_render)

# Writes the screenshots of the view kept in docs/ for review: from the X server under xvfb-run, from the
# headless virtual screen without a display. The display test runs it once under Xvfb.
if(QSM_TESTS)
  find_package(X11 REQUIRED)
  add_executable(score_view_shot ${CMAKE_CURRENT_LIST_DIR}/tests/score_view_shot_main.cc
                                 ${PROJECT_SOURCE_DIR}/platform/wm/tests/x11_grab.cc)
  target_compile_options(score_view_shot PRIVATE ${QSM_WARNINGS})
  target_link_libraries(score_view_shot PRIVATE qsm_render qsm_platform_wm_sdl X11::X11)
  find_program(QSM_XVFB_RUN xvfb-run)
  if(QSM_XVFB_RUN)
    add_test(NAME render_view_display_shot
             COMMAND ${QSM_XVFB_RUN} -a -s "-screen 0 1024x768x24" $<TARGET_FILE:score_view_shot>
                     ${PROJECT_SOURCE_DIR}/testdata/layout/quartet.qsmtxt
                     ${CMAKE_CURRENT_BINARY_DIR}/score_view_display_shot.png)
    # The display libraries SDL loads keep allocations of their own until the process ends.
    set_tests_properties(render_view_display_shot PROPERTIES TIMEOUT 120 LABELS display
                         ENVIRONMENT "ASAN_OPTIONS=detect_leaks=0:abort_on_error=1")
  endif()
endif()
