; The Windows setup of KVE: the program, the Qt libraries and plugins it loads, Qt's Russian
; texts, the manual, a Start-menu entry and an uninstaller. Made by scripts/windows/package,
; which lays the files out in STAGE and passes VERSION.
Unicode true
!include "MUI2.nsh"

Name "KVE ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Dorvatek\KVE"
InstallDirRegKey HKLM "Software\Dorvatek\KVE\Setup" "InstallDir"
RequestExecutionLevel admin
SetCompressor /SOLID lzma

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\KVE"

!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Russian"

Section "KVE"
  SetRegView 64
  SetOutPath "$INSTDIR"
  File /r "${STAGE}\*.*"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateDirectory "$SMPROGRAMS\KVE"
  CreateShortcut "$SMPROGRAMS\KVE\KVE.lnk" "$INSTDIR\kve.exe"
  CreateShortcut "$SMPROGRAMS\KVE\Руководство.lnk" "$INSTDIR\kve.html"
  CreateShortcut "$SMPROGRAMS\KVE\Удалить KVE.lnk" "$INSTDIR\uninstall.exe"
  WriteRegStr HKLM "Software\Dorvatek\KVE\Setup" "InstallDir" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "KVE"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Dorvatek"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\kve.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
SectionEnd

Section "Uninstall"
  SetRegView 64
  ; The operator's tables and settings are not the program's: they stay.
  RMDir /r "$SMPROGRAMS\KVE"
  RMDir /r "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  DeleteRegKey HKLM "Software\Dorvatek\KVE\Setup"
SectionEnd
