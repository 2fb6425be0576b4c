# Tests that need what Windows lacks; the Windows build leaves them out. Each entry is the
# test's name and why. Everything else is built for Windows and passes under Wine.
set(kve_linux_only
)
set(KVE_LINUX_ONLY_TESTS)
foreach(entry ${kve_linux_only})
  string(REGEX REPLACE " .*" "" name "${entry}")
  list(APPEND KVE_LINUX_ONLY_TESTS ${name})
endforeach()
