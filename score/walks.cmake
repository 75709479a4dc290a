# Item playback bodies, notation indexes, item ranges and their tests (added to the score library).
target_sources(qsm_score PRIVATE
  audit_index.cc
  notation_index.cc
  slur_tie.cc
  staff_range.cc)

qsm_test(score_walk_tests
  SOURCES
    tests/audit_index_test.cc
    tests/item_play_test.cc
    tests/notation_index_test.cc
    tests/staff_range_test.cc
  DEPS qsm_score)
