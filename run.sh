#!/usr/bin/env bash
# Installs what is missing, builds a release build and starts the program on
# the embedded database. --demo starts it on a generated demo shop instead.
set -euo pipefail
cd "$(dirname "$0")"
root=$(pwd)

bash scripts/install-deps.sh

build="$root/build-release"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DLWJXC_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)"

args=()
if [[ "${1:-}" == "--demo" ]]; then
    shift
    demo="$build/demo/data.mdb"
    if [[ ! -f "$demo" ]]; then
        mkdir -p "$(dirname "$demo")"
        echo "Generating the demo shop in $demo ..."
        "$build/bin/lwjxc-datagen" --stock 2000 --sales 20000 --out "$demo"
    fi
    args=(--database "$demo")
fi
exec "$build/bin/lwjxc" "${args[@]}" "$@"
