# The hardening Debian builds its packages with (as dpkg-buildflags gives
# it): checked buffer functions in optimised code, and a global offset table
# that is read-only once the program has started. The sanitizer and fuzzing
# builds keep their own instrumentation instead.
if(NOT SCRIVLET_SANITIZE AND NOT SCRIVLET_FUZZ)
  add_compile_options($<$<NOT:$<CONFIG:Debug>>:-D_FORTIFY_SOURCE=2>)
  add_link_options(LINKER:-z,relro LINKER:-z,now)
endif()
