#!/usr/bin/env bash
# The project's build-and-test command: bash scripts/test.sh
#
# Installs what the machine lacks (Debian 12, as root), builds the simulator build (build/sim), the same with
# AddressSanitizer and UndefinedBehaviorSanitizer (build/sim-asan) and the Windows programs (build/win32), runs
# the tests of both Linux builds, then the Windows programs under Wine. Every phase runs even when an earlier one
# failed; the last line counts every test: "N passed, N failed[, N skipped]". Exit status 1 on any failure.
#
# Wine's 32-bit side needs a kernel that runs 32-bit programs. Where it cannot start, the 32-bit Wine checks are
# skipped and the same sources are built for x86-64 (build/win64) and checked under 64-bit Wine instead.
# REQUIRE_WINE=1 counts skipped 32-bit Wine checks as failures.
set -uo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root" || exit 1
logs=$root/build/logs
mkdir -p "$logs"
jobs=2  # the machines have two cores

# Debian 12 packages; wine32:i386 needs the i386 architecture. nlohmann-json3-dev reads scenarios; the Wine
# checks of Setup take screenshots (imagemagick), run in other languages (locales-all) and show CJK text
# (fonts-wqy-microhei).
packages=(cmake g++ libgtest-dev nlohmann-json3-dev g++-mingw-w64-i686 wine wine32:i386 xvfb imagemagick
    locales-all fonts-wqy-microhei)
packages_64=(wine64 g++-mingw-w64-x86-64)  # only where 32-bit Wine cannot start
wine32_runs=1
apt_updated=0

passed=0
failed=0
skipped=0
summary=()

now_s() { date +%s; }
note() {  # note PHASE RESULT SECONDS
    summary+=("$(printf '%-20s %-34s %5ss' "$1" "$2" "$3")")
}
banner() { printf '\n==== %s\n' "$1"; }

install_missing() {  # install_missing PACKAGE...: installs those not installed yet
    local missing=() p
    for p in "$@"; do
        [[ $(dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null) == installed ]] || missing+=("$p")
    done
    [[ ${#missing[@]} == 0 ]] && return 0
    echo "installing: ${missing[*]}"
    if [[ " ${missing[*]}" == *:i386* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
        dpkg --add-architecture i386 || return 1
        apt_updated=0
    fi
    export DEBIAN_FRONTEND=noninteractive
    local apt=(apt-get -q -o DPkg::Lock::Timeout=600)
    if [[ $apt_updated == 0 ]]; then
        "${apt[@]}" update >>"$logs/apt.log" 2>&1 || { tail -n 30 "$logs/apt.log"; return 1; }
        apt_updated=1
    fi
    "${apt[@]}" install -y "${missing[@]}" >>"$logs/apt.log" 2>&1 || { tail -n 30 "$logs/apt.log"; return 1; }
}

phase_install() {
    banner "packages"
    local t0 ok=1
    t0=$(now_s)
    install_missing "${packages[@]}" || ok=0
    if ! wine --version >/dev/null 2>&1 </dev/null; then
        wine32_runs=0
        echo "32-bit Wine cannot start here: the Windows programs are also checked as x86-64 under 64-bit Wine"
        install_missing "${packages_64[@]}" || ok=0
    fi
    if [[ $ok == 1 ]]; then
        echo "packages present"
        note packages ok $(($(now_s) - t0))
    else
        failed=$((failed + 1))
        note packages FAILED $(($(now_s) - t0))
    fi
}

# build NAME [cmake options...]: configure and build build/NAME; its log is build/logs/build-NAME.log.
build() {
    local name=$1 t0 log=$logs/build-$1.log
    shift
    banner "build $name"
    t0=$(now_s)
    if cmake -S "$root" -B "$root/build/$name" "$@" >"$log" 2>&1 &&
        cmake --build "$root/build/$name" -j"$jobs" >>"$log" 2>&1; then
        echo "built build/$name"
        note "build $name" ok $(($(now_s) - t0))
        return 0
    fi
    tail -n 60 "$log"
    echo "build of build/$name failed; the whole log: $log"
    failed=$((failed + 1))
    note "build $name" FAILED $(($(now_s) - t0))
    return 1
}

# ctest_in NAME: runs the tests of build/NAME and adds ctest's counts to the totals.
ctest_in() {
    local name=$1 t0 log=$logs/ctest-$1.log line
    banner "ctest $name"
    t0=$(now_s)
    ctest --test-dir "$root/build/$name" --output-on-failure --no-tests=error -j"$jobs" 2>&1 | tee "$log"
    line=$(grep -Eo '[0-9]+ tests failed out of [0-9]+' "$log" | tail -n 1)
    if [[ $line =~ ^([0-9]+)\ tests\ failed\ out\ of\ ([0-9]+)$ ]]; then
        local f=${BASH_REMATCH[1]} total=${BASH_REMATCH[2]}
        passed=$((passed + total - f))
        failed=$((failed + f))
        note "ctest $name" "$((total - f)) passed, $f failed" $(($(now_s) - t0))
    else
        failed=$((failed + 1))
        note "ctest $name" "FAILED (no test result)" $(($(now_s) - t0))
    fi
}

# wine_checks SCRIPT BUILD: runs one Wine harness on the programs of build/BUILD and adds its closing
# "N passed, N failed[, N skipped]" line to the totals.
wine_checks() {
    local script=$1 build=$2 name t0 log status line
    name="$(basename "$script" .sh) $build"
    log=$logs/wine-${name/ /-}.log
    banner "wine $name"
    t0=$(now_s)
    bash "$script" "$root/build/$build" 2>&1 | tee "$log"
    status=${PIPESTATUS[0]}
    line=$(tail -n 1 "$log")
    if [[ $line =~ ^([0-9]+)\ passed,\ ([0-9]+)\ failed(,\ ([0-9]+)\ skipped)?$ ]]; then
        local p=${BASH_REMATCH[1]} f=${BASH_REMATCH[2]} s=${BASH_REMATCH[4]:-0}
        if [[ $status == 77 && ${REQUIRE_WINE:-0} == 1 ]]; then
            f=$((f + s))
            s=0
        fi
        passed=$((passed + p))
        failed=$((failed + f))
        skipped=$((skipped + s))
        [[ $status != 0 && $status != 77 && $f == 0 ]] && failed=$((failed + 1))  # a harness that lost count
        note "wine $name" "$p passed, $f failed$([[ $s != 0 ]] && echo ", $s skipped")" $(($(now_s) - t0))
    else
        failed=$((failed + 1))
        note "wine $name" "FAILED (exit status $status)" $(($(now_s) - t0))
    fi
}

main() {
    local start
    start=$(now_s)
    phase_install
    build sim && ctest_in sim
    # Unoptimised: the sanitizers find the same faults, and it compiles several times faster than -O2 with them.
    build sim-asan -DSIM_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug && ctest_in sim-asan
    local script
    if build win32 -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake"; then
        for script in "$root"/tests/wine/*.sh; do wine_checks "$script" win32; done
    fi
    if [[ $wine32_runs == 0 ]] && build win64 -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-x86_64.cmake"; then
        for script in "$root"/tests/wine/*.sh; do wine_checks "$script" win64; done
    fi

    banner "summary ($(($(now_s) - start))s in all)"
    printf '%s\n' "${summary[@]}"
    if [[ $skipped != 0 ]]; then
        echo "$passed passed, $failed failed, $skipped skipped"
    else
        echo "$passed passed, $failed failed"
    fi
    [[ $failed == 0 ]]
}

main
