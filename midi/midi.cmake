# qsm_midi: MIDI devices and the MIDI manager, the sequencer, the score MIDI player.
set(QSM_MIDI_DIR ${CMAKE_CURRENT_LIST_DIR})
qsm_library(qsm_midi
  SOURCES ${QSM_MIDI_DIR}/sequencer.cc ${QSM_MIDI_DIR}/midi_manager.cc ${QSM_MIDI_DIR}/score_player.cc
  DEPS qsm_score_base qsm_scorefile qsm_platform_mm qsm_platform_wm)

qsm_test(midi_playback_tests
  SOURCES ${QSM_MIDI_DIR}/tests/sequencer_test.cc ${QSM_MIDI_DIR}/tests/realtime_test.cc
          ${QSM_MIDI_DIR}/tests/synth_playback_test.cc ${QSM_MIDI_DIR}/tests/score_playback_test.cc
          ${QSM_MIDI_DIR}/tests/playback_fixture.cc
  DEPS qsm_midi
  LABELS tsan)

qsm_test(midi_player_tests
  SOURCES ${QSM_MIDI_DIR}/tests/score_player_test.cc ${QSM_MIDI_DIR}/tests/manager_settings_test.cc
  DEPS qsm_midi)
include(${QSM_MIDI_DIR}/midifile.cmake)

# The player as the score view's play-position source (a header over both libraries).
qsm_test(midi_view_tests SOURCES ${QSM_MIDI_DIR}/tests/view_play_source_test.cc DEPS qsm_midi qsm_render)
