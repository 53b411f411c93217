#!/usr/bin/env bash
# The main job: builds the component, registers it, and grabs the first frame of a video.
#   ./run.sh [VIDEO [OUT]]
set -euo pipefail
cd "$(dirname "$0")"

scripts/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)"

if [ ! -x build/bin/morven-grab ] || [ ! -f build/bin/MORVEN.ocx ]; then
    echo "run.sh: the component and its frame-grab host are not built yet; only the platform runtime exists." >&2
    exit 2
fi
