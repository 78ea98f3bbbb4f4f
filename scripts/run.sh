#!/usr/bin/env bash
# Installs what is needed, builds, and starts the program on its default folder
# (the folder of the executable, build/app/).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" -DCMAKE_BUILD_TYPE=RelWithDebInfo
exec "${BUILD_DIR:-$root/build}/app/khgl" "$@"
