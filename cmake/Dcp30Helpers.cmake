# dcp30_add_test(<name> SOURCES <files...> [LIBS <targets...>] [LOCK_APPDIR] [TIMEOUT <s>] [LABELS <l...>])
#
# Builds tests/auto/<name>/tst_<name>.cpp style QtTest executables into bin/ and registers
# them with ctest. Tests that create files in the application directory (program CSV files,
# error logs) take the LOCK_APPDIR flag so ctest never runs two of them at once.
function(dcp30_add_test name)
  cmake_parse_arguments(T "LOCK_APPDIR" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  if(NOT T_SOURCES)
    set(T_SOURCES tst_${name}.cpp)
  endif()
  add_executable(tst_${name} ${T_SOURCES})
  target_link_libraries(tst_${name} PRIVATE Qt5::Test ${T_LIBS})
  add_test(NAME ${name} COMMAND tst_${name})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set_tests_properties(${name} PROPERTIES
    TIMEOUT ${T_TIMEOUT}
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;XDG_CONFIG_HOME=${CMAKE_BINARY_DIR}/test-config/${name}")
  if(DCP30_SANITIZE STREQUAL "thread")
    # Qt and GLib from the distribution are not instrumented: the sanitizer judges our code
    # only, and Qt's own event dispatcher stands in for GLib's.
    set_property(TEST ${name} APPEND PROPERTY ENVIRONMENT
      "TSAN_OPTIONS=halt_on_error=1 second_deadlock_stack=1 ignore_noninstrumented_modules=1 suppressions=${CMAKE_SOURCE_DIR}/tests/sanitizers/tsan.supp"
      "QT_NO_GLIB=1")
  endif()
  if(T_LOCK_APPDIR)
    set_tests_properties(${name} PROPERTIES RESOURCE_LOCK appdir)
  endif()
  if(T_LABELS)
    set_tests_properties(${name} PROPERTIES LABELS "${T_LABELS}")
  endif()
endfunction()
