; SPDX-License-Identifier: MIT
; Sheetfind's installer for Windows, one per architecture (ARCH x86 or x64): both
; programs and PROJ's database, a Start menu entry, sheetfind-cli on PATH if asked,
; and an uninstaller registered in Add/Remove Programs. It installs for the current
; user without administrator rights (in %LOCALAPPDATA%\Programs\Sheetfind), or for
; all users in Program Files for someone who has them.
;
; For deployment tools: /S installs silently, /CurrentUser or /AllUsers chooses the
; mode, /NoPath leaves PATH alone, /D=FOLDER (last) chooses the folder; the
; uninstaller takes /S too.
;
; cmake/windows_packages.cmake gives makensis VERSION, VERSION_TEXT, PUBLISHER,
; PROGRAMS (the folder of the programs), ARCH, ICON, LICENSE and OUTFILE.
Unicode true
!if ${ARCH} == x64
    Target amd64-unicode
    !define MULTIUSER_USE_PROGRAMFILES64
!else
    Target x86-unicode
!endif
SetCompressor /SOLID lzma

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Sheetfind"
!define SYSTEM_ENVIRONMENT "SYSTEM\CurrentControlSet\Control\Session Manager\Environment"
; The longest text makensis' strings hold: a longer PATH cannot even be read (it
; reads as empty), and is left as it is rather than written back cut short.
!define LONGEST_PATH_KEPT 1023

!define MULTIUSER_EXECUTIONLEVEL Highest
!define MULTIUSER_MUI
!define MULTIUSER_INSTALLMODE_COMMANDLINE
!define MULTIUSER_INSTALLMODE_INSTDIR "Sheetfind"
!define MULTIUSER_INSTALLMODE_INSTDIR_REGISTRY_KEY "${UNINSTALL_KEY}"
!define MULTIUSER_INSTALLMODE_INSTDIR_REGISTRY_VALUENAME "InstallLocation"
!include "MultiUser.nsh"
!include "MUI2.nsh"
!include "FileFunc.nsh"
!include "LogicLib.nsh"
!include "Sections.nsh"
!include "WinMessages.nsh"
!include "WordFunc.nsh"

Name "Sheetfind ${VERSION_TEXT} (${ARCH})"
OutFile "${OUTFILE}"

VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "Sheetfind"
VIAddVersionKey "ProductVersion" "${VERSION_TEXT}"
VIAddVersionKey "FileVersion" "${VERSION_TEXT}"
VIAddVersionKey "FileDescription" "Sheetfind ${VERSION_TEXT} setup (${ARCH})"
VIAddVersionKey "CompanyName" "${PUBLISHER}"
VIAddVersionKey "LegalCopyright" "MIT License"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!insertmacro MUI_PAGE_LICENSE "${LICENSE}"
!insertmacro MULTIUSER_PAGE_INSTALLMODE
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; The uninstaller's mode, that of the install it belongs to: AllUsers or CurrentUser.
Var Registry

; Tells running programs that the environment changed, so that a new Command Prompt
; finds sheetfind-cli.
!macro ANNOUNCE_ENVIRONMENT
    SendMessage ${HWND_BROADCAST} ${WM_SETTINGCHANGE} 0 "STR:Environment" /TIMEOUT=500
!macroend

Section "The programs" SectionPrograms
    SectionIn RO
    SetOutPath "$INSTDIR"
    File "${PROGRAMS}/Sheetfind.exe"
    File "${PROGRAMS}/sheetfind-cli.exe"
    File /oname=LICENSE.txt "${LICENSE}"
    SetOutPath "$INSTDIR\proj"
    File "${PROGRAMS}/proj/proj.db"
    SetOutPath "$INSTDIR"
    WriteUninstaller "$INSTDIR\uninstall.exe"
    CreateShortcut "$SMPROGRAMS\Sheetfind.lnk" "$INSTDIR\Sheetfind.exe"

    WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "Sheetfind"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION_TEXT}"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Sheetfind.exe"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1
    ; Add/Remove Programs shows the size in KiB.
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

; Reads PATH from ROOT\KEY into $0, and into $5 whether it can be changed whole:
; "yes", or "no" where it is too long for makensis' strings. A PATH that does not
; exist reads as empty and can be made.
!macro READ_PATH ROOT KEY
    ClearErrors
    ReadRegStr $0 ${ROOT} "${KEY}" "Path"
    StrCpy $5 yes
    ${If} ${Errors}
        ; Empty because it is missing, or because it is too long to read.
        StrCpy $6 0
        ${Do}
            EnumRegValue $7 ${ROOT} "${KEY}" $6
            ${IfThen} $7 == "" ${|} ${ExitDo} ${|}
            ${If} $7 == "Path"
                StrCpy $5 no
                ${ExitDo}
            ${EndIf}
            IntOp $6 $6 + 1
        ${Loop}
    ${EndIf}
!macroend

; The folder goes at the end of the user's PATH (or the machine's, for all users),
; once; the uninstaller takes out that entry and no other.
Section "sheetfind-cli on PATH" SectionPath
    ${If} $MultiUser.InstallMode == AllUsers
        !insertmacro READ_PATH HKLM "${SYSTEM_ENVIRONMENT}"
    ${Else}
        !insertmacro READ_PATH HKCU "Environment"
    ${EndIf}
    ; What it would be with the folder added must fit too.
    StrLen $2 $0
    StrLen $3 $INSTDIR
    IntOp $2 $2 + $3
    ${If} $5 == no
    ${OrIf} $2 >= ${LONGEST_PATH_KEPT}
        DetailPrint "PATH is too long to be changed safely; add $INSTDIR to it by hand"
        ${IfNot} ${Silent}
            MessageBox MB_OK|MB_ICONINFORMATION "Your PATH is too long for this installer to change it safely, and it is left as it is. To run sheetfind-cli from any Command Prompt, add $INSTDIR to it in Settings > System > About > Advanced system settings > Environment Variables."
        ${EndIf}
        Return
    ${EndIf}
    ${WordAdd} $0 ";" "+$INSTDIR" $2
    ${If} $MultiUser.InstallMode == AllUsers
        WriteRegExpandStr HKLM "${SYSTEM_ENVIRONMENT}" "Path" $2
    ${Else}
        WriteRegExpandStr HKCU "Environment" "Path" $2
    ${EndIf}
    WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "OnPath" 1
    !insertmacro ANNOUNCE_ENVIRONMENT
SectionEnd

Function .onInit
    !insertmacro MULTIUSER_INIT
    ${GetParameters} $0
    ClearErrors
    ${GetOptions} $0 "/NoPath" $1
    ${IfNot} ${Errors}
        !insertmacro UnselectSection ${SectionPath}
    ${EndIf}
FunctionEnd

!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
    !insertmacro MUI_DESCRIPTION_TEXT ${SectionPrograms} "The window, Sheetfind.exe, and the command-line tool, sheetfind-cli.exe."
    !insertmacro MUI_DESCRIPTION_TEXT ${SectionPath} "Adds the folder to PATH, so that sheetfind-cli runs from any Command Prompt or PowerShell."
!insertmacro MUI_FUNCTION_DESCRIPTION_END

; The uninstaller works in the mode of the install it belongs to: the one whose
; registered folder is its own.
Function un.onInit
    ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
    ${If} $0 == $INSTDIR
        SetShellVarContext all
        StrCpy $Registry AllUsers
        UserInfo::GetAccountType
        Pop $1
        ${If} $1 != "Admin"
            ${IfNot} ${Silent}
                MessageBox MB_OK|MB_ICONSTOP "Sheetfind was installed for all users of this computer: removing it needs administrator rights."
            ${EndIf}
            SetErrorLevel 5
            Quit
        ${EndIf}
    ${Else}
        SetShellVarContext current
        StrCpy $Registry CurrentUser
    ${EndIf}
FunctionEnd

; Removes what the installer put there and nothing else: a file the user left in
; the folder keeps the folder, and the registry key of another install stays.
Section "Uninstall"
    ReadRegDWORD $0 SHCTX "${UNINSTALL_KEY}" "OnPath"
    ReadRegStr $1 SHCTX "${UNINSTALL_KEY}" "InstallLocation"
    ${If} $0 == 1
    ${AndIf} $1 == $INSTDIR
        ${If} $Registry == AllUsers
            !insertmacro READ_PATH HKLM "${SYSTEM_ENVIRONMENT}"
        ${Else}
            !insertmacro READ_PATH HKCU "Environment"
        ${EndIf}
        ${If} $5 == yes
            ${un.WordAdd} $0 ";" "-$INSTDIR" $4
            ${If} $Registry == AllUsers
                WriteRegExpandStr HKLM "${SYSTEM_ENVIRONMENT}" "Path" $4
            ${ElseIf} $4 == ""
                DeleteRegValue HKCU "Environment" "Path"
            ${Else}
                WriteRegExpandStr HKCU "Environment" "Path" $4
            ${EndIf}
            !insertmacro ANNOUNCE_ENVIRONMENT
        ${EndIf}
    ${EndIf}

    Delete "$SMPROGRAMS\Sheetfind.lnk"
    Delete "$INSTDIR\Sheetfind.exe"
    Delete "$INSTDIR\sheetfind-cli.exe"
    Delete "$INSTDIR\LICENSE.txt"
    Delete "$INSTDIR\proj\proj.db"
    RMDir "$INSTDIR\proj"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
    ${If} $1 == $INSTDIR
        DeleteRegKey SHCTX "${UNINSTALL_KEY}"
    ${EndIf}
SectionEnd
