#!/usr/bin/env bash
# Builds the game as a static site in build/web and serves it on this machine:
# open http://127.0.0.1:8000/ (another port: tools/web.sh 8080).
set -euo pipefail
cd "$(dirname "$0")/.."
port=${1:-8000}
tools/deps.sh web
cmake --preset web
cmake --build --preset web --target quintarel quintarel_site
echo "Quintarel: http://127.0.0.1:$port/"
exec /usr/bin/python3 -m http.server --bind 127.0.0.1 --directory build/web "$port"
