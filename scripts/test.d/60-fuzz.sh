#!/usr/bin/env bash
# A short fuzzing run of every target (15 s each): enough to catch a new
# crash near the seeds; scripts/fuzz-long.sh is the long run.
set -euo pipefail
bash scripts/fuzz.sh 15
