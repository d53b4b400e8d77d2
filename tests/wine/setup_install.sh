#!/usr/bin/env bash
# Checks an installation by Setup under Wine: Setup.exe "/DRIVER" started from a CD-ROM in D: carrying the
# sample chip medium (tests/media/chip, with the built Setup.exe where the medium has its placeholders), each
# case in a fresh prefix with one supported PCI controller present:
#   win98             the maker's own controller under Wine's Windows 98 setting, without newdev.dll as on
#                     Windows 98: Setup removes the controller and registers the INF files instead;
#   winxp             the maker's own controller under Wine's Windows XP setting: the driver update from the
#                     staged INF looks for qvaudio.sys below the staging folder, where the INF's source-disk
#                     path leads to no file, and Wine retries that copy without end (Windows would ask for
#                     the disk), so Exit cannot end Setup there: checked and reported;
#   winxp-other       a supported chipset controller the package has no driver for (the update installs
#                     nothing and returns at once), so the run goes on through the source list, where Wine's
#                     setupapi has aborting stubs, to the wait for the new mixer.
# The sound system is ALSA's null device, whose two mixer devices never change: the new driver's mixer never
# appears, and the check presses Exit while the window shows the dots of the wait, as a person would, and
# answers the restart prompt that follows the installation with "restart later". Then it
# reads what the installation left: the staged files, the DOS programs, the INF copies and their source disk,
# the catalog, the mixer program, the Run values and the tray's "Services" bits.
# One line per check, then "N passed, N failed[, N skipped]"; exit status 1 on any failure, 77 when this
# machine cannot run the build's Wine.
#
#   bash tests/wine/setup_install.sh [BUILD_DIR]     (default build/win32)
#
# A screenshot of the window during the wait is kept as build/artifacts/setup-install-CASE.png.
set -uo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=${1:-$root/build/win32}
name=setup-install
source "$root/tests/wine/lib/setup_wine.bash"

cases=(win98 winxp winxp-other)
# Wine's win98 setting reports build 2222 with the " A " service-pack text, which Setup classifies as 98 SE:
# the medium's Win_98SE folder is the one for it.
declare -A driver_folder=([win98]=Win_98SE/drv [winxp]=Win_XP/drv)
# The maker's own controller is tests/setup/setup_machine.h kOwnController; the other one is on Setup's list
# of supported controllers but in none of the package's INF files.
declare -A controllers=(
    [win98]='PCI\VEN_5E1A&DEV_0111&SUBSYS_01115E1A&REV_01'
    [winxp]='PCI\VEN_5E1A&DEV_0111&SUBSYS_01115E1A&REV_01'
    [winxp-other]='PCI\VEN_1106&DEV_3059&SUBSYS_00000000&REV_50'
)
declare -A controller_name=([win98]="the maker's controller" [winxp]="the maker's controller"
    [winxp-other]="a chipset controller the package has no driver for")
declare -A case_checks=([win98]=20 [winxp]=17 [winxp-other]=17)  # for the count of skipped checks
medium=$root/tests/media/chip
staging='C:\Program Files\Korvane\WIN_ME'
media_class='{4d36e96c-e325-11ce-bfc1-08002be10318}'
run_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Run'
tray_path='Software\Microsoft\Windows\CurrentVersion\Applets\Systray'
# "Services" before and after: the volume icon's bit (value 4 of the first byte) cleared, the rest kept.
user_services_before=1fff0080
user_services_after=1bff0080
default_services_before=07000000
default_services_after=03000000
prompt_title="Restarting Windows"  # the English caption of the IDD_RESTART dialog in setup.rc
prompt_ok=1                        # IDOK
restart_later=$(awk '$1 == "#define" && $2 == "IDC_RESTART_LATER" { print $3 }' "$root/setup/res/resource.h")
exit_button=$(awk '$1 == "#define" && $2 == "IDC_EXIT" { print $3 }' "$root/setup/res/resource.h")
list_box=$(awk '$1 == "#define" && $2 == "IDC_PROGRESS_LIST" { print $3 }' "$root/setup/res/resource.h")

# A path of drive C: as Linux names it. Windows names are case-blind and Wine keeps the case a folder was made
# with ("inf" of the prefix, "CATALOG" made by Setup), so each part is looked up in any case; a part that is
# missing is kept as written.
c_path() {  # c_path 'windows/INF/CATALOG/qvaudio.cat'
    local path=$WINEPREFIX/drive_c part found
    local IFS=/
    for part in $1; do
        found=$(find "$path" -maxdepth 1 -mindepth 1 -iname "$part" -print -quit 2>/dev/null)
        path=${found:-$path/$part}
    done
    echo "$path"
}
staging_dir() { c_path 'Program Files/Korvane/WIN_ME'; }

# The sample medium as a pressed CD holds it: the real Setup.exe at its root and in each driver folder where
# the medium keeps a placeholder, and every file read-only.
make_medium() {
    cp -r "$medium" "$work/cd" || return 1
    local placeholder
    while IFS= read -r -d '' placeholder; do
        cp "$setup_exe" "$placeholder" || return 1
    done < <(find "$work/cd" -iname setup.exe -print0)
    printf 'KORVANE' >"$work/cd/.windows-label"
    chmod -R a-w "$work/cd"
}

hex_bytes() { sed 's/../&,/g; s/,$//' <<<"$1"; }

# The machine Setup meets: D: a CD-ROM drive, the case's controller present, the tray's settings of both
# users, the Run key Windows always has, and the Windows version setting for Setup.
prepare_machine() {
    local controller=${controllers[$1]}
    ln -sfn "$work/cd" "$WINEPREFIX/dosdevices/d:" || return 1
    local instance="$controller\\4&2F0C7D1&0&28"
    local reg_escape='s/\\/\\\\/g'
    {
        echo 'Windows Registry Editor Version 5.00'
        echo
        echo '[HKEY_LOCAL_MACHINE\Software\Wine\Drives]'
        echo '"d:"="cdrom"'
        echo
        echo "[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Enum\\PCI\\${instance#PCI\\}]"
        echo "\"ClassGUID\"=\"$media_class\""
        echo
        echo "[${run_key/HKLM/HKEY_LOCAL_MACHINE}]"
        echo
        echo "[HKEY_CURRENT_USER\\$tray_path]"
        echo "\"Services\"=hex:$(hex_bytes $user_services_before)"
        echo
        echo "[HKEY_USERS\\.DEFAULT\\$tray_path]"
        echo "\"Services\"=hex:$(hex_bytes $default_services_before)"
        echo
        echo '[HKEY_CURRENT_USER\Software\Wine\AppDefaults\Setup.exe]'
        echo "\"Version\"=\"${1%%-*}\""
        # Windows 98 has no new-device installer library (it came with 2000); Wine's 98 setting keeps it.
        if [[ $1 == win98* ]]; then
            echo
            echo '[HKEY_CURRENT_USER\Software\Wine\AppDefaults\Setup.exe\DllOverrides]'
            echo '"newdev"=""'
        fi
    } | sed "/^\"/ $reg_escape" >"$work/machine.reg"
    w regedit /s "$(w winepath -w "$work/machine.reg" 2>/dev/null | tr -d '\r')" >/dev/null 2>&1 || return 1
    # The hardware IDs go in through reg, whose \0 separates the strings of a REG_MULTI_SZ: Wine 8's regedit
    # stores the UTF-16 bytes of a hex(7) value each as a character of its own, and the controller is not found.
    reg_add "HKLM\\System\\CurrentControlSet\\Enum\\$instance" /v HardwareID /t REG_MULTI_SZ \
        /d "$controller\\0${controller%%&SUBSYS*}" || return 1
    # Wine reads its drives when its server starts.
    "${wineserver[@]}" -k
    "${wineserver[@]}" -w
}

# Waits until the window shows the wait's line and a line of three dots, and sets lines_seen to the list then.
# The wait's line is shown before the driver update, and the list shows a phase only if the window's 100 ms
# timer sees it: the hardware refresh (the source list and the re-enumeration) takes milliseconds and rarely
# gets its line. So the sign is time: three dots mean 10 s in the waiting phase (a dot every 5 s) with Setup
# still running. With the other controller the update returns at once, and a Setup ended by the source
# list's stubs is gone by then.
wait_for_dots() {
    local waiting deadline=$((SECONDS + 60))
    lines_seen=()
    waiting=$(rc_strings LANG_ENGLISH 108)
    while ((SECONDS < deadline)); do
        local out
        # A window that is gone leaves lines_seen as last read.
        out=$(driver lines Setup "$list_box") && mapfile -t lines_seen < <(tail -n +2 <<<"$out")
        kill -0 "$setup_pid" 2>/dev/null || return 1
        if printf '%s\n' "${lines_seen[@]}" | grep -qxF "$waiting" &&
            printf '%s\n' "${lines_seen[@]}" | grep -qx '\.\.\.\.*'; then
            return 0
        fi
        sleep 0.5
    done
    return 1
}

same_file() { [[ -f $1 && -f $2 ]] && cmp -s "$1" "$2"; }

# The value of KEY in [SECTION] of an INF file (section and key in any case, blanks around them dropped).
inf_value() {  # inf_value FILE SECTION KEY
    tr -d '\r' <"$1" | awk -v s="$(tr a-z A-Z <<<"$2")" -v k="$(tr a-z A-Z <<<"$3")" '
        /^[ \t]*\[/ { line = toupper($0); gsub(/[ \t]/, "", line); inside = line == "[" s "]"; next }
        inside && index($0, "=") {
            key = substr($0, 1, index($0, "=") - 1); gsub(/^[ \t]+|[ \t]+$/, "", key)
            if (toupper(key) == k) { v = substr($0, index($0, "=") + 1); gsub(/^[ \t]+|[ \t]+$/, "", v); print v; exit }
        }'
}

check_staging() {
    local setting=$1 source=$work/cd/${driver_folder[${1%%-*}]} file missing=() differ=()
    for file in "$source"/*; do
        local staged
        staged="$(staging_dir)/$(basename "$file")"
        if [[ ! -f $staged ]]; then
            missing+=("$(basename "$file")")
        elif ! cmp -s "$file" "$staged"; then
            differ+=("$(basename "$file")")
        fi
    done
    [[ ${#missing[@]} == 0 && ${#differ[@]} == 0 ]]
    check $((!$?)) "$setting: every file of D:\\${driver_folder[${1%%-*}]//\//\\} is staged in $staging$(
        [[ ${#missing[@]} != 0 ]] && echo " (missing: ${missing[*]})")$(
        [[ ${#differ[@]} != 0 ]] && echo " (differing: ${differ[*]})")"
    local dos
    dos=$(c_path "Program Files/Korvane/DOS")
    same_file "$work/cd/Dosdrv/QVDOS.SYS" "$dos/QVDOS.SYS" &&
        same_file "$work/cd/Dosdrv/QVINIT.EXE" "$dos/QVINIT.EXE" &&
        same_file "$work/cd/Dosdrv/DOSAPP/QVMIXER.EXE" "$(c_path "Program Files/Korvane/DOS/DOSAPP/QVMIXER.EXE")" &&
        same_file "$work/cd/Dosdrv/DOSAPP/QVPLAY.EXE" "$(c_path "Program Files/Korvane/DOS/DOSAPP/QVPLAY.EXE")"
    check $((!$?)) "$setting: the DOS programs are in C:\\Program Files\\Korvane\\DOS and DOS\\DOSAPP"
    same_file "$source/qvaudio.cat" "$(c_path windows/INF/CATALOG/qvaudio.cat)"
    check $((!$?)) "$setting: the catalog qvaudio.cat is in C:\\windows\\INF\\CATALOG"
    same_file "$source/Mixer.dat" "$(c_path windows/NewMixer.exe)"
    check $((!$?)) "$setting: the medium's Mixer.dat is C:\\windows\\NewMixer.exe"
    same_file "$source/mixer.ini" "$(c_path windows/mixer.ini)"
    check $((!$?)) "$setting: the settings file mixer.ini is copied into C:\\windows"
}

# On the 98 family both INF folders get copies pointed at the staging folder (its short form, which the driver
# program turns back into the long one); on XP Setup puts none into INF\OTHER.
check_inf_copies() {
    local setting=$1 inf folder copy
    for inf in QVAUDIO.INF QVAUDIO1.INF; do
        for folder in INF INF/OTHER; do
            copy=$(c_path "windows/$folder/$inf")
            local where="C:\\windows\\${folder//\//\\}\\$inf"
            if [[ $setting == winxp* ]]; then
                if [[ $folder == INF/OTHER ]]; then
                    [[ ! -e $copy ]]
                    check $((!$?)) "$setting: no copy $where"
                fi
                continue
            fi
            local disk files folder_named long=""
            disk=$(inf_value "$copy" SourceDisksNames 200 2>/dev/null)
            files=$(inf_value "$copy" SourceDisksFiles qvaudio.cat 2>/dev/null)
            folder_named=${disk#'"Korvane WDM Audio Driver Disk",,,'}
            [[ $folder_named != "$disk" ]] && long=$(driver longpath "$folder_named")
            [[ $long == "$staging" && $files == 200 ]]
            check $((!$?)) "$setting: $where names the staging folder as disk 200 ($disk, long form \"$long\"; qvaudio.cat=$files)"
        done
    done
}

# Setup's own command for the speaker start after the restart: the staged Setup.exe, quoted when its path
# holds a blank, then " /SPEAKER".
check_run_values() {
    local setting=$1 value program long
    value=$(reg_value "$run_key" "Korvane Speaker Configuration")
    program=${value% /SPEAKER}
    if [[ $program == \"*\" ]]; then
        program=${program#\"}
        program=${program%\"}
        [[ $program == *" "* ]] || program="(quoted without a blank) $program"
    elif [[ $program == *" "* ]]; then
        program="(a blank without quotes) $program"
    fi
    long=$(driver longpath "$program")
    [[ $value == *" /SPEAKER" && $long == "$staging\\Setup.exe" ]] && same_file "$setup_exe" "$(staging_dir)/Setup.exe"
    check $((!$?)) "$setting: Run \"Korvane Speaker Configuration\" starts the staged Setup.exe with /SPEAKER: \"$value\""
    value=$(reg_value "$run_key" "Korvane Mixer")
    [[ -z $value ]]
    check $((!$?)) "$setting: no Run \"Korvane Mixer\" while the new mixer never came${value:+ (got \"$value\")}"
}

check_tray() {
    local setting=$1 user default
    user=$(reg_value "HKCU\\$tray_path" Services)
    default=$(reg_value "HKU\\.DEFAULT\\$tray_path" Services)
    [[ ${user,,} == "$user_services_after" ]]
    check $((!$?)) "$setting: the current user's tray Services $user_services_before became $user_services_after (got ${user:-none})"
    [[ ${default,,} == "$default_services_after" ]]
    check $((!$?)) "$setting: .DEFAULT's tray Services $default_services_before became $default_services_after (got ${default:-none})"
}

# The list as the window showed it before Exit: the three opening lines, the blank line Install adds, the
# line of the start, then only phase lines and dots, the wait's among them. The window adds a phase's line
# when its 100 ms timer sees the phase, so a phase that passes quicker (the copying on a fast machine) may
# have none.
check_progress() {
    local label=$1 want=() phases=() line ok=1
    mapfile -t want < <(rc_strings LANG_ENGLISH 102 103 104 105)
    want=("${want[@]:0:3}" "" "${want[3]}")
    mapfile -t phases < <(rc_strings LANG_ENGLISH 105 106 107 108)
    [[ "${lines_seen[*]:0:5}" == "${want[*]}" ]] || ok=0
    for line in "${lines_seen[@]:5}"; do
        [[ $line =~ ^\.+$ ]] && continue
        printf '%s\n' "${phases[@]}" | grep -qxF -- "$line" || ok=0
    done
    printf '%s\n' "${lines_seen[@]}" | grep -qxF -- "${phases[3]}" || ok=0
    check $ok "$label: the list shows the opening lines, a blank line, then \"$(printf '%s|' "${lines_seen[@]:4}")\""
}

# Where the driver update from the staged QVAUDIO.INF looks for qvaudio.sys: the path of its source disk
# 200 below the INF's own folder, as SetupAPI resolves the source of an INF outside the medium.
update_source_note() {
    local disk path
    disk=$(inf_value "$(staging_dir)/QVAUDIO.INF" SourceDisksNames 200)
    path=${disk##*,}
    echo "the staged QVAUDIO.INF names its files' folder as \"$path\": $staging$path\\qvaudio.sys$(
        [[ -e "$(staging_dir)/${path//\\//}/qvaudio.sys" ]] || echo ", which does not exist")"
}

check_case() {
    local label=$1 t0=$SECONDS
    make_prefix || { check 0 "$label: cannot make a Wine prefix in $WINEPREFIX"; return; }
    prepare_machine "$label" || { check 0 "$label: cannot prepare the machine"; return; }
    check 1 "$label: prefix with D: as a CD-ROM, ${controller_name[$label]}, the tray settings ($((SECONDS - t0)) s)"
    t0=$SECONDS
    (cd "$WINEPREFIX/drive_c" && exec timeout 300 "${wine[@]}" 'D:\Setup.exe' /DRIVER </dev/null >"$work/setup-$label.log" 2>&1) &
    setup_pid=$!
    if ! wait_for_window; then
        check 0 "$label: no window titled \"Setup\" within 30 s"
        kill "$setup_pid" 2>/dev/null
        return
    fi
    check 1 "$label: the window \"Setup\" is shown ($((SECONDS - t0)) s)"
    if wait_for_dots; then
        check_wait_and_exit "$label"
    else
        local ended=""
        if ! kill -0 "$setup_pid" 2>/dev/null; then
            wait "$setup_pid"
            ended=" (Setup has ended, exit status $?$(
                grep -ao 'unimplemented function [^ ,]*' "$work/setup-$label.log" | head -n 1 | sed 's/^/: Wine: /'))"
        fi
        check 0 "$label: Setup did not wait with a line of dots; the list: \"$(printf '%s|' "${lines_seen[@]}")\"$ended"
        kill "$setup_pid" 2>/dev/null
        wait "$setup_pid" 2>/dev/null
    fi
    # What the steps before the driver update wrote is checked however the run ended.
    [[ $label == win98 ]] && check_controller_removed "$label"
    check_staging "$label"
    check_inf_copies "$label"
    check_run_values "$label"
    check_tray "$label"
}

# Without the driver update on 98 the controller is removed, so that the re-enumeration finds it as a new
# device for the registered INF files.
check_controller_removed() {
    local key="HKLM\\System\\CurrentControlSet\\Enum\\${controllers[$1]}"
    ! w reg query "$key" >/dev/null 2>&1
    check $((!$?)) "$1: no driver update library: the controller is removed for re-detection ($key is gone)"
}

# The dots of the wait, a screenshot, and Exit pressed during the wait: the window closes and Setup ends.
check_wait_and_exit() {
    local label=$1 t0
    check_progress "$label"
    screenshot "$root/build/artifacts/setup-install-$label.png"
    check_result=$?
    check $((!check_result)) "$label: screenshot during the wait kept as build/artifacts/setup-install-$label.png"
    t0=$SECONDS
    # Exit waits 3 s, then the window's destroy handler stops the worker, which leaves the mixer wait within
    # its 3 s poll, and shows the restart prompt: 15 s is plenty. The prompt is answered "restart later".
    if ! driver click Setup "$exit_button" >/dev/null; then
        check 0 "$label: Exit could not be pressed"
    elif driver find "$prompt_title" 15000 >/dev/null; then
        check 1 "$label: Exit during the wait stops the installation and shows the restart prompt ($((SECONDS - t0)) s)"
        t0=$SECONDS
        if driver click "$prompt_title" "$restart_later" >/dev/null && sleep 0.5 &&
            driver click "$prompt_title" "$prompt_ok" >/dev/null && driver gone Setup 15000 >/dev/null &&
            ended_within "$setup_pid" 15; then
            [[ $exit_status == 0 ]]
            check $((!$?)) "$label: \"restart later\" and OK close the prompt and the window, and Setup ends ($((SECONDS - t0)) s, exit status $exit_status)"
            return
        fi
        check 0 "$label: \"restart later\" and OK did not end Setup within 15 s"
    elif [[ ! -e $(c_path windows/system32/drivers/qvaudio.sys) ]]; then
        # The window goes only when its destroy handler returns, and that handler waits for the worker.
        check 0 "$label: Exit did not close the window and end Setup within 15 s: the worker is still in the driver update, which has not installed qvaudio.sys ($(update_source_note); Wine retries that copy without end, Windows would ask for the disk)"
    else
        check 0 "$label: Exit did not close the window and end Setup within 15 s"
    fi
    kill "$setup_pid" 2>/dev/null
    wait "$setup_pid" 2>/dev/null
}

main() {
    find_programs
    choose_wine
    echo "# Setup.exe, $bits-bit, an installation from a CD under Wine in $WINEPREFIX"
    local label all_checks=0
    for label in "${cases[@]}"; do all_checks=$((all_checks + case_checks[$label])); done
    wine_starts "$all_checks"
    work=$(mktemp -d)
    trap 'chmod -R u+w "$work" 2>/dev/null; cleanup' EXIT
    make_medium || give_up "cannot lay out the medium in $work/cd"
    start_display || give_up "Xvfb did not start"
    # Two mixer devices that never change: the new driver's mixer never appears.
    mkdir -p "$work/xdg/alsa"
    echo 'pcm.!default { type null }' >"$work/xdg/alsa/asoundrc"
    export XDG_CONFIG_HOME=$work/xdg LANG=C.UTF-8 LC_ALL=C.UTF-8
    for label in "${cases[@]}"; do
        local t0=$SECONDS
        check_case "$label"
        "${wineserver[@]}" -k >/dev/null 2>&1
        echo "# $label: $((SECONDS - t0)) s"
    done
    finish
}

main
