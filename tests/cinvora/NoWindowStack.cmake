# cmake -P NoWindowStack.cmake -DPROGRAMS="a;b"
# Fails when a windowless program loads a library of the window stack: the widgets, the
# player (libmpv), the sound server client (libpulse) or the libraries built on them.
# Each program must load the engine (libFramewheel), so an empty or failed listing can
# never pass.
set(forbidden
  libQt6Widgets libmpv libpulse
  libGlazeform libSendaway libReelwrightScreens libFramewheelPlayer libCinvoraFoundationUi)
set(failures "")
foreach(program IN LISTS PROGRAMS)
  execute_process(COMMAND ldd ${program}
    OUTPUT_VARIABLE listing ERROR_VARIABLE errors RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0 OR NOT listing MATCHES "libFramewheel[.]so")
    string(APPEND failures "ldd ${program} did not list its libraries (${rc}): ${errors}\n")
    continue()
  endif()
  string(REPLACE "\n" ";" lines "${listing}")
  foreach(line IN LISTS lines)
    foreach(name IN LISTS forbidden)
      if(line MATCHES "^[ \t]*${name}[.-]")
        string(STRIP "${line}" line)
        string(APPEND failures "${program} loads ${line}\n")
      endif()
    endforeach()
  endforeach()
endforeach()
if(failures)
  message(FATAL_ERROR "${failures}")
endif()
