# Shared by scripts/run and scripts/test: package installation and the CMake build.
# shellcheck shell=bash

LUMORA_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export LUMORA_ROOT

lumora_say() { printf '\033[1m== %s\033[0m\n' "$*" >&2; }

# Installs every package of scripts/packages.txt, and of the extra lists named (such as
# packages-fuzz.txt, in scripts/), that is not installed yet.
lumora_install_packages() {
    local wanted missing=() lists=("$LUMORA_ROOT/scripts/packages.txt")
    for list in "$@"; do lists+=("$LUMORA_ROOT/scripts/$list"); done
    wanted=$(cat "${lists[@]}" | grep -v -E '^\s*(#|$)')
    for pkg in $wanted; do
        if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$pkg")
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    lumora_say "installing ${missing[*]}"
    local sudo=()
    [ "$(id -u)" -ne 0 ] && sudo=(sudo)
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# lumora_build <build-dir> <cmake options...>: configures (once) and builds with Ninja and ccache
# (only the targets of LUMORA_BUILD_TARGETS when it is set).
lumora_build() {
    local dir="$1"; shift
    export CCACHE_DIR="${CCACHE_DIR:-$HOME/.cache/ccache}"
    export CCACHE_MAXSIZE="${CCACHE_MAXSIZE:-5G}"
    # Paths relative to the checkout, so that several checkouts of the tree share one cache.
    export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$LUMORA_ROOT}"
    export CCACHE_NOHASHDIR="${CCACHE_NOHASHDIR:-1}"
    if [ ! -f "$dir/build.ninja" ]; then
        cmake -S "$LUMORA_ROOT" -B "$dir" -G Ninja \
            -DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache "$@"
    fi
    local targets=()
    for target in ${LUMORA_BUILD_TARGETS:-}; do targets+=(--target "$target"); done
    cmake --build "$dir" --parallel "${LUMORA_BUILD_JOBS:-$(nproc)}" "${targets[@]}"
}
