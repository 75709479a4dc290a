# Item playback bodies, notation indexes, item ranges and their tests (added to the score library).
target_sources(qsm_score PRIVATE
  slur_tie.cc)

qsm_test(score_walk_tests
  SOURCES
    tests/item_play_test.cc
  DEPS qsm_score)
