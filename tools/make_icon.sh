#!/usr/bin/env bash
# Renders the desktop icon's PNG from its SVG (dist/korvel.svg); needs rsvg-convert (librsvg2-bin).
set -euo pipefail
cd "$(dirname "$0")/.."
rsvg-convert --width 256 --height 256 dist/korvel.svg --output dist/korvel.png
