# Run last by `cmake --install` and CPack: stops the install when an installed program would trust
# the catalog test key, whose private half is in the repository. The build links that key only
# into test executables; this is the check that nothing changed that.
# Expects SUITE_TEST_KEY and SUITE_INSTALLED_PROGRAMS (paths below the install prefix).
foreach(program IN LISTS SUITE_INSTALLED_PROGRAMS)
  set(file "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/${program}")
  file(STRINGS "${file}" texts LENGTH_MINIMUM 44)
  foreach(text IN LISTS texts)
    string(FIND "${text}" "${SUITE_TEST_KEY}" at)
    if(NOT at EQUAL -1)
      message(FATAL_ERROR "${file} trusts the catalog test key, whose private half is public: "
        "anyone could make it install packages as root. Install a build whose programs are linked "
        "with suite_vendor_keys only.")
    endif()
  endforeach()
endforeach()
