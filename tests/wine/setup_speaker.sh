#!/usr/bin/env bash
# Checks under Wine, with a stand-in for the driver's control component (tests/wine/tools/control_component):
#   1. the stand-in itself: created through each of its four interfaces, every property written and read back
#      through the registry values a check sets and reads;
#   2. the restart prompt after an installation: the jack settings reach the component first, "No" and OK
#      close the prompt and end Setup without a restart (and, as the last check, in Japanese, "Yes" and OK
#      restart);
#   3. the speaker view of "Setup.exe /SPEAKER" after the restart, in English and in Japanese: a speaker choice
#      and OK reach the component, the Run value of the speaker pass is gone and the program has ended.
# One line per check, then "N passed, N failed[, N skipped]"; exit status 1 on any failure, 77 when this
# machine cannot run the build's Wine.
#
#   bash tests/wine/setup_speaker.sh [BUILD_DIR]     (default build/win32)
#
# The stand-in keeps its properties under HKLM\Software\KorvaneTest\Component, one REG_BINARY value per
# property number. Screenshots: build/artifacts/restart-prompt-en.png, restart-prompt-ja.png,
# speaker-view-en.png, speaker-view-ja.png and, after the choice, speaker-view-en-chosen.png and
# speaker-view-ja-chosen.png.
set -uo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=${1:-$root/build/win32}
name=setup-speaker
source "$root/tests/wine/lib/setup_wine.bash"

checks_total=29  # reported as skipped when Wine cannot start
component_key='HKLM\Software\KorvaneTest\Component'
class_key='HKCR\CLSID\{5B0E2A47-3D19-4C6E-9A82-1F4D6E0B7C35}'
run_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Run'
run_value='Korvane Speaker Configuration'
staged_setup='C:\Program Files\Korvane\WIN_ME\Setup.exe'
prompt_title='Restarting Windows'
notepad_title='Untitled - Notepad'
# Controls of the main window and of the restart prompt (setup/res/resource.h).
id() { awk -v n="$1" '$1 == "#define" && $2 == n { print $3 }' "$root/setup/res/resource.h"; }
install_button=$(id IDC_INSTALL)
exit_button=$(id IDC_EXIT)
later_radio=$(id IDC_RESTART_LATER)
ok_button=1

client() { w "$build_bin/component_client.exe" "$@" 2>/dev/null | tr -d '\r'; }
set_property() { reg_add "$component_key" /v "$1" /t REG_BINARY /d "$2"; }  # set_property NUMBER HEX
property() { reg_value "$component_key" "$1"; }  # the stored bytes in hex, as reg prints them
property_log() { reg_value "$component_key" Log; }  # the calls the component received, in order

register_component() {
    local dll
    dll=$(w winepath -w "$build_bin/control_component.dll" 2>/dev/null | tr -d '\r')
    [[ -n $dll ]] && reg_add "$class_key\\InprocServer32" /ve /d "$dll" &&
        reg_add "$class_key\\InprocServer32" /v ThreadingModel /d Apartment
}

# Background Windows programs of the current check; each check ends those still running, so that their
# windows cannot stand in for the next check's.
programs=()
start_program() {  # start_program LOCALE FOLDER PROGRAM ARGS...: its process id in $started
    local locale=$1 folder=$2
    shift 2
    (cd "$folder" && LANG=$locale LC_ALL=$locale exec timeout "$wine_timeout_s" "${wine[@]}" "$@" \
        </dev/null >/dev/null 2>&1) &
    started=$!
    programs+=("$started")
}
stop_programs() {
    local pid
    for pid in "${programs[@]}"; do
        kill "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
    done
    programs=()
}

# A window's screenshot: the window titled TITLE cut from the screen.
window_shot() {  # window_shot TITLE NAME
    local out
    out=$(driver find "$1" 0) || return 1
    window_geometry=${out#window }
    screenshot "$root/build/artifacts/$2.png"
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
    local properties=(3 4 6 7) sizes=(4 12 8 4) k p n hex spaced stored
    for k in "${!properties[@]}"; do
        p=${properties[k]} n=${sizes[k]}
        hex=$(for ((i = 0; i < n; i++)); do printf '%02X' $((p * 16 + i)); done)
        spaced=$(sed 's/../ &/g' <<<"$hex")
        client set $((k % 4 + 1)) "$p" "$hex" >/dev/null
        stored=$(property "$p")
        out=$(client get $(((k + 1) % 4 + 1)) "$p" "$n")
        [[ $stored == "$hex" && $out == "result 1 bytes$spaced" ]]
        check $((!$?)) "component: property $p ($n bytes) stored as $stored and read back as \"$out\""
    done
    out=$(client get 1 5 4)
    [[ $out == "result 0 bytes" ]]
    check $((!$?)) "component: a property with no value reads as \"$out\""
    out=$(client get 1 4 8)
    [[ $out == "result 0 bytes" ]]
    check $((!$?)) "component: a 12-byte property into an 8-byte buffer reads as \"$out\""
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

# The jack settings file in the Windows folder: a check is asked for, and the two sections differ, so the
# record shows which one was read. MICasBASS=257 keeps only its low byte.
write_mixerdef() {
    printf '%s\r\n' '[Hardware Setting]' 'NeedToCheckHardwareSetting=1' '[4ch Setting]' 'LINEINasREAR=2' \
        'LINEINasBASS=2' 'MICasBASS=2' '[6ch Setting]' 'LINEINasREAR=1' 'LINEINasBASS=0' 'MICasBASS=257' \
        >"$WINEPREFIX/drive_c/windows/mixerdef.ini"
}

# 2. An installation that ends early: Install, then Exit while the worker still prepares the system (the
# worker stops at its next cancellation test). The destroy handler waits for it, applies the jack settings
# through the component and asks for the restart. Notepad stands for the user's other programs, which a
# restart would end.
check_restart_prompt() {
    local out
    w reg delete "$component_key" /f >/dev/null 2>&1
    set_property 6 0000000028000000 && set_property 7 06000000 && set_property 4 AABBCC030405060708090A0B
    write_mixerdef
    start_program C.UTF-8 "$WINEPREFIX/drive_c/windows" notepad.exe
    driver find "$notepad_title" 20000 >/dev/null || check 0 "restart prompt: Notepad did not open"
    start_program C.UTF-8 "$work/medium" Setup.exe
    local setup=$started
    if ! driver find Setup 30000 >/dev/null; then
        check 0 "restart prompt: Setup's window did not open"
        return
    fi
    driver click Setup "$install_button" >/dev/null && driver click Setup "$exit_button" >/dev/null
    if ! out=$(driver find "$prompt_title" 30000); then
        ended_within "$setup" 1 && out="Setup ended with status $exit_status" || out="Setup still runs"
        check 0 "restart prompt: no window titled \"$prompt_title\" after Install and Exit ($out)"
        return
    fi
    check 1 "restart prompt: \"$prompt_title\" open after Install and Exit ($out)"
    sleep 0.5  # painted
    window_shot "$prompt_title" restart-prompt-en
    out=$(property 4)
    [[ $out == 010001030405060708090A0B ]]
    check $((!$?)) "restart prompt: the jack settings of \"6ch Setting\" reached the component before it (4 = $out)"
    out=$(property_log)
    [[ $out == "get 6 8 -> 1;get 7 4 -> 1;get 4 12 -> 1;set 4 12;" ]]
    check $((!$?)) "restart prompt: the component's calls were hardware info, channels, jack record, its write ($out)"
    driver click "$prompt_title" "$later_radio" >/dev/null && driver click "$prompt_title" $ok_button >/dev/null
    driver gone "$prompt_title" 10000 >/dev/null
    check $((!$?)) "restart prompt: \"No\" and OK close it"
    ended_within "$setup" 15 || exit_status=running
    [[ $exit_status == 0 ]]
    check $((!$?)) "restart prompt: Setup then ends with status 0 (got $exit_status)"
    driver find "$notepad_title" 0 >/dev/null
    check $((!$?)) "restart prompt: no restart was asked for (Notepad is still open)"
}

# The restart prompt's caption in one language block of setup.rc (UTF-8, as the script has it).
prompt_caption() {  # prompt_caption LANG_XXX
    awk -v lang="$1" '$1 == "LANGUAGE" { current = $2; sub(",", "", current) }
        current == lang && $1 == "IDD_RESTART" { in_prompt = 1 }
        in_prompt && $1 == "CAPTION" { text = $0; sub(/^[^"]*"/, "", text); sub(/"[ \t]*$/, "", text); print text; exit }
        ' "$root/setup/res/setup.rc"
}

# 4. The same end in Japanese, with the choice left at "Yes": OK asks Windows to restart. Under Wine
# ExitWindowsEx ends the prefix's other windowed programs (Notepad here) and leaves the host alone. Run last,
# as it ends everything. The driver program runs in Setup's locale, so that the title it is given as UTF-8
# reaches Windows as the same text.
check_restart_now() {
    local locale=ja_JP.UTF-8 title
    title=$(prompt_caption LANG_JAPANESE)
    start_program C.UTF-8 "$WINEPREFIX/drive_c/windows" notepad.exe
    driver find "$notepad_title" 20000 >/dev/null || check 0 "restart now: Notepad did not open"
    start_program $locale "$work/medium" Setup.exe
    local setup=$started
    if ! driver find Setup 30000 >/dev/null; then
        check 0 "restart now: Setup's window did not open"
        return
    fi
    driver click Setup "$install_button" >/dev/null && driver click Setup "$exit_button" >/dev/null
    if ! LANG=$locale LC_ALL=$locale driver find "$title" 30000 >/dev/null; then
        check 0 "restart now: no window titled \"$title\" after Install and Exit in Japanese"
        return
    fi
    sleep 0.5
    LANG=$locale LC_ALL=$locale window_shot "$title" restart-prompt-ja
    LANG=$locale LC_ALL=$locale driver click "$title" $ok_button >/dev/null
    ended_within "$setup" 15 || exit_status=running
    driver gone "$notepad_title" 10000 >/dev/null
    local notepad_gone=$((!$?))
    [[ $notepad_gone == 1 && $exit_status == 0 ]]
    check $((!$?)) "restart now: \"$title\", OK with \"Yes\" ends Setup (status $exit_status) and the restart ends Notepad ($(
        ((notepad_gone)) && echo gone || echo "still open"))"
}

# The Run value's command.
run_command() { reg_value "$run_key" "$run_value"; }

# 3. The speaker pass after the restart. At log-on Windows runs the Run value's command; a fresh wineserver runs
# only RunOnce entries, so the check runs the command itself. The driver reports hardware information 40 in
# its second word and 6 channels, so all three choices are offered.
check_speaker_view() {  # check_speaker_view LOCALE SUFFIX MODE X Y HEX: from speaker mode MODE (hex), the
    local locale=$1 suffix=$2 mode=$3 x=$4 y=$5 want=$6 command out  # choice at client point X,Y, then OK
    local what="speaker view $suffix"
    w reg delete "$component_key" /f >/dev/null 2>&1
    set_property 3 "$mode" && set_property 6 0000000028000000 && set_property 7 06000000
    mkdir -p "$WINEPREFIX/drive_c/Program Files/Korvane/WIN_ME"
    cp "$setup_exe" "$WINEPREFIX/drive_c/Program Files/Korvane/WIN_ME/Setup.exe"
    reg_add "$run_key" /v "$run_value" /d "\"$staged_setup\" /SPEAKER"
    command=$(run_command)
    if [[ ! $command =~ ^\"([^\"]+)\"\ (.*)$ ]]; then
        check 0 "$what: the Run value is no quoted program and switch ($command)"
        return
    fi
    start_program "$locale" "$WINEPREFIX/drive_c/windows" "${BASH_REMATCH[1]}" ${BASH_REMATCH[2]}
    local setup=$started
    if ! out=$(driver find Setup 30000); then
        ended_within "$setup" 1 && out="Setup ended with status $exit_status" || out="Setup still runs"
        check 0 "$what: no window titled \"Setup\" for $command ($out)"
        return
    fi
    check 1 "$what: open for $command ($out)"
    sleep 0.5
    window_shot Setup "speaker-view-$suffix"
    driver mouse Setup "$x" "$y" >/dev/null
    sleep 0.5
    window_shot Setup "speaker-view-$suffix-chosen"
    driver mouse Setup 550 387 >/dev/null
    ended_within "$setup" 15 || exit_status=running
    [[ $exit_status == 0 ]]
    check $((!$?)) "$what: the OK area ends Setup with status 0 (got $exit_status)"
    out=$(property 3)
    [[ $out == "$want" ]]
    check $((!$?)) "$what: the component received speaker mode $want (got ${out:-nothing})"
    out=$(run_command)
    [[ -z $out ]]
    check $((!$?)) "$what: the Run value \"$run_value\" is gone${out:+ (still: $out)}"
    # No mixerdef.ini: the pass skips the jack settings.
    out=$(property_log)
    [[ $out == "get 3 4 -> 1;get 6 8 -> 1;get 7 4 -> 1;set 3 4;" ]]
    check $((!$?)) "$what: the component's calls were speaker mode, hardware info, channels, the mode's write ($out)"
}

main() {
    find_programs
    build_bin=$(dirname "$setup_exe")
    local tool
    for tool in control_component.dll component_client.exe; do
        [[ -f $build_bin/$tool ]] || give_up "no $tool in $build_bin"
    done
    choose_wine
    echo "# Setup.exe, $bits-bit, restart prompt and speaker view under Wine in $WINEPREFIX"
    wine_starts $checks_total
    work=$(mktemp -d)
    trap 'stop_programs; cleanup' EXIT
    make_prefix || give_up "cannot make a Wine prefix in $WINEPREFIX"
    # With no window manager on the X server, Wine draws the captions itself: the prompt's title shows.
    reg_add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N
    start_display || give_up "Xvfb did not start"
    "${wineserver[@]}" -p  # one server for every run, ended by the trap
    register_component || give_up "cannot register the control component in $WINEPREFIX"
    check_component

    # The medium: the chip package of tests/media with the built Setup.exe.
    cp -r "$root/tests/media/chip" "$work/medium" && cp "$setup_exe" "$work/medium/Setup.exe" ||
        give_up "cannot copy the medium"
    check_restart_prompt
    stop_programs
    rm -f "$WINEPREFIX/drive_c/windows/mixerdef.ini"

    # Speaker mode 4 shows the two-speaker choice; the four-speaker choice stores 3.
    check_speaker_view C.UTF-8 en 04000000 200 112 03000000
    stop_programs
    # From six speakers to two, which store 1310724 (bytes 04 00 14 00), not the 4 a later start shows as two.
    check_speaker_view ja_JP.UTF-8 ja 06000000 200 80 04001400
    stop_programs
    check_restart_now
    stop_programs
    finish
}

main
