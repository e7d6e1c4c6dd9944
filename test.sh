#!/usr/bin/env bash
# Installs what is missing, builds with warnings as errors and runs every test:
# core, GUI (offscreen), on SQLite and on a throw-away PostgreSQL server.
set -euo pipefail
cd "$(dirname "$0")"
root=$(pwd)

bash scripts/install-deps.sh --test
# Fails naming the package when the build uses one the script does not install.
bash scripts/check-deps.sh

build=${LWJXC_TEST_BUILD_DIR:-"$root/build-test"}
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLWJXC_WERROR=ON
cmake --build "$build" -j"$(nproc)"

# A PostgreSQL cluster of our own on loopback, in a temporary folder, stopped on exit.
source scripts/pg-sandbox.sh
pg_sandbox_start
trap pg_sandbox_stop EXIT

cd "$build"
ctest --output-on-failure -j"$(nproc)" "$@"
