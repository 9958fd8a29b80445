#!/usr/bin/env bash
# Runs every fuzz target for a while from a copy of its seed corpus (the
# committed corpus never grows) and fails when any target finds something.
#   fuzz/run_all.sh <build-dir> [seconds=20]
# The build tree is one configured with -DQVL_BUILD_FUZZ=ON (see
# fuzz/CMakeLists.txt). A finding is kept with its log in a work folder whose
# path is printed, and its bytes are printed in base64 for the CI log.
set -euo pipefail

if [ $# -lt 1 ] || [ $# -gt 2 ]; then
  echo "usage: $0 <build-dir> [seconds=20]" >&2
  exit 2
fi
here="$(cd "$(dirname "$0")" && pwd)"
build="$(cd "$1" && pwd)"
seconds="${2:-20}"

# Target and the longest input worth trying: a little more than the largest
# real input of its kind, and past the sizes where the code changes course
# (the 4096-byte detection window, the 4096-byte cipher chunks).
targets=(
  "traffic_datagram 2048"
  "qnh_datagram 512"
  "rt_version_reply 4096"
  "parameters_xml 8192"
  "text_file 10000"
  "version_text 256"
  "versions_json 4096"
  "zip_reader 8192"
  "half_hour_slots 256"
  "enc_file 12500"
  "dbase_xml 8192"
  "airports_xml 8192"
  "usercfg_opt 4096"
  "sim_dispatch 2048"
  "sim_data_replies 2048"
  "facility_reply 2048"
  "object_events 1400"
  "park_airports 4096"
  "livery_key_line 4096"
  "fltsim_section 4096"
  "aircraft_cfg 8192"
  "mtl_file 8192"
  "liveries_scanned 8192"
  "regcode_xml 8192"
  "regcode_text 4096"
  "scanned_liveries 16384"
  "stand_file 8192"
  "learned_file 8192"
  "apf_link 1024"
  "bgl_core 8192"
  "manifest 8192"
)

# Every built target must be run here, and every target here must be built.
status=0
for exe in "$build"/fuzz/qvl_fuzz_*; do
  [ -x "$exe" ] || continue
  name="${exe##*/qvl_fuzz_}"
  if ! printf '%s\n' "${targets[@]}" | grep -q "^$name "; then
    echo "fuzz target $name is built but not listed in fuzz/run_all.sh" >&2
    status=1
  fi
done

export ASAN_OPTIONS=detect_leaks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

work="$(mktemp -d "${TMPDIR:-/tmp}/qvl-fuzz-run.XXXXXX")"
# The targets' scratch files, on tmpfs when there is one; gone at the end
# whatever happened, also what a target that crashed left behind.
export QVL_FUZZ_SCRATCH
QVL_FUZZ_SCRATCH="$(mktemp -d /dev/shm/qvl-fuzz-scratch.XXXXXX 2>/dev/null || mktemp -d "$work/scratch.XXXXXX")"
trap 'rm -rf "$QVL_FUZZ_SCRATCH"' EXIT
findings=()
summary=()
started=$SECONDS
# Targets run side by side, QVL_FUZZ_JOBS at a time (one per core by default:
# each has its fixed time, and on two cores one at a time took eight minutes).
jobsMax="${QVL_FUZZ_JOBS:-$(nproc)}"

runTarget() {
  local name="$1" maxLen="$2" exe="$build/fuzz/qvl_fuzz_$1" dir="$work/$1"
  mkdir -p "$dir/artifacts"
  cp -r "$here/corpus/$name" "$dir/corpus"
  # Absolute paths only: some targets change the working folder while they run.
  local rc=0
  (cd "$dir" && "$exe" -max_total_time="$seconds" -max_len="$maxLen" -timeout=10 -rss_limit_mb=2048 \
     -print_final_stats=1 -artifact_prefix="$dir/artifacts/" "$dir/corpus") >"$dir/log" 2>&1 || rc=$?
  echo "$rc" >"$dir/rc"
}

for entry in "${targets[@]}"; do
  read -r name maxLen <<<"$entry"
  if [ ! -x "$build/fuzz/qvl_fuzz_$name" ]; then
    echo "fuzz target $name is not built: $build/fuzz/qvl_fuzz_$name" >&2
    status=1
    continue
  fi
  echo "=== $name (${seconds}s, max_len $maxLen)"
  while [ "$(jobs -rp | wc -l)" -ge "$jobsMax" ]; do wait -n || true; done
  runTarget "$name" "$maxLen" &
done
wait

for entry in "${targets[@]}"; do
  read -r name maxLen <<<"$entry"
  dir="$work/$name"
  [ -f "$dir/rc" ] || continue
  rc=$(cat "$dir/rc")
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$dir/log" | tail -1)
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$dir/log" | tail -1)
  cov=$(grep -o 'cov: [0-9]*' "$dir/log" | tail -1 | cut -d' ' -f2)
  if [ "$rc" -ne 0 ] || [ -n "$(ls -A "$dir/artifacts")" ]; then
    findings+=("$name")
    summary+=("$(printf '%-18s %10s runs %8s exec/s  cov %-6s FINDING' "$name" "${runs:-?}" "${rate:-?}" "${cov:-?}")")
    echo "FINDING in $name (exit $rc); log: $dir/log"
    grep -E 'ERROR|fuzz check failed|runtime error|SUMMARY|Test unit written' "$dir/log" | head -20 || true
    for artifact in "$dir"/artifacts/*; do
      [ -f "$artifact" ] || continue
      echo "--- $artifact (base64):"
      base64 "$artifact" | head -c 20000
      echo
    done
  else
    summary+=("$(printf '%-18s %10s runs %8s exec/s  cov %-6s ok' "$name" "${runs:-?}" "${rate:-?}" "${cov:-?}")")
  fi
done

echo
echo "=== fuzz summary ($((SECONDS - started)) s)"
printf '%s\n' "${summary[@]}"
if [ ${#findings[@]} -gt 0 ]; then
  echo "fuzz findings in: ${findings[*]} (work folder kept: $work)"
  exit 1
fi
rm -rf "$work"
exit "$status"
