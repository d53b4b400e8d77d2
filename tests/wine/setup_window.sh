#!/usr/bin/env bash
# Checks Setup's main window under Wine, started with no arguments from a plain folder, once in English and
# once in Japanese: the window comes up, its progress list shows the three opening lines of the language's
# string table (ids 102 to 104 of setup.rc), a screenshot is kept, and Exit closes the window and ends the
# process. One line per check, then "N passed, N failed[, N skipped]"; exit status 1 on any failure, 77 when
# this machine cannot run the build's Wine.
#
#   bash tests/wine/setup_window.sh [BUILD_DIR]     (default build/win32)
#
# The screenshots are build/artifacts/setup-window-en.png and setup-window-ja.png. The driver program
# (tests/wine/tools/driver.cpp) reads the list from another process, as UTF-16, and prints it as UTF-8, so
# the lines compare with the texts of setup.rc whatever code page the language gives Setup.
set -uo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=${1:-$root/build/win32}
name=setup-window
source "$root/tests/wine/lib/setup_wine.bash"

languages=(en ja)
declare -A locale=([en]=C.UTF-8 [ja]=ja_JP.UTF-8)
declare -A rc_language=([en]=LANG_ENGLISH [ja]=LANG_JAPANESE)
checks_per_language=8
exit_button=$(awk '$1 == "#define" && $2 == "IDC_EXIT" { print $3 }' "$root/setup/res/resource.h")
list_box=$(awk '$1 == "#define" && $2 == "IDC_PROGRESS_LIST" { print $3 }' "$root/setup/res/resource.h")

check_language() {
    local lang=$1 shot=$root/build/artifacts/setup-window-$1.png
    export LANG=${locale[$lang]} LC_ALL=${locale[$lang]}
    rm -f "$shot"
    local t0=$SECONDS
    (cd "$work/folder" && exec timeout 120 "${wine[@]}" Setup.exe </dev/null >"$work/setup-$lang.log" 2>&1) &
    local pid=$!
    if ! wait_for_window; then
        check 0 "$lang: no window titled \"Setup\" within 30 s"
        kill "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
        return
    fi
    check 1 "$lang: the window \"Setup\" is shown ($((SECONDS - t0)) s after the start)"
    # Setup moves itself to 640 x 480 pixels in the middle of the screen.
    [[ $window_geometry == "192 144 640 480" ]]
    check $((!$?)) "$lang: the window is 640 x 480 in the middle of the 1024 x 768 screen (got $window_geometry)"

    local want=() got=() i
    mapfile -t want < <(rc_strings "${rc_language[$lang]}" 102 103 104)
    mapfile -t got < <(driver lines Setup "$list_box")
    [[ ${got[0]:-} == "count 3" ]]
    check $((!$?)) "$lang: the progress list holds 3 lines (${got[0]:-no answer})"
    for i in 0 1 2; do
        [[ ${#want[@]} == 3 && ${got[i + 1]:-} == "${want[i]}" ]]
        check $((!$?)) "$lang: line $((i + 1)) reads string $((102 + i)): \"${got[i + 1]:-}\"$(
            [[ ${got[i + 1]:-} != "${want[i]:-}" ]] && echo " (expected \"${want[i]:-}\")")"
    done

    screenshot "$shot"
    [[ -s $shot ]]
    check $((!$?)) "$lang: screenshot kept as ${shot#"$root"/}"

    t0=$SECONDS
    if driver click Setup "$exit_button" >/dev/null && driver gone Setup 20000 >/dev/null &&
        ended_within "$pid" 20; then
        [[ $exit_status == 0 ]]
        check $((!$?)) "$lang: Exit closes the window and Setup ends ($((SECONDS - t0)) s, exit status $exit_status)"
    else
        check 0 "$lang: Exit did not close the window and end Setup within 20 s"
        kill "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
    fi
}

main() {
    find_programs
    choose_wine
    echo "# Setup.exe, $bits-bit, main window under Wine in $WINEPREFIX"
    wine_starts $((${#languages[@]} * checks_per_language))
    work=$(mktemp -d)
    trap cleanup EXIT
    make_prefix || give_up "cannot make a Wine prefix in $WINEPREFIX"
    start_display || give_up "Xvfb did not start"
    mkdir -p "$work/folder"
    cp "$setup_exe" "$work/folder/Setup.exe"
    "${wineserver[@]}" -p  # one server for both runs, ended by the trap
    local lang
    for lang in "${languages[@]}"; do check_language "$lang"; done
    finish
}

main
