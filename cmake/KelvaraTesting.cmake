# kelvara_add_test(<name> [GUI] [ALONE] SOURCES <files...> LIBS <libs...>)
# One GoogleTest program, one CTest entry, run under Wine. GUI programs are labelled "gui"
# and need the X display that ./test.sh provides. ALONE programs run while no other does: they
# look into every process of the system (module lists, image paths), and for each such look the
# wineserver stops the process it reads from for a moment, which cuts short a large request that
# one of its threads is writing to the server ("wine client error: partial write") and kills it.
function(kelvara_add_test name)
  cmake_parse_arguments(ARG "GUI;ALONE" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_compile_options(${name} PRIVATE ${KELVARA_WARNINGS})
  target_link_libraries(${name} PRIVATE test_support ${ARG_LIBS} gmock gtest)
  add_test(NAME ${name} COMMAND ${name} --gtest_brief=1)
  set(labels wine)
  if(ARG_GUI)
    list(APPEND labels gui)
    kelvara_wait_for_display()
    # One GUI program at a time: windows of two programs on one display take each other's
    # focus, and a popup menu closes when its owner loses the foreground.
    set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED x_display RESOURCE_LOCK x_display)
  endif()
  # Well below CTest's default, and above the test watchdog's limit for one test
  # (tests/support/TestWatchdog.h), which names a hung test and ends its program first.
  set_tests_properties(${name} PROPERTIES LABELS "${labels}" TIMEOUT 300)
  if(ARG_ALONE)
    set_tests_properties(${name} PROPERTIES RUN_SERIAL TRUE)
  endif()
endfunction()

# GUI programs start only once Wine can open windows on the X server of $DISPLAY: a process that
# finds no display keeps Wine's display-less driver for good, and the desktop that the prefix's
# creation started without a display lingers until no process has used it for a moment (so the
# probe waits seconds between tries).
function(kelvara_wait_for_display)
  get_property(defined GLOBAL PROPERTY KELVARA_DISPLAY_FIXTURE)
  if(defined)
    return()
  endif()
  set_property(GLOBAL PROPERTY KELVARA_DISPLAY_FIXTURE TRUE)
  add_executable(display_probe ${CMAKE_SOURCE_DIR}/tests/support/gui/DisplayProbe.cpp)
  add_test(NAME x_display_ready
           COMMAND sh -c "for i in $(seq 15); do \"$1\" \"$2\" && exit 0; sleep 3; done; echo \"no display at '$DISPLAY'\"; exit 1"
                   sh ${CMAKE_BINARY_DIR}/wine-run.sh $<TARGET_FILE:display_probe>)
  set_tests_properties(x_display_ready PROPERTIES FIXTURES_SETUP x_display LABELS "wine;gui" TIMEOUT 90)
endfunction()
