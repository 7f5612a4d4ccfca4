; The Windows installer: the staged folder of the programs into Program
; Files, a Start menu entry for Orvalle, and an uninstaller that takes all of
; it away again (registered with Windows' list of installed programs).
; makensis -DSTAGE=<folder> -DVERSION=<x.y.z> -DOUTFILE=<installer.exe> installer.nsi

Unicode true
; 64-bit, as the programs are (and as wine without its 32-bit half runs).
Target amd64-unicode
!include "MUI2.nsh"
!include "x64.nsh"

Name "Orvalle"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Orvalle"
InstallDirRegKey HKLM "Software\Tarnvista\Orvalle" "InstallDir"
RequestExecutionLevel admin
SetCompressor /SOLID lzma

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Orvalle"

!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Function .onInit
  ${IfNot} ${RunningX64}
    MessageBox MB_OK|MB_ICONSTOP "Orvalle needs 64-bit Windows."
    Abort
  ${EndIf}
  SetRegView 64
FunctionEnd

; For every user of the machine, as Program Files is.
Section "Orvalle"
  SetShellVarContext all
  SetOutPath "$INSTDIR"
  File /r "${STAGE}\*.*"
  WriteUninstaller "$INSTDIR\Uninstall.exe"
  CreateDirectory "$SMPROGRAMS\Orvalle"
  CreateShortcut "$SMPROGRAMS\Orvalle\Orvalle.lnk" "$INSTDIR\Orvalle.exe"
  CreateShortcut "$SMPROGRAMS\Orvalle\Uninstall Orvalle.lnk" "$INSTDIR\Uninstall.exe"
  WriteRegStr HKLM "Software\Tarnvista\Orvalle" "InstallDir" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Orvalle"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Tarnvista"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Function un.onInit
  SetRegView 64
FunctionEnd

; Only what the installer put there: the programs' folder as installed (a
; report a user saved into it stays, and so does the folder then).
Section "Uninstall"
  SetShellVarContext all
  Delete "$SMPROGRAMS\Orvalle\Orvalle.lnk"
  Delete "$SMPROGRAMS\Orvalle\Uninstall Orvalle.lnk"
  RMDir "$SMPROGRAMS\Orvalle"
  !include "${FILELIST}"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  DeleteRegKey HKLM "Software\Tarnvista\Orvalle"
SectionEnd
