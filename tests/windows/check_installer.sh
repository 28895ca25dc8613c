# SPDX-License-Identifier: MIT
# The installer of one architecture, silently as a deployment tool runs it, in both
# of its modes: for all users (Program Files, HKLM, the machine's PATH) and for the
# current user alone, without administrator rights (%LOCALAPPDATA%\Programs, HKCU,
# the user's PATH). Each uninstaller removes what its install put there and nothing
# else: a file the user left, the other mode's install, the rest of PATH. Sourced by
# check_windows.sh, whose expect, run and Wine prefix it uses.

uninstall_key='Software\Microsoft\Windows\CurrentVersion\Uninstall\Sheetfind'
system_environment='HKLM\SYSTEM\CurrentControlSet\Control\Session Manager\Environment'

# A registry value as reg prints it, or nothing. A 32-bit installer's HKLM\Software
# is the 32-bit view.
registry() { # KEY VALUE [VIEW]
    wine reg query "$1" /v "$2" ${3:+/reg:$3} 2>/dev/null | tr -d '\r' |
        sed -nE "s/^ +$2 +REG_[A-Z_]+ +//p"
}
# The files under a folder, with their paths below it.
listing() { (cd "$1" 2>/dev/null && find . -type f | sed 's|^\./||' | LC_ALL=C sort | tr '\n' ' '); }
# The uninstaller runs a copy of itself and returns at once: waits for the folder to go.
uninstall() { # FOLDER (Windows)
    local folder=$1 unix
    unix=$(winepath -u "$folder" 2>/dev/null)
    wine "$folder\\uninstall.exe" /S
    for _ in $(seq 60); do
        [ -e "$unix/uninstall.exe" ] || break
        sleep 0.5
    done
}

check_installer() { # ARCH
    local arch=$1 installer view programs local_programs
    probe_exe=$out/$arch/tree/tests/windows/sheetfind_probe.exe
    installer=$out/$arch/Sheetfind-$version-windows-$arch-setup.exe
    if [ "$arch" == x64 ]; then
        view=64
        programs='C:\Program Files\Sheetfind'
    else
        view=32
        programs='C:\Program Files (x86)\Sheetfind'
    fi
    local_programs="$(wine cmd /c 'echo %LOCALAPPDATA%' | tr -d '\r')\\Programs\\Sheetfind"
    local shipped="LICENSE.txt Sheetfind.exe proj/proj.db sheetfind-cli.exe uninstall.exe "
    local all_users="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Sheetfind.lnk"
    local one_user
    one_user="$(winepath -u "$(wine cmd /c 'echo %APPDATA%' | tr -d '\r')")/Microsoft/Windows/Start Menu/Programs/Sheetfind.lnk"

    # The user's own PATH, which each install adds to and each uninstall restores.
    wine reg add 'HKCU\Environment' /v Path /t REG_EXPAND_SZ /d 'C:\Tools' /f >/dev/null 2>&1
    local machine_path
    machine_path=$(registry "$system_environment" Path)

    ## For all users
    wine "$installer" /S /AllUsers
    expect "$arch install for all users" "$shipped" "$(listing "$(winepath -u "$programs")")"
    expect "$arch the Start menu entry for all users" yes "$([ -f "$all_users" ] && echo yes || echo no)"
    expect "$arch Add/Remove Programs for all users" "$programs" \
        "$(registry "HKLM\\$uninstall_key" InstallLocation $view)"
    expect "$arch the machine's PATH" "$machine_path;$programs" "$(registry "$system_environment" Path)"
    expect "$arch the installed sheetfind-cli.exe shifts a GPS point with PROJ's database beside it" \
        "a-096-H/094-A-15
status 0" "$(run C.UTF-8 '' wine "$programs\\sheetfind-cli.exe" locate -s png 56.9125 -120.5656)"
    wine "$programs\\Sheetfind.exe" &
    probe wait && started=yes || started=no
    expect "$arch the installed Sheetfind.exe starts" yes "$started"
    probe close
    wait

    ## For the current user, beside it
    wine "$installer" /S /CurrentUser
    expect "$arch install for the current user" "$shipped" \
        "$(listing "$(winepath -u "$local_programs")")"
    expect "$arch the Start menu entry for the current user" yes \
        "$([ -f "$one_user" ] && echo yes || echo no)"
    expect "$arch Add/Remove Programs for the current user" "$local_programs" \
        "$(registry "HKCU\\$uninstall_key" InstallLocation)"
    expect "$arch the user's PATH" "C:\\Tools;$local_programs" "$(registry 'HKCU\Environment' Path)"
    expect "$arch the per-user sheetfind-cli.exe" "092G06
status 0" "$(run C.UTF-8 '' wine "$local_programs\\sheetfind-cli.exe" 49.25 -123.1)"

    # Taking one out leaves the other as it was.
    touch "$(winepath -u "$local_programs")/my notes.txt"
    uninstall "$local_programs"
    expect "$arch the user's uninstall keeps the user's file" "my notes.txt " \
        "$(listing "$(winepath -u "$local_programs")")"
    expect "$arch the user's uninstall restores the user's PATH" 'C:\Tools' \
        "$(registry 'HKCU\Environment' Path)"
    expect "$arch the user's uninstall removes its entries" "no no" \
        "$([ -f "$one_user" ] && echo yes || echo no) $(wine reg query "HKCU\\$uninstall_key" >/dev/null 2>&1 && echo yes || echo no)"
    expect "$arch the install for all users is untouched" "$shipped" \
        "$(listing "$(winepath -u "$programs")")"
    rm -rf "$(winepath -u "$local_programs")"

    uninstall "$programs"
    expect "$arch the uninstall for all users leaves nothing" "" \
        "$(ls -d "$(winepath -u "$programs")" "$all_users" 2>/dev/null)$(registry "HKLM\\$uninstall_key" InstallLocation $view)"
    expect "$arch the uninstall for all users restores the machine's PATH" "$machine_path" \
        "$(registry "$system_environment" Path)"

    ## PATH left alone: when asked, and when it is too long to be changed whole
    wine "$installer" /S /CurrentUser /NoPath
    expect "$arch /NoPath leaves PATH alone" 'C:\Tools' "$(registry 'HKCU\Environment' Path)"
    uninstall "$local_programs"
    local long
    long="C:\\Tools;$(printf 'C:\\Folder%04d;' $(seq 1 100))C:\\Last"
    wine reg add 'HKCU\Environment' /v Path /t REG_EXPAND_SZ /d "$long" /f >/dev/null 2>&1
    wine "$installer" /S /CurrentUser
    expect "$arch a PATH of ${#long} characters is left whole" "$long" \
        "$(registry 'HKCU\Environment' Path)"
    expect "$arch and the programs are installed" "$shipped" \
        "$(listing "$(winepath -u "$local_programs")")"
    uninstall "$local_programs"
    expect "$arch and the uninstall leaves it whole too" "$long" "$(registry 'HKCU\Environment' Path)"
    wine reg delete 'HKCU\Environment' /v Path /f >/dev/null 2>&1
}
