#!/usr/bin/env bash
# Checks a real QviSystemInfo.exe: first its file, then, under Wine, once for each Windows version Wine can
# report, the nine values it writes under HKLM. One line per check, then "N passed, N failed[, N skipped]".
# Exit status 1 on any failure, 77 when this machine cannot run the program's Wine (those checks are skipped).
#
#   bash tests/wine/qvisysteminfo.sh [BUILD_DIR | path/to/QviSystemInfo.exe]     (default build/win32)
#
# The shipped program is 32-bit (build/win32) and runs under Wine's 32-bit side. A build of the same sources
# for x86-64 (build/win64) runs under 64-bit Wine, for machines whose kernel runs no 32-bit programs.
# The Wine prefix (build/wine/prefix32 or prefix64) is kept between runs once booted.
set -uo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
exe=${1:-$root/build/win32}
[[ -d $exe ]] && exe=$exe/bin/QviSystemInfo.exe
exe=$(realpath -m "$exe")
name=$(basename "$exe")
# No Mono or Gecko download prompts, and no menu entries or file associations written into $HOME.
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
unset DISPLAY WAYLAND_DISPLAY  # the program has no window; keep Wine off any display the caller has
test_key='Software\KorvaneTest'
wine_timeout_s=120

# The values the program writes, in order, and what each Wine version setting must give.
names=(OSVER_95 OSVER_98 OSVER_SE OSVER_ME OSVER_NT OSVER_2K OSVER_XP DirectX DXMedia)
declare -A expected=(
    [win95]="1 0 0 0 0 0 0 0 0"
    [win98]="0 0 1 0 0 0 0 1 0"  # " A " service-pack text: Second Edition; Wine creates the filter graph
    [winme]="0 0 0 1 0 0 0 0 0"
    [nt40]="0 0 0 0 1 0 0 0 0"
    [win2k]="0 0 0 0 0 1 0 0 0"
    [winxp]="0 0 0 0 0 0 1 0 0"
    [win2003]="0 0 0 0 0 0 0 0 0"
    [win7]="0 0 0 0 0 0 0 0 0"
)
settings=(win95 win98 winme nt40 win2k winxp win2003 win7)
wine_checks=$((${#settings[@]} * ${#names[@]} + 1))

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

# What Windows needs to load the file at all. Imports from system DLLs only, so no MinGW runtime DLL has to
# travel with it (services a Windows version may lack are reached by LoadLibraryA). The 32-bit program must also
# load on Windows 95 and NT 4, which refuse a subsystem version above 4.0.
system_dlls=" ADVAPI32.DLL COMCTL32.DLL COMDLG32.DLL GDI32.DLL KERNEL32.DLL MSVCRT.DLL OLE32.DLL OLEAUT32.DLL
 SHELL32.DLL USER32.DLL VERSION.DLL WINMM.DLL "
check_image() {
    local dll others=()
    if [[ $bits == 32 ]]; then
        [[ $headers =~ Magic[[:space:]]+010b ]]
        check $((!$?)) "$name is a PE32 image for i386"
        [[ $headers =~ MajorSubsystemVersion[[:space:]]+4[[:space:]] &&
            $headers =~ MinorSubsystemVersion[[:space:]]+0[[:space:]] ]]
        check $((!$?)) "$name asks for subsystem version 4.0"
    fi
    for dll in $(awk '/DLL Name:/ { print toupper($3) }' <<<"$headers"); do
        [[ $system_dlls == *" $dll "* ]] || others+=("$dll")
    done
    [[ ${#others[@]} == 0 ]]
    check $((!$?)) "$name imports system DLLs only${others[*]:+ (also: ${others[*]})}"
}

# Wine for the image's width. Debian's `wine` starts the 32-bit side whenever it is installed.
choose_wine() {
    if [[ $bits == 32 ]]; then
        wine=(wine)
        wineserver=(wineserver)
    else
        wine=(/usr/lib/wine/wine64)
        wineserver=(/usr/lib/wine/wineserver64)
    fi
    export WINEARCH=win$bits WINEPREFIX=${WINEPREFIX:-$root/build/wine/prefix$bits}
}

# Wine's 32-bit side is itself a 32-bit Linux program: a kernel without 32-bit support cannot start it at all.
# That is the machine's limit, not the program's, so the checks are reported as skipped.
wine_starts() {
    local why
    command -v "${wine[0]}" >/dev/null || give_up "Wine is not installed (no ${wine[0]})"
    why=$("${wine[@]}" --version 2>&1 </dev/null) && return 0
    echo "skip: Wine cannot start on this machine: ${why##*$'\n'}"
    if [[ $why == *"Exec format error"* ]]; then
        echo "skip: this kernel runs no 32-bit programs (its 32-bit emulation is switched off)"
    fi
    echo "$passed passed, $failed failed, $wine_checks skipped"
    return 1
}

w() { timeout "$wine_timeout_s" "${wine[@]}" "$@" </dev/null; }
reg_add() { w reg add "$@" /f >/dev/null 2>&1; }

# A booted prefix is marked once wineboot has finished; anything else left in the folder is started afresh.
prepare_prefix() {
    if [[ -f $WINEPREFIX/.booted ]]; then return 0; fi
    rm -rf "$WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    timeout 300 "${wine[@]}" wineboot -i </dev/null >/dev/null 2>&1 || return 1
    # wineboot returns while the services it started still work; the prefix is ready once its server has ended.
    timeout 300 "${wineserver[@]}" -w || return 1
    # An unhandled exception must end the program, not wait for someone to close a dialog.
    reg_add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 || return 1
    touch "$WINEPREFIX/.booted"
}

# Prints "NAME DATA" for each REG_DWORD value of an HKLM key (DATA as reg prints it: 0x1); fails if the key is
# missing. reg ends its lines with CR LF.
read_dwords() {
    local out
    out=$(w reg query "HKLM\\$1" 2>/dev/null) || return 1
    tr -d '\r' <<<"$out" | awk '$2 == "REG_DWORD" { print $1, $NF }'
}

run_as() {  # run_as SETTING KEY: the program sees the Windows version SETTING and gets KEY as its command line
    reg_add "HKCU\\Software\\Wine\\AppDefaults\\$name" /v Version /t REG_SZ /d "$1" || return 1
    # On 98 SE the program appends to VornDump.txt in its current folder: run it in the prefix's folder.
    (cd "$WINEPREFIX" && w "$exe" "$2" >/dev/null 2>&1)
}

check_setting() {
    local setting=$1 key="$test_key\\$1"
    reg_add "HKLM\\$key" || { check 0 "$setting: cannot create HKLM\\$key"; return; }
    run_as "$setting" "$key"
    local status=$? dwords query=0
    dwords=$(read_dwords "$key") || query=$?
    local want=(${expected[$setting]}) i got
    for i in "${!names[@]}"; do
        got=$(awk -v n="${names[i]}" '$1 == n { print $2 }' <<<"$dwords")
        if [[ $got =~ ^0x[0-9a-f]+$ && $((got)) == "${want[i]}" ]]; then
            check 1 "$setting ${names[i]}=${want[i]}"
        else
            check 0 "$setting ${names[i]}: expected ${want[i]}, got ${got:-no value} (program exit status $status, reg query $query)"
        fi
    done
}

# The program opens its key and never creates it.
check_missing_key() {
    local key="$test_key\\missing"
    run_as win98 "$key"
    if w reg query "HKLM\\$key" >/dev/null 2>&1; then
        check 0 "win98 missing key: HKLM\\$key was created"
    else
        check 1 "win98 missing key: HKLM\\$key still absent"
    fi
}

main() {
    [[ -f $exe ]] || give_up "no program at $exe"
    headers=$(objdump -p "$exe" 2>&1)
    case $headers in
    *"file format pei-i386"*) bits=32 ;;
    *"file format pei-x86-64"*) bits=64 ;;
    *) give_up "$name is no Windows program for i386 or x86-64" ;;
    esac
    check_image
    choose_wine
    echo "# $name, $bits-bit, under Wine in $WINEPREFIX"
    wine_starts || exit $((failed == 0 ? 77 : 1))
    trap '"${wineserver[@]}" -k >/dev/null 2>&1' EXIT  # nothing of Wine stays running after the checks
    prepare_prefix || give_up "cannot make a Wine prefix in $WINEPREFIX"
    "${wineserver[@]}" -p  # one server for the whole run, ended by the trap
    # Each run starts from no test keys and no version setting from an earlier run.
    w reg delete "HKLM\\$test_key" /f >/dev/null 2>&1
    local setting
    for setting in "${settings[@]}"; do check_setting "$setting"; done
    check_missing_key
    w reg delete "HKLM\\$test_key" /f >/dev/null 2>&1
    w reg delete "HKCU\\Software\\Wine\\AppDefaults\\$name" /f >/dev/null 2>&1
    echo "$passed passed, $failed failed"
    [[ $failed == 0 ]]
}

main
