#!/usr/bin/env bash
# The speed benchmark: builds the tool and the benchmark programs, writes
# the inputs (the same bytes every time), and prints for each input the
# throughput of the tool (file size / median wall time of 5 runs, the whole
# process), the same by processor time (user + system, which other load on
# the machine disturbs less), its peak RSS (median), and its ratio to the
# naive stdio version and to `wc -l` on the same file. The page cache is
# warmed first; the output is removed before every run.
#
#   bench/run.sh [--micro] [WORK_DIR]     (default WORK_DIR: /tmp/ondrel-bench)
#
# --micro also runs the Google Benchmark micro-benchmarks of the scanner.
set -euo pipefail
cd "$(dirname "$0")/.."

micro=0
if [ "${1:-}" = "--micro" ]; then
  micro=1
  shift
fi
work="${1:-/tmp/ondrel-bench}"
build=build-bench

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DONDREL_BENCH=ON -DONDREL_TESTS=OFF >/dev/null
cmake --build "$build" -j2 >/dev/null

mkdir -p "$work"
if [ ! -f "$work/every_length.txt" ]; then
  echo "writing the inputs to $work ..."
  "$build/bench/ondrel_gen_inputs" "$work"
fi

ondrel="$build/ondrel"
naive="$build/bench/ondrel_naive_stdio"
timed="$build/bench/ondrel_run_timed"
out="$work/out.wav"

echo "machine: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//'), $(nproc) cores; $(uname -sr); load average $(cut -d' ' -f1-3 /proc/loadavg)"
echo "block reader: $("$build/bench/ondrel_scan_benchmark" --benchmark_list_tests 2>/dev/null | sed -n 's|^convert/\([a-z0-9]*\)/pairs_lf$|\1|p' | tail -1) (the best this processor runs)"
printf '%-18s %7s %11s %9s %9s %10s %8s %10s %7s\n' input MB ondrel_MB/s cpu_MB/s peak_KiB naive_MB/s x_naive wc-l_MB/s x_wc-l
for name in pairs_lf pairs_crlf white_space_runs cr_runs leading_zeros every_length one_pair; do
  in="$work/$name.txt"
  cat "$in" >/dev/null  # warm the page cache
  bytes=$(stat -c %s "$in")
  runs=5
  [ "$name" = one_pair ] && runs=21  # start-up times are short and noisy
  read -r t tc rss < <("$timed" "$runs" "$out" "$ondrel" "$in" "$out")
  if tn_rss=$("$timed" "$([ "$name" = one_pair ] && echo 21 || echo 3)" "$out" "$naive" "$in" "$out"); then
    tn=${tn_rss%% *}
  else
    tn=""  # the naive version rejects this input (values beyond 32 bits)
  fi
  read -r tw _ _ < <("$timed" "$runs" - wc -l "$in")
  if [ "$name" = one_pair ]; then
    # Start-up cost: times in milliseconds, not throughput.
    awk -v n="$name" -v t="$t" -v tc="$tc" -v tn="$tn" -v tw="$tw" -v rss="$rss" 'BEGIN {
      printf "%-18s %7s %9.2fms %7.2fms %9d %8.2fms %8.2f %8.2fms %7.2f\n", n, "0", t*1000, tc*1000, rss, tn*1000, t/tn, tw*1000, t/tw }'
    continue
  fi
  awk -v n="$name" -v b="$bytes" -v t="$t" -v tc="$tc" -v tn="$tn" -v tw="$tw" -v rss="$rss" 'BEGIN {
    mb = b / 1e6
    naive = tn == "" ? "n/a" : sprintf("%.0f", mb / tn)
    ratio = tn == "" ? "n/a" : sprintf("%.1f", tn / t)
    printf "%-18s %7.1f %11.0f %9.0f %9d %10s %8s %10.0f %7.2f\n", n, mb, mb / t, mb / tc, rss, naive, ratio, mb / tw, tw / t }'
done
echo "x_naive: how many times faster than the naive version; x_wc-l: the tool's speed as a share of wc -l's."
echo "one_pair: median times per run (wall, processor); x columns are the tool's wall time over the other's."

if [ "$micro" = 1 ]; then
  "$build/bench/ondrel_scan_benchmark" --benchmark_min_time=0.2
fi
