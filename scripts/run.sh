#!/usr/bin/env bash
# Installs what is needed, builds, and starts the program on the build folder build/app/
# (the folder of the executable), so trying it out never touches ~/.local/share/khgl/.
# A --folder given to this script wins over that one.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" -DCMAKE_BUILD_TYPE=RelWithDebInfo
app=${BUILD_DIR:-$root/build}/app
exec "$app/khgl" --folder "$app" "$@"
