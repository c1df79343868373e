#!/usr/bin/env bash
# The full-text index on the 1.1 GB archive (x10, as list_bench.sh makes it): build time and size, per keyword
# class the sqlite3 shell's scan beside the search through the index with their rows compared, and the import
# of the big package with and without the index. Usage: bash bench/index_bench.sh [RUNS] (after a build).
# The indexed copy x10-index.sqlite stays in the work folder; remove it to time the build again.
set -euo pipefail
source "$(dirname "$0")/bench_common.sh"
source bench/bench_archives.sh
work=${BENCH_WORK:-$PWD/build/bench-data/lists}
mkdir -p "$work"
make_x1_x10 "$work"
VELM_BENCH_PACKAGE=$package build/bench/index_bench "$work" "${1:-3}"
