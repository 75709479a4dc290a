# Standard MIDI Files in the MIDI library: the reader and importer, the conversion of tracks into staves and
# of whole files into scores, and the writer.
target_sources(qsm_midi PRIVATE
  ${QSM_MIDI_DIR}/smf_reader.cc
  ${QSM_MIDI_DIR}/smf_import.cc
  ${QSM_MIDI_DIR}/smf_writer.cc
  ${QSM_MIDI_DIR}/smf_convert.cc
  ${QSM_MIDI_DIR}/smf_to_score.cc)

qsm_test(midi_file_tests
  SOURCES ${QSM_MIDI_DIR}/tests/smf_reader_test.cc ${QSM_MIDI_DIR}/tests/smf_writer_test.cc
          ${QSM_MIDI_DIR}/tests/smf_convert_test.cc
  DEPS qsm_midi)
target_link_libraries(qsm_midi PUBLIC qsm_core)

if(QSM_TESTS)
  # Real files from Debian packages (fetched at test time, never committed), read by the importer and by
  # python3-mido.
  add_executable(smf_dump ${QSM_MIDI_DIR}/tests/smf_dump_main.cc)
  target_compile_options(smf_dump PRIVATE ${QSM_WARNINGS})
  target_link_libraries(smf_dump PRIVATE qsm_midi)
  set(QSM_MIDI_CORPUS ${PROJECT_BINARY_DIR}/midi-corpus)
  add_test(NAME midi_corpus_fetch COMMAND bash ${PROJECT_SOURCE_DIR}/tools/fetch_midi_corpus.sh ${QSM_MIDI_CORPUS})
  set_tests_properties(midi_corpus_fetch PROPERTIES FIXTURES_SETUP midi_corpus TIMEOUT 900)
  add_test(NAME midi_corpus_vs_mido
           COMMAND /usr/bin/python3 ${QSM_MIDI_DIR}/tests/corpus_vs_mido.py $<TARGET_FILE:smf_dump> ${QSM_MIDI_CORPUS})
  set_tests_properties(midi_corpus_vs_mido PROPERTIES FIXTURES_REQUIRED midi_corpus TIMEOUT 600)
  # The same files converted into scores and played back.
  add_executable(midi_corpus_tests ${QSM_MIDI_DIR}/tests/smf_corpus_test.cc)
  target_compile_options(midi_corpus_tests PRIVATE ${QSM_WARNINGS})
  target_compile_definitions(midi_corpus_tests PRIVATE QSM_BINARY_DIR="${PROJECT_BINARY_DIR}")
  target_link_libraries(midi_corpus_tests PRIVATE qsm_midi GTest::gtest GTest::gtest_main)
  add_test(NAME midi_corpus_roundtrip COMMAND midi_corpus_tests)
  set_tests_properties(midi_corpus_roundtrip PROPERTIES FIXTURES_REQUIRED midi_corpus TIMEOUT 1200)
endif()
