# qsm_embed_resources(<target>
#                     [RESOURCE <type> <name-or-number> <file>]...
#                     [STRINGS <file>]...)
#
# Compiles files into <target> as resources of the module that <target> builds, so that FindResourceA,
# LoadResource and LockResource (platform/kernel/resources.h) find them at run time:
#   RESOURCE  <type> is a number (10 = RT_RCDATA, 2 = RT_BITMAP ...) or a text such as QSMFILE; <name> a
#             number or a text (texts are found without regard to case). <file> is embedded byte for byte.
#   STRINGS   a string table for LoadStringA: one entry per line, "<number> <text>", where <text> is the body
#             of a C string literal (\n, \t, \" and \\ as in C). Empty lines and lines starting with "#" are
#             skipped.
# Relative file paths are taken from the calling folder. <target> should be the executable or shared library
# itself (or an OBJECT library linked into it): from a static library the registration could be dropped by
# the linker. Example:
#   qsm_embed_resources(QSM2View RESOURCE QSMFILE 1 samples/song1.qsm
#                                RESOURCE 2 IDB_TOOLBAR bitmaps/toolbar.bmp
#                                STRINGS strings.txt)
set(QSM_EMBED_GENERATOR ${CMAKE_CURRENT_LIST_DIR}/embed_resources_gen.cmake CACHE INTERNAL "")

function(qsm_embed_resources target)
  set(entries "")
  set(depends "")
  set(args ${ARGN})
  list(LENGTH args n)
  set(i 0)
  while(i LESS n)
    list(GET args ${i} kind)
    if(kind STREQUAL "RESOURCE")
      math(EXPR a "${i} + 1")
      math(EXPR b "${i} + 2")
      math(EXPR c "${i} + 3")
      if(c GREATER_EQUAL n)
        message(FATAL_ERROR "qsm_embed_resources: RESOURCE needs a type, a name and a file")
      endif()
      list(GET args ${a} type)
      list(GET args ${b} name)
      list(GET args ${c} file)
      get_filename_component(file "${file}" ABSOLUTE BASE_DIR "${CMAKE_CURRENT_SOURCE_DIR}")
      string(APPEND entries "RESOURCE|${type}|${name}|${file}\n")
      list(APPEND depends "${file}")
      math(EXPR i "${i} + 4")
    elseif(kind STREQUAL "STRINGS")
      math(EXPR a "${i} + 1")
      if(a GREATER_EQUAL n)
        message(FATAL_ERROR "qsm_embed_resources: STRINGS needs a file")
      endif()
      list(GET args ${a} file)
      get_filename_component(file "${file}" ABSOLUTE BASE_DIR "${CMAKE_CURRENT_SOURCE_DIR}")
      string(APPEND entries "STRINGS|||${file}\n")
      list(APPEND depends "${file}")
      math(EXPR i "${i} + 2")
    else()
      message(FATAL_ERROR "qsm_embed_resources: unexpected argument ${kind}")
    endif()
  endwhile()
  set(dir ${CMAKE_CURRENT_BINARY_DIR}/${target}_resources)
  set(list_file ${dir}/list.txt)
  set(out ${dir}/resources.cc)
  file(MAKE_DIRECTORY ${dir})
  file(WRITE ${list_file}.new "${entries}")
  file(COPY_FILE ${list_file}.new ${list_file} ONLY_IF_DIFFERENT)
  add_custom_command(
    OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} -DLIST=${list_file} -DOUT=${out} -P ${QSM_EMBED_GENERATOR}
    DEPENDS ${list_file} ${depends} ${QSM_EMBED_GENERATOR}
    COMMENT "Embedding resources of ${target}"
    VERBATIM)
  target_sources(${target} PRIVATE ${out})
  target_link_libraries(${target} PRIVATE qsm_platform_kernel)
endfunction()
