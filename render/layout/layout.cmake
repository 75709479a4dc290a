# Layout and drawing of scores: item measuring and drawing, layout records, beams, slurs, staff and score
# draw information, system fitting, layout dumps.
target_sources(qsm_render PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/layout_metrics.cc
  ${CMAKE_CURRENT_LIST_DIR}/item_notes.cc
  ${CMAKE_CURRENT_LIST_DIR}/item_signs.cc
  ${CMAKE_CURRENT_LIST_DIR}/staff_draw_info.cc
  ${CMAKE_CURRENT_LIST_DIR}/staff_draw.cc
  ${CMAKE_CURRENT_LIST_DIR}/staff_connects.cc
  ${CMAKE_CURRENT_LIST_DIR}/sd_ntn_idx.cc
  ${CMAKE_CURRENT_LIST_DIR}/score_draw_info.cc
  ${CMAKE_CURRENT_LIST_DIR}/score_staff_selection.cc
  ${CMAKE_CURRENT_LIST_DIR}/system_run.cc
  ${CMAKE_CURRENT_LIST_DIR}/layout_dump.cc)
target_link_libraries(qsm_render PUBLIC qsm_scorefile)

if(QSM_TESTS)
  add_executable(render_score ${CMAKE_CURRENT_LIST_DIR}/tests/render_score_main.cc)
  target_compile_options(render_score PRIVATE ${QSM_WARNINGS})
  target_link_libraries(render_score PRIVATE qsm_render qsm_midi)
endif()

qsm_test(render_layout_tests SOURCES ${CMAKE_CURRENT_LIST_DIR}/tests/layout_test.cc
         ${CMAKE_CURRENT_LIST_DIR}/tests/layout_rules_test.cc
         ${CMAKE_CURRENT_LIST_DIR}/tests/drawing_modes_test.cc DEPS qsm_render)
# Also over MIDI files converted into scores (the corpus of real files when it has been fetched).
qsm_test(render_layout_geometry_tests SOURCES ${CMAKE_CURRENT_LIST_DIR}/tests/layout_geometry_test.cc
         DEPS qsm_render qsm_midi)
qsm_test(render_staff_selection_tests SOURCES ${CMAKE_CURRENT_LIST_DIR}/tests/staff_selection_test.cc
         DEPS qsm_render)
