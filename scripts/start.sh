#!/usr/bin/env bash
# Installs what Korvel needs, builds it and starts the desktop program.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$(nproc 2>/dev/null || echo 2)"

if [ -x build/bin/korvel ]; then
  exec build/bin/korvel
fi
echo "The desktop program is not built yet: this version holds the adaptation core and its tests."
