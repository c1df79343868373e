# Sourced by the benchmark scripts: the project folder, velm, the big package and a timer.
# The big package comes from $VELM_BENCH_PACKAGE or ../shared/fixtures/bench/big-archive.VLP.
cd "$(dirname "${BASH_SOURCE[0]}")/.."
velm=$PWD/build/bin/velm
package=${VELM_BENCH_PACKAGE:-$PWD/../shared/fixtures/bench/big-archive.VLP}
if [ ! -f "$package" ]; then
  echo "The big package is missing: $package (set VELM_BENCH_PACKAGE=/path/big-archive.VLP)" >&2
  exit 1
fi
now() { date +%s.%N; }
