; SPDX-License-Identifier: MIT
; Sheetfind's installer for Windows: both programs in Program Files, a Start menu
; entry, and an uninstaller registered in Add/Remove Programs. /S installs and
; uninstalls silently. cmake/windows_packages.cmake gives makensis VERSION,
; VERSION_TEXT, PUBLISHER, PROGRAMS (the folder of the two programs), ICON,
; LICENSE and OUTFILE.
Unicode true
SetCompressor /SOLID lzma
!include "FileFunc.nsh"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Sheetfind"

Name "Sheetfind ${VERSION_TEXT}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES\Sheetfind"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
RequestExecutionLevel admin
Icon "${ICON}"
UninstallIcon "${ICON}"
LicenseData "${LICENSE}"

VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "Sheetfind"
VIAddVersionKey "ProductVersion" "${VERSION_TEXT}"
VIAddVersionKey "FileVersion" "${VERSION_TEXT}"
VIAddVersionKey "FileDescription" "Sheetfind ${VERSION_TEXT} setup"
VIAddVersionKey "CompanyName" "${PUBLISHER}"
VIAddVersionKey "LegalCopyright" "MIT License"

Page license
Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Section
    SetShellVarContext all
    SetOutPath "$INSTDIR"
    File "${PROGRAMS}/Sheetfind.exe"
    File "${PROGRAMS}/sheetfind-cli.exe"
    File /oname=LICENSE.txt "${LICENSE}"
    WriteUninstaller "$INSTDIR\uninstall.exe"
    CreateShortcut "$SMPROGRAMS\Sheetfind.lnk" "$INSTDIR\Sheetfind.exe"

    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Sheetfind"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION_TEXT}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Sheetfind.exe"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
    ; Add/Remove Programs shows the size in KiB.
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

; Removes what the installer put there and nothing else: a file the user left in
; the folder keeps the folder.
Section "Uninstall"
    SetShellVarContext all
    Delete "$SMPROGRAMS\Sheetfind.lnk"
    Delete "$INSTDIR\Sheetfind.exe"
    Delete "$INSTDIR\sheetfind-cli.exe"
    Delete "$INSTDIR\LICENSE.txt"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
