#!/usr/bin/env bash
# Installs what the build, the tests and the private database server need (Debian 12),
# then configures and builds the program into build/.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

packages=(qt6-base-dev qt6-base-dev-tools libmariadb-dev mariadb-server mariadb-client
    libsqlite3-dev libjpeg-dev ninja-build cmake g++ pkg-config xvfb fonts-liberation sqlite3
    xauth poppler-utils xdotool x11-utils locales galera-4 rsync qt6-translations-l10n)
# clang with libFuzzer and the sanitizer runtimes, for scripts/fuzz.sh
packages+=(clang libclang-rt-14-dev)
# libcups, through which print jobs reach the print system
packages+=(libcups2-dev)
# The CUPS scheduler alone, for the tests' private print queues (tst_printqueue); without
# its recommendations (the desktop's printer discovery daemons), which no test needs.
lean=(cups-daemon)

missing=() missing_lean=()
for p in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
    [[ $status == "install ok installed" ]] || missing+=("$p")
done
for p in "${lean[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
    [[ $status == "install ok installed" ]] || missing_lean+=("$p")
done

if ((${#missing[@]} + ${#missing_lean[@]})); then
    echo "setup: installing ${missing[*]} ${missing_lean[*]}"
    sudo=()
    if ((EUID != 0)); then
        if command -v sudo >/dev/null; then
            sudo=(sudo)
        else
            echo "setup: these packages are missing and installing them needs root: ${missing[*]} ${missing_lean[*]}" >&2
            exit 1
        fi
    fi
    # The project runs its own private server; keep the package from starting the system-wide
    # one during the install (policy-rc.d is honoured by invoke-rc.d and deb-systemd-invoke).
    policy=/usr/sbin/policy-rc.d
    own_policy=0
    if [[ ! -e $policy ]]; then
        printf '#!/bin/sh\nexit 101\n' | "${sudo[@]}" tee "$policy" >/dev/null
        "${sudo[@]}" chmod 755 "$policy"
        own_policy=1
        trap '"${sudo[@]}" rm -f "$policy"' EXIT
    fi
    "${sudo[@]}" apt-get update
    if ((${#missing[@]})); then
        "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y "${missing[@]}"
    fi
    if ((${#missing_lean[@]})); then
        "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y \
            --no-install-recommends "${missing_lean[@]}"
    fi
    if ((own_policy)); then
        "${sudo[@]}" rm -f "$policy"
        trap - EXIT
    fi
fi

bash scripts/locales.sh

# A CI build (CI set, as .ci/run does) treats every compiler warning as an error.
werror=OFF
[[ -n ${CI:-} ]] && werror=ON
cmake -S . -B build -G Ninja -DKX_WERROR="$werror"
cmake --build build
