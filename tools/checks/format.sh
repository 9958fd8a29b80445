#!/usr/bin/env bash
# Fails when a tracked C++ file differs from what clang-format 14 makes of it
# with the committed .clang-format. Lists the files; `clang-format-14 -i FILE`
# formats one in place.
set -euo pipefail
cd "$(dirname "$0")/../.."
CLANG_FORMAT="${CLANG_FORMAT:-clang-format-14}"
command -v "$CLANG_FORMAT" >/dev/null || { echo "format: $CLANG_FORMAT is missing (tools/setup.sh installs it)"; exit 1; }
# A config that clang-format cannot read would make every file "differ".
"$CLANG_FORMAT" --style=file --dump-config >/dev/null

unformatted=$(git ls-files -z -- '*.h' '*.cpp' |
  xargs -0 -r -P "$(nproc)" -I{} sh -c '"$0" --style=file --dry-run --Werror "$1" >/dev/null 2>&1 || echo "$1"' \
    "$CLANG_FORMAT" {} | sort)
if [ -n "$unformatted" ]; then
  echo "format: $(wc -l <<<"$unformatted") file(s) differ from $CLANG_FORMAT --style=file:"
  sed 's/^/  /' <<<"$unformatted"
  exit 1
fi
echo "format: every C++ file is formatted"
