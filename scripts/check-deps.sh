#!/usr/bin/env bash
# Checks that scripts/install-deps.sh installs every Debian package the build
# finds: configures a throw-away build, maps each CMake package configuration
# (Qt6*Config.cmake and the rest), each tool and library file and each
# pkg-config module named in its CMakeCache.txt to the Debian package that
# holds it (dpkg -S), and fails naming that package when it is neither listed
# in the build list of install-deps.sh nor pulled in by a listed package
# through Depends or Pre-Depends.
#
#   scripts/check-deps.sh [INSTALL_SCRIPT]
#
# INSTALL_SCRIPT defaults to scripts/install-deps.sh; naming a modified copy
# shows what the check says when a package goes missing from the list.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
install_script=${1:-"$root/scripts/install-deps.sh"}

for tool in cmake ninja dpkg apt-cache pkg-config; do
    if ! command -v "$tool" >/dev/null; then
        echo "check-deps: $tool is not installed; run scripts/install-deps.sh first" >&2
        exit 1
    fi
done

mapfile -t listed < <(bash "$install_script" --list-build)
if [[ ${#listed[@]} -eq 0 ]]; then
    echo "check-deps: $install_script lists no build packages" >&2
    exit 1
fi

work=$(mktemp -d /tmp/lwjxc-check-deps.XXXXXX)
trap 'rm -rf "$work"' EXIT

if ! cmake -S "$root" -B "$work/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    >"$work/configure.log" 2>&1; then
    cat "$work/configure.log" >&2
    echo "check-deps: the throw-away configure failed (output above)" >&2
    exit 1
fi
cache="$work/build/CMakeCache.txt"

# The tools, the pkg-config libraries, every library file on a link line and
# every CMake package configuration the configure found outside this tree.
# (FindOpenGL and friends also note libraries nothing links; those are left
# out.)
files=()
add_file() {
    [[ "$1" == "$root"/* || "$1" == "$work"/* ]] && return 0
    [[ -f "$1" ]] && files+=("$1")
    return 0
}
while IFS= read -r value; do
    add_file "$value"
done < <(sed -n -e 's/^\(CMAKE_CXX_COMPILER\|CMAKE_MAKE_PROGRAM\|PKG_CONFIG_EXECUTABLE\|pkgcfg_lib_[A-Za-z0-9_]*\):FILEPATH=\(\/.*\)$/\2/p' \
    "$cache")
while IFS= read -r value; do
    add_file "$value"
done < <(grep -h '^ *LINK_LIBRARIES = ' "$work/build/build.ninja" | tr ' ' '\n' | grep '^/.*\.\(so\|a\)$' | sort -u)
while IFS='=' read -r key dir; do
    name=${key%_DIR:PATH}
    for config in "$dir/${name}Config.cmake" "$dir/$(tr '[:upper:]' '[:lower:]' <<<"$name")-config.cmake"; do
        add_file "$config"
    done
done < <(grep -E '^[A-Za-z0-9_.+-]+_DIR:PATH=/' "$cache" | grep -v NOTFOUND)
while IFS= read -r module; do
    [[ -z "$module" ]] && continue
    for m in $module; do
        pc=$(pkg-config --path "$m" 2>/dev/null || true)
        [[ -n "$pc" ]] && add_file "$pc"
    done
done < <(sed -n 's/^[A-Za-z0-9_]*_MODULE_NAME:INTERNAL=\(.*\)$/\1/p' "$cache")

# The packages the listed ones bring along (apt installs Depends and
# Pre-Depends, never Recommends with --no-install-recommends).
declare -A covered=()
while IFS= read -r p; do
    covered[${p%%:*}]=1
done < <(apt-cache depends --recurse --no-recommends --no-suggests --no-conflicts --no-breaks \
    --no-replaces --no-enhances "${listed[@]}" 2>/dev/null | grep -v '^ ' | tr -d '<>')
for p in "${listed[@]}"; do
    covered[$p]=1
done

# One dpkg -S for all files: it answers "pkg1, pkg2:arch: /path" a line. A
# file reached through a symlink (alternatives) is asked again by its real
# name.
mapfile -t files < <(printf '%s\n' "${files[@]}" | sort -u)
declare -A owners=()
read_owners() {
    local line path
    while IFS= read -r line; do
        [[ "$line" == diversion* ]] && continue
        path=${line##*: }
        owners[$path]=$(echo "${line%: /*}" | tr ',' '\n' | sed 's/^ *//; s/:.*$//' | tr '\n' ' ')
    done < <(dpkg -S "$@" 2>/dev/null)
}
read_owners "${files[@]}"
declare -A real=()
unowned=()
for f in "${files[@]}"; do
    if [[ -z "${owners[$f]:-}" ]]; then
        real[$f]=$(realpath "$f")
        unowned+=("${real[$f]}")
    fi
done
if [[ ${#unowned[@]} -gt 0 ]]; then
    read_owners "${unowned[@]}"
fi

[[ -n "${LWJXC_CHECK_DEPS_VERBOSE:-}" ]] && for f in "${files[@]}"; do echo "  $f: ${owners[$f]:-${owners[${real[$f]:-$f}]:-}}"; done
failed=0
declare -A reported=()
for f in "${files[@]}"; do
    o=${owners[$f]:-${owners[${real[$f]:-$f}]:-}}
    if [[ -z "$o" ]]; then
        echo "check-deps: $f (used by the build) belongs to no Debian package" >&2
        failed=1
        continue
    fi
    ok=0
    for p in $o; do
        [[ -n "${covered[$p]:-}" ]] && ok=1
    done
    if [[ $ok -eq 0 ]]; then
        first=${o%% *}
        if [[ -z "${reported[$first]:-}" ]]; then
            echo "check-deps: package $first (holds $f, used by the build) is neither listed in" \
                "$(basename "$install_script") nor pulled in by a listed package" >&2
            reported[$first]=1
        fi
        failed=1
    fi
done
if [[ $failed -ne 0 ]]; then
    exit 1
fi
echo "check-deps: the ${#files[@]} files the build uses all come from packages install-deps.sh installs"
