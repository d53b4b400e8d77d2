#!/usr/bin/env bash
# Checks under Wine, with a stand-in for the driver's control component (tests/wine/tools/control_component):
#   1. the stand-in itself: created through each of its four interfaces, every property written and read back
#      through the registry values a check sets and reads;
#   2. the restart prompt after an installation: "No" and OK close it without a restart;
#   3. the speaker view of "Setup.exe /SPEAKER": the four-speaker choice and OK reach the component, the Run
#      value of the speaker pass is gone and the program has ended.
# One line per check, then "N passed, N failed[, N skipped]". Exit status 1 on any failure, 77 when this
# machine cannot run the build's Wine (every check is then skipped).
#
#   bash tests/wine/setup_speaker.sh [BUILD_DIR]     (default build/win32)
#
# Screenshots go to build/artifacts/. The checks run in their own copy of the build's booted prefix
# (build/wine/speaker-prefix32 or -prefix64, made afresh each run) on their own Xvfb display.
set -uo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=$(realpath -m "${1:-$root/build/win32}")
bin=$build/bin
artifacts=$root/build/artifacts
# No Mono or Gecko download prompts, and no menu entries or file associations written into $HOME.
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
unset DISPLAY WAYLAND_DISPLAY
wine_timeout_s=60
component_key='HKLM\Software\KorvaneTest\Component'
class_key='HKCR\CLSID\{5B0E2A47-3D19-4C6E-9A82-1F4D6E0B7C35}'
checks_total=22  # reported as skipped when Wine cannot start

passed=0
failed=0
check() {  # check OK DESCRIPTION
    if [[ $1 == 1 ]]; then
        echo "ok   $2"
        passed=$((passed + 1))
    else
        echo "FAIL $2"
        failed=$((failed + 1))
    fi
}

give_up() {
    check 0 "$1"
    echo "$passed passed, $failed failed"
    exit 1
}

choose_wine() {
    if [[ $bits == 32 ]]; then
        wine=(wine)
        wineserver=(wineserver)
    else
        wine=(/usr/lib/wine/wine64)
        wineserver=(/usr/lib/wine/wineserver64)
    fi
    export WINEARCH=win$bits
    base_prefix=$root/build/wine/prefix$bits
    export WINEPREFIX=$root/build/wine/speaker-prefix$bits
}

# Wine's 32-bit side is a 32-bit Linux program: a kernel without 32-bit support cannot start it.
wine_starts() {
    local why
    command -v "${wine[0]}" >/dev/null || give_up "Wine is not installed (no ${wine[0]})"
    why=$("${wine[@]}" --version 2>&1 </dev/null) && return 0
    echo "skip: Wine cannot start on this machine: ${why##*$'\n'}"
    [[ $why == *"Exec format error"* ]] && echo "skip: this kernel runs no 32-bit programs"
    echo "$passed passed, $failed failed, $checks_total skipped"
    return 1
}

w() { timeout "$wine_timeout_s" "${wine[@]}" "$@" </dev/null; }
reg_add() { w reg add "$@" /f >/dev/null 2>&1; }
client() { w "$bin/component_client.exe" "$@" 2>/dev/null | tr -d '\r'; }

# The build's prefix, booted once and shared by the Wine checks, copied so that what these checks leave behind
# (an installation, Run values, a restart) reaches no other script.
prepare_prefix() {
    if [[ ! -f $base_prefix/.booted ]]; then
        rm -rf "$base_prefix"
        mkdir -p "$base_prefix"
        WINEPREFIX=$base_prefix timeout 300 "${wine[@]}" wineboot -i </dev/null >/dev/null 2>&1 || return 1
        WINEPREFIX=$base_prefix timeout 300 "${wineserver[@]}" -w || return 1
        WINEPREFIX=$base_prefix reg_add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 ||
            return 1
        touch "$base_prefix/.booted"
    fi
    rm -rf "$WINEPREFIX"
    cp -a "$base_prefix" "$WINEPREFIX"
}

# REG_BINARY data of a value as reg prints it (upper-case hex, no blanks); empty when the value is missing.
reg_binary() {  # reg_binary KEY VALUE
    w reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' | awk -v n="$2" '$1 == n && $2 == "REG_BINARY" { print $3 }'
}

register_component() {
    local dll
    dll=$(w winepath -w "$bin/control_component.dll" 2>/dev/null | tr -d '\r')
    [[ -n $dll ]] && reg_add "$class_key\\InprocServer32" /ve /d "$dll" &&
        reg_add "$class_key\\InprocServer32" /v ThreadingModel /d Apartment
}

# 1. The stand-in. Each property is written through one interface and read back through the next, with bytes
# that tell the properties apart.
check_component() {
    local i out
    for i in 1 2 3 4; do
        out=$(client create "$i")
        [[ $out == "hr 0x00000000" ]]
        check $((!$?)) "component: created through interface $i${out:+ ($out)}"
    done
    local properties=(3 4 6 7) sizes=(4 12 8 4) k p n hex spaced got
    for k in "${!properties[@]}"; do
        p=${properties[k]} n=${sizes[k]}
        hex=$(for ((i = 0; i < n; i++)); do printf '%02X' $((p * 16 + i)); done)
        spaced=$(sed 's/../ &/g' <<<"$hex")
        client set $((k % 4 + 1)) "$p" "$hex" >/dev/null
        got=$(reg_binary "$component_key" "$p")
        out=$(client get $(((k + 1) % 4 + 1)) "$p" "$n")
        [[ $got == "$hex" && $out == "result 1 bytes$spaced" ]]
        check $((!$?)) "component: property $p ($n bytes) stored as $got and read back as \"$out\""
    done
    out=$(client get 1 5 4)
    [[ $out == "result 0 bytes" ]]
    check $((!$?)) "component: a property with no value reads as $out"
    out=$(client get 1 4 8)
    [[ $out == "result 0 bytes" ]]
    check $((!$?)) "component: a 12-byte property into an 8-byte buffer reads as $out"
    # Only the second interface answered: the others are refused with E_NOINTERFACE.
    reg_add "$component_key" /v Interfaces /t REG_DWORD /d 2
    out="$(client create 1) / $(client create 2)"
    [[ $out == "hr 0x80004002 / hr 0x00000000" ]]
    check $((!$?)) "component: with Interfaces=2 only the second interface is answered ($out)"
    w reg delete "$component_key" /v Interfaces /f >/dev/null 2>&1
    out=$(client unload 3)
    [[ $out == "loaded 1 unloaded 1" ]]
    check $((!$?)) "component: its DLL is unloaded once the last object is released ($out)"
}

main() {
    [[ -f $bin/Setup.exe ]] || give_up "no Setup.exe in $bin"
    case $(objdump -f "$bin/Setup.exe" 2>&1) in
    *"file format pei-i386"*) bits=32 ;;
    *"file format pei-x86-64"*) bits=64 ;;
    *) give_up "$bin/Setup.exe is no Windows program for i386 or x86-64" ;;
    esac
    local tool
    for tool in control_component.dll component_client.exe; do
        [[ -f $bin/$tool ]] || give_up "no $tool in $bin"
    done
    choose_wine
    echo "# Setup's end of installation and speaker pass, $bits-bit, under Wine in $WINEPREFIX"
    wine_starts || exit $((failed == 0 ? 77 : 1))
    trap '"${wineserver[@]}" -k >/dev/null 2>&1' EXIT
    prepare_prefix || give_up "cannot make a Wine prefix in $WINEPREFIX"
    "${wineserver[@]}" -p
    register_component || give_up "cannot register the control component in $WINEPREFIX"
    check_component
    echo "$passed passed, $failed failed"
    [[ $failed == 0 ]]
}

main
