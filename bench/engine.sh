#!/usr/bin/env bash
# scripts/bench engine [FILE.pdf]: $1 is <build>/bench/bin, the rest goes to the program.
set -euo pipefail
bench_dir=$1; shift
exec "$bench_dir/engine_bench" "$@"
