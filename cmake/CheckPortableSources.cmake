# The window's code (app/) builds on Windows as it does elsewhere: no POSIX headers and no POSIX
# calls; what differs between platforms lives in core/ behind its small interfaces (or in Qt).
# The Windows cross-build has no Qt, so this check reads the sources instead of compiling them.
#
#   cmake -DDIR=app [-DEXPECT_FINDINGS=N] -P CheckPortableSources.cmake
# Fails when anything is found, or with EXPECT_FINDINGS, unless exactly N findings are.
if(NOT DIR)
  message(FATAL_ERROR "DIR is not set")
endif()

set(_headers
    "unistd\\.h|fcntl\\.h|dlfcn\\.h|signal\\.h|pwd\\.h|grp\\.h|termios\\.h|dirent\\.h|pthread\\.h"
    "|poll\\.h|syslog\\.h|langinfo\\.h|libgen\\.h|strings\\.h|spawn\\.h|glob\\.h|fnmatch\\.h"
    "|wordexp\\.h|sched\\.h|semaphore\\.h|utime\\.h|netdb\\.h|sys/[^>]+|netinet/[^>]+"
    "|arpa/[^>]+|linux/[^>]+")
string(JOIN "" _headers ${_headers})
set(_include_rule "^[ \t]*#[ \t]*include[ \t]*<(${_headers})>")
# POSIX functions that the standard headers of glibc declare too; a member of that name
# (process.kill(), QProcess::kill) is not one.
set(_calls
    "popen|pclose|fork|execv|execvp|getpid|getuid|isatty|fileno|setenv|unsetenv|localtime_r"
    "|gmtime_r|strerror_r|realpath|mkstemp|fsync|usleep|nanosleep|dlopen|dlsym|sigaction|kill"
    "|readlink|symlink|chmod|umask")
string(JOIN "" _calls ${_calls})
set(_call_rule "(^|[^A-Za-z0-9_.>:])(::)?(${_calls})[ \t]*\\(")

file(GLOB_RECURSE _sources "${DIR}/*.h" "${DIR}/*.cpp" "${DIR}/*.inl")
set(_count 0)
foreach(_file IN LISTS _sources)
  file(STRINGS "${_file}" _lines REGEX "${_include_rule}|${_call_rule}")
  foreach(_line IN LISTS _lines)
    message(STATUS "POSIX-only: ${_file}: ${_line}")
    math(EXPR _count "${_count} + 1")
  endforeach()
endforeach()
list(LENGTH _sources _files)
if(DEFINED EXPECT_FINDINGS)
  if(NOT _count EQUAL EXPECT_FINDINGS)
    message(FATAL_ERROR "${_count} POSIX-only lines in ${DIR}, expected ${EXPECT_FINDINGS}")
  endif()
elseif(_count GREATER 0)
  message(FATAL_ERROR "${_count} POSIX-only lines in ${DIR} (above); put them behind a core "
                      "interface with a Windows counterpart")
elseif(_files EQUAL 0)
  message(FATAL_ERROR "no sources under ${DIR}")
endif()
message(STATUS "${_files} files, ${_count} POSIX-only lines")
