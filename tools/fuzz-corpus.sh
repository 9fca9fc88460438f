#!/usr/bin/env bash
# Grows the kept fuzz corpora: runs each fuzzer for a while (default 300 s),
# then merges what it found, with the finds of earlier ./check runs, into
# tests/fuzz/corpus/<name> keeping only inputs that add coverage.
# Usage: tools/fuzz-corpus.sh [seconds] [fuzz_name...]   (after ./check built build-fuzz)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-300}
shift || true
names=("$@")
[ ${#names[@]} -eq 0 ] && names=($(cd build-fuzz/tests/fuzz && ls fuzz_*))
for name in "${names[@]}"; do
  f=build-fuzz/tests/fuzz/$name
  kept=tests/fuzz/corpus/$name
  scratch=build-fuzz/new-corpus/$name
  mkdir -p "$kept" "$scratch"
  echo "fuzzing $name for $seconds s"
  "$f" -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix=build-fuzz/ \
    "$scratch" "$kept" 2> "build-fuzz/$name.grow.log" || { tail -50 "build-fuzz/$name.grow.log"; exit 1; }
  # A fresh merge into an empty folder keeps the smallest set that covers all.
  merged=$(mktemp -d)
  "$f" -merge=1 "$merged" "$kept" "$scratch" 2>> "build-fuzz/$name.grow.log"
  rm -rf "$kept" && mkdir -p "$kept" && cp "$merged"/* "$kept"/ && rm -rf "$merged"
  echo "$name: $(ls "$kept" | wc -l) files, $(du -sh "$kept" | cut -f1)"
done
