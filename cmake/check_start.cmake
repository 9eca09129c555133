# Run once the tool is linked (cmake -DTOOL=... -DFLAGS=... -P): it must start, run through the
# emulator in TOOL's first words where a cross build has one. Some link flags give a program that
# dies before main (packed relative relocations on musl 1.2.3), so the message names FLAGS, the
# ones in effect, and the tool is removed, so that the next build links it again.
cmake_policy(VERSION 3.21)
execute_process(COMMAND ${TOOL} RESULT_VARIABLE result OUTPUT_QUIET ERROR_VARIABLE error)
if(NOT result EQUAL 0)
  list(GET TOOL -1 tool)
  file(REMOVE ${tool})
  message(FATAL_ERROR "urisplit: the tool just linked cannot start (${result}) ${error}with the "
                      "link flags '${FLAGS}'; link it without the one that breaks it")
endif()
