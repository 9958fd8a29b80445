#!/usr/bin/env bash
# Fails when code outside platform/ would not build or would go wrong on
# Windows:
# - POSIX headers (unistd.h, fcntl.h, sys/*.h, pthread.h, dirent.h, ...) and
#   POSIX calls (::open, ::close, ::fsync, ::rename, getpid, gmtime_r, ...):
#   what is needed goes through platform/sys;
# - file names as narrow text: `.string()` of a path (the system's code page
#   on Windows, which lacks most letters), a path made from a narrow string
#   (`fs::path(text)`: read in that code page), gf_pathToNarrow, fopen of a
#   narrow name. UTF-8 text becomes a path through pathFromUtf8 (core), a path
#   becomes text through gf_pathToUtf8, files open from the path itself.
# A line may keep a narrow path when it says why with "// narrow: <why>"
# (text that is already in the system's code page, such as the environment).
# Checked: the product folders and tools/. Tests, benchmarks and fuzz targets
# run on Linux only and drive the POSIX layer directly.
set -euo pipefail
cd "$(dirname "$0")/../.."

folders='core|refdata|feed|simlink|liveries|airports|engine|run|tools'
files=$(git ls-files --cached --others --exclude-standard -- '*.h' '*.cpp' | grep -E "^($folders)/" || true)
[ -n "$files" ] || { echo "portability: no source to check"; exit 0; }

posix_headers='unistd|fcntl|pthread|dirent|dlfcn|poll|pwd|grp|termios|syslog|signal\.h|spawn|netdb|semaphore|strings|libgen|glob|fnmatch'
posix_headers="$posix_headers|sys/[a-z_]+|netinet/[a-z_]+|arpa/[a-z_]+"
# Calls at global scope (::name) and POSIX-only names called unqualified; a
# member or another namespace's function of the same name does not count.
global_calls='open|close|read|write|fsync|fdatasync|rename|unlink|stat|lstat|fstat|dup|dup2|pipe|kill|mkdir|rmdir|access|chdir|getcwd|poll|select|socket|ioctl|fcntl'
posix_calls='getpid|getppid|getuid|geteuid|gmtime_r|localtime_r|strerror_r|fsync|fdatasync|usleep|nanosleep|setenv|unsetenv|realpath|mkstemp|fork|execvp|flock|mmap|munmap|strcasecmp|strncasecmp|readlink|sysconf|pthread_[a-z_]+'

bad=0
report() {  # $1: what is wrong, stdin: grep -n lines
  local found
  found=$(grep -v '// narrow:' || true)
  [ -z "$found" ] && return 0
  sed "s|\$|   <- $1|" <<<"$found"
  bad=1
}

# Comment lines are left out of the call checks.
code() { tr '\n' '\0' <<<"$files" | xargs -0 grep -HnE "$1" | grep -vE '^[^:]+:[0-9]+:[[:space:]]*//' || true; }
report "a POSIX header: use platform/sys" < <(code "^[[:space:]]*#[[:space:]]*include[[:space:]]*<($posix_headers)(\.h)?>")
report "a POSIX call: use platform/sys" < <(code "(^|[^A-Za-z0-9_:])::($global_calls)[[:space:]]*\(")
report "a POSIX call: use platform/sys" < <(code "(^|[^A-Za-z0-9_:.>])($posix_calls)[[:space:]]*\(")
report "a path as narrow text: gf_pathToUtf8" < <(code '\.string\(\)')
# The one conversion from UTF-8 is allowed its constructor call.
report "a path from narrow text: pathFromUtf8" < <(code '(^|[^A-Za-z0-9_])(fs|filesystem)::path[[:space:]]*\([[:space:]]*[^")[:space:]]' |
  grep -v '^core/text_file\.cpp:.*std::u8string')
report "a path as narrow text: gf_pathToUtf8" < <(code 'gf_pathToNarrow')
report "a file opened by a narrow name: sys::openFile or a stream" < <(code '(^|[^A-Za-z0-9_])f(re)?open[[:space:]]*\(')

if [ "$bad" -ne 0 ]; then
  echo "portability: the lines above would not build or would lose letters on Windows"
  exit 1
fi
echo "portability: no POSIX header or call and no narrow file name outside platform/"
