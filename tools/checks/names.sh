#!/usr/bin/env bash
# Fails when a source file uses a gf_/lf_ name that the vocabulary list does
# not hold (the prefixes belong to the program's own vocabulary only), a name
# reserved to the implementation, or when one product library holds two
# source files of one name.
set -euo pipefail
cd "$(dirname "$0")/../.."
list=tools/checks/vocabulary.txt
unknown=$(git ls-files '*.h' '*.cpp' | xargs grep -ohw '[gl]f_[A-Za-z0-9_]*' | sort -u |
          comm -23 - <(grep -v '^#' "$list" | sort -u))
if [ -n "$unknown" ]; then
  echo "names with a gf_/lf_ prefix that the vocabulary does not give:"
  for name in $unknown; do
    git ls-files '*.h' '*.cpp' | xargs grep -nw "$name" | head -3
  done
  exit 1
fi
echo "names: every gf_/lf_ name is in the vocabulary"

# Names reserved to the compiler and the standard library (a leading
# underscore before a capital or another underscore, or a double underscore
# anywhere) are not ours to declare. String literals and comments are left
# out; the predefined macros, the compiler's own keywords and std::_Exit are
# the implementation's, used as given.
reserved=$(git ls-files '*.h' '*.cpp' | xargs sed -E 's#//.*$##; s#"([^"\\]|\\.)*"#""#g' |
           grep -ohE '(^|[^[:alnum:]_])(_[A-Z_][[:alnum:]_]*|[[:alnum:]][[:alnum:]_]*__[[:alnum:]_]*)' |
           sed -E 's/^[^[:alnum:]_]//' | sort -u |
           grep -vxE '__(FILE|LINE|func|DATE|TIME|cplusplus|has_include|GNUC|clang|linux|unix|APPLE)__?|__builtin_[a-z_]+|__SIZEOF_INT128__|__int128|__extension__|_Exit|_WIN32|_WIN64|_MSC_VER|__has_include|__attribute__' || true)
if [ -n "$reserved" ]; then
  echo "names reserved to the implementation:"
  for name in $reserved; do
    git ls-files '*.h' '*.cpp' | xargs grep -nw -- "$name" | head -3
  done
  exit 1
fi
echo "names: none reserved to the implementation"

# One file name once per product library: two sources of one name in one
# library confuse the debugger, the unity build's units and whoever looks
# for a file by name.
twice=$(git ls-files '*.h' '*.cpp' | grep -E '^(platform|core|refdata|feed|simlink|liveries|airports|engine|run)/' |
        awk -F/ '{ print $1 "/.../" $NF }' | sort | uniq -d)
if [ -n "$twice" ]; then
  echo "file names used twice in one library:"
  for name in $twice; do
    library=${name%%/*}
    git ls-files "$library" | grep -E "/${name##*/}\$" | sed 's/^/  /'
  done
  exit 1
fi
echo "names: every file name once per library"

# The tests' support files are included by a path that leaves out their
# suite ("support/x.h"), so one name in two support folders is one include
# that finds either file, depending on the suite's include folders.
supportTwice=$(git ls-files 'tests/support/*' 'tests/*/support/*' | awk -F/ '{ print $NF }' | sort | uniq -d)
if [ -n "$supportTwice" ]; then
  echo "file names used twice among the tests' support files:"
  for name in $supportTwice; do
    git ls-files 'tests/support/*' 'tests/*/support/*' | grep -E "/${name}\$" | sed 's/^/  /'
  done
  exit 1
fi
echo "names: every test support file name once"
