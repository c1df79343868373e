#!/usr/bin/env bash
# Sets up a Debian 12 machine, builds everything and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup-debian.sh
bash scripts/build.sh
ctest --test-dir build --output-on-failure --timeout 900
