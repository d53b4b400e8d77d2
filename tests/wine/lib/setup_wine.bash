# Shared by the Wine checks of Setup (setup_window.sh, setup_install.sh); sourced, never run. Each script
# sets $root, $name (its own name for the prefix) and $build, and calls the functions here in order:
# find_programs, choose_wine, wine_starts, make_prefix, start_display.
#
# Checks print "ok   ..." or "FAIL ..."; the script ends with finish, which prints the closing count line.

export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
unset DISPLAY WAYLAND_DISPLAY  # only the script's own Xvfb
wine_timeout_s=120

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

finish() {
    echo "$passed passed, $failed failed"
    [[ $failed == 0 ]]
    exit $?
}

give_up() {
    check 0 "$1"
    finish
}

# Setup.exe and the driver program of the build; bits from Setup's image.
find_programs() {
    setup_exe=$(realpath -m "$build/bin/Setup.exe")
    driver_exe=$(realpath -m "$build/bin/WineDriver.exe")
    [[ -f $setup_exe ]] || give_up "no program at $setup_exe"
    [[ -f $driver_exe ]] || give_up "no driver program at $driver_exe"
    case $(objdump -f "$setup_exe" 2>&1) in
    *"file format pei-i386"*) bits=32 ;;
    *"file format pei-x86-64"*) bits=64 ;;
    *) give_up "Setup.exe is no Windows program for i386 or x86-64" ;;
    esac
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
    export WINEPREFIX=$root/build/wine/$name-prefix$bits
}

# A kernel without 32-bit programs cannot start Wine's 32-bit side: that is the machine's limit, and the
# checks are reported as skipped (exit status 77).
wine_starts() {  # wine_starts CHECK_COUNT
    local why
    command -v "${wine[0]}" >/dev/null || give_up "Wine is not installed (no ${wine[0]})"
    why=$("${wine[@]}" --version 2>&1 </dev/null) && return 0
    echo "skip: Wine cannot start on this machine: ${why##*$'\n'}"
    [[ $why == *"Exec format error"* ]] &&
        echo "skip: this kernel runs no 32-bit programs (its 32-bit emulation is switched off)"
    echo "$passed passed, $failed failed, $1 skipped"
    exit 77
}

w() { timeout "$wine_timeout_s" "${wine[@]}" "$@" </dev/null; }
reg_add() { w reg add "$@" /f >/dev/null 2>&1; }

# The value's data as `reg query` prints it (third field on), or nothing; reg ends its lines with CR LF.
reg_value() {  # reg_value KEY VALUE
    w reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' |
        awk -v v="$2" 'index($0, "    " v "    ") == 1 { sub("^    " v "    [A-Z_]+    ", ""); print; f=1 }
                       END { exit !f }'
}

# The shared booted prefix (build/wine/prefixNN, booted once as the other Wine checks do), copied afresh into
# this script's own folder, so no state of an earlier run or of another script's run carries over.
make_prefix() {
    if [[ ! -f $base_prefix/.booted ]]; then
        rm -rf "$base_prefix"
        mkdir -p "$base_prefix"
        WINEPREFIX=$base_prefix timeout 300 "${wine[@]}" wineboot -i </dev/null >/dev/null 2>&1 || return 1
        WINEPREFIX=$base_prefix timeout 300 "${wineserver[@]}" -w || return 1
        touch "$base_prefix/.booted"
    fi
    rm -rf "$WINEPREFIX"
    cp -a "$base_prefix" "$WINEPREFIX" || return 1
    # An unhandled exception must end the program and fail the check, not wait for a dialog to be closed.
    reg_add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0
}

# One Xvfb for the script, on the first free display; ended with the script.
start_display() {
    local display_file=$work/display i
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$display_file" >"$work/xvfb.log" 2>&1 &
    xvfb_pid=$!
    for i in $(seq 50); do
        [[ -s $display_file ]] && break
        sleep 0.1
    done
    [[ -s $display_file ]] || return 1
    DISPLAY=:$(tr -d '\n' <"$display_file")
    export DISPLAY
}

cleanup() {
    "${wineserver[@]}" -k >/dev/null 2>&1
    [[ -n ${xvfb_pid:-} ]] && kill "$xvfb_pid" 2>/dev/null
    [[ -n ${work:-} ]] && rm -rf "$work"
}

driver() { w "$driver_exe" "$@" | tr -d '\r'; }

# Waits for Setup's window; sets window_geometry to "X Y WIDTH HEIGHT".
wait_for_window() {
    local out
    out=$(driver find Setup 30000) || return 1
    window_geometry=${out#window }
}

# A screenshot of the screen cut to the window, kept as an artifact.
screenshot() {  # screenshot FILE
    local x y width height
    read -r x y width height <<<"$window_geometry"
    mkdir -p "$root/build/artifacts"
    import -window root "$work/screen.png" 2>/dev/null &&
        convert "$work/screen.png" -crop "${width}x${height}+${x}+${y}" +repage "$1" 2>/dev/null
}

# True once the process has ended within SECONDS; its exit status is then in exit_status.
ended_within() {  # ended_within PID SECONDS
    local i
    for i in $(seq $(($2 * 10))); do
        if ! kill -0 "$1" 2>/dev/null; then
            wait "$1"
            exit_status=$?
            return 0
        fi
        sleep 0.1
    done
    return 1
}

# The texts of string-table entries by id (their IDS_ names in resource.h), in one language block of setup.rc, as the script has them (UTF-8).
rc_strings() {  # rc_strings LANG_XXX ID...
    local id names=()
    for id in "${@:2}"; do
        names+=("$(awk -v n="$id" '$1 == "#define" && $2 ~ /^IDS_/ && $3 == n { print $2 }' "$root/setup/res/resource.h")")
    done
    local name
    for name in "${names[@]}"; do
        awk -v lang="$1" -v id="$name" '
            $1 == "LANGUAGE" { current = $2; sub(",", "", current) }
            current == lang && $1 == id {
                text = $0; sub(/^[ \t]*[A-Z_0-9]+[ \t]+"/, "", text); sub(/"[ \t]*$/, "", text)
                gsub(/""/, "\"", text); print text }' "$root/setup/res/setup.rc"
    done
}
