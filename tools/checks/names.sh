#!/usr/bin/env bash
# Fails when a source file uses a gf_/lf_ name that the vocabulary list does
# not hold: the prefixes belong to the program's own vocabulary only.
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
