# The score model: notation items, staff, lyrics, score, staff utilities, with the seams for the item file
# records, item playback and item drawing.
qsm_library(qsm_score
  SOURCES
    edit_controls.cc
    expression_items.cc
    item_drawing.cc
    item_play.cc
    item_records.cc
    lyrics.cc
    music_score.cc
    music_staff.cc
    notated_item.cc
    song_note.cc
    music_note.cc
    chord_data.cc
    rest_note.cc
    rest_chord.cc
    staff_audit.cc
    staff_cleanup.cc
    staff_util.cc
    structure_items.cc
  DEPS qsm_core qsm_midi_base qsm_render_base
  PRIVATE_DEPS qsm_platform_wm)

qsm_test(score_tests
  SOURCES
    tests/items_test.cc
    tests/lyrics_test.cc
    tests/score_test.cc
    tests/song_note_test.cc
    tests/staff_audit_test.cc
    tests/staff_test.cc
    tests/staff_util_test.cc
  DEPS qsm_score)

# The item records' header record, and the item record tests over the score file generator's records.
target_sources(qsm_score PRIVATE score_file_header.cc)
qsm_test(score_item_records_tests SOURCES tests/item_records_test.cc DEPS qsm_score qsm_scorefile_gen)

# The model's adapters of edit controls and list boxes, over the window manager.
qsm_test(score_control_tests SOURCES tests/edit_controls_test.cc DEPS qsm_score qsm_platform_wm)
