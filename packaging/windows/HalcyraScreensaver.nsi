; The Windows installer of the screensaver module: puts HalcyraScreensaver.scr where the display
; settings list screensavers, offers to make it the current one, and registers an uninstaller in the
; installed programs. Built by makensis with the defines below (cmake/WindowsInstaller.cmake passes them).
;   VERSION       the product's version, as shown in the installed programs ("1.0")
;   FILE_VERSION  the same with four numbers, for the installer's file properties ("1.0.0.0")
;   MODULE        the cross-built HalcyraScreensaver.scr
;   LICENSE_FILE  the licence, installed beside the uninstaller
;   CREDITS_FILE  the credits of the location table's sources, installed beside it
;   NOTICES_FILE  the notices of the libraries linked into the module, installed beside it
;   MAKER_HOST    the maker's web host, the entry's "about" link
;   OUTFILE       the installer to write
!macro RequireDefine NAME
  !ifndef ${NAME}
    !error "makensis needs -D${NAME}=..."
  !endif
!macroend
!insertmacro RequireDefine VERSION
!insertmacro RequireDefine FILE_VERSION
!insertmacro RequireDefine MODULE
!insertmacro RequireDefine LICENSE_FILE
!insertmacro RequireDefine CREDITS_FILE
!insertmacro RequireDefine NOTICES_FILE
!insertmacro RequireDefine MAKER_HOST
!insertmacro RequireDefine OUTFILE

; The module is 64-bit, so the installer is too: a 64-bit process sees the real System32 (where the
; display settings look) and the registry's 64-bit view without any redirection to undo.
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin
ManifestSupportedOS all
ManifestDPIAware true

!include MUI2.nsh
!include LogicLib.nsh

!define PRODUCT "Halcyra Screensaver"
!define MAKER "Tessaly Software"
!define MODULE_NAME "HalcyraScreensaver.scr"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\HalcyraScreensaver"
!define DESKTOP_KEY "Control Panel\Desktop"
; SystemParametersInfo: SPI_SETSCREENSAVEACTIVE, written to the user's profile and announced to all windows.
!define SPI_SETSCREENSAVEACTIVE 17
!define SPIF_UPDATEINIFILE_SENDCHANGE 3

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${PRODUCT}"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${MAKER}"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${FILE_VERSION}"
VIFileVersion "${FILE_VERSION}"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "CompanyName" "${MAKER}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} Setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Copyright (c) the Halcyra Screensaver authors, MIT License"

!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_SMALLDESC
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_INSTFILES
; Not shown by a silent install: an administrator's /S run opens no window.
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_NOTCHECKED
!define MUI_FINISHPAGE_RUN_TEXT "Open the screen saver settings"
!define MUI_FINISHPAGE_RUN_FUNCTION OpenScreenSaverSettings
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

; The uninstall entry lives in the machine's registry and the module in the system folder: both need
; an administrator. Exit code 740 is Windows' "the requested operation requires elevation".
!macro RequireAdministrator
  UserInfo::GetAccountType
  Pop $0
  ${If} $0 != "Admin"
    MessageBox MB_OK|MB_ICONSTOP "${PRODUCT} can only be installed or removed by an administrator." /SD IDOK
    SetErrorLevel 740
    Quit
  ${EndIf}
!macroend

Function .onInit
  !insertmacro RequireAdministrator
FunctionEnd

Function un.onInit
  !insertmacro RequireAdministrator
FunctionEnd

Section "${PRODUCT}" SectionModule
  SectionIn RO
  SetOutPath "$INSTDIR"
  File "/oname=LICENSE.txt" "${LICENSE_FILE}"
  File "/oname=LOCATIONS-CREDITS.txt" "${CREDITS_FILE}"
  File "/oname=THIRD-PARTY-NOTICES.txt" "${NOTICES_FILE}"
  WriteUninstaller "$INSTDIR\Uninstall.exe"
  File "/oname=$SYSDIR\${MODULE_NAME}" "${MODULE}"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${MAKER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "URLInfoAbout" "https://${MAKER_HOST}/"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Uninstall.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ; In KiB, the unit "Apps" shows it in: what the sections put on the disk.
  SectionGetSize ${SectionModule} $0
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Section "Make it the current screensaver" SectionCurrent
  WriteRegStr HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE" "$SYSDIR\${MODULE_NAME}"
  System::Call 'user32::SystemParametersInfoW(i ${SPI_SETSCREENSAVEACTIVE}, i 1, p 0, i ${SPIF_UPDATEINIFILE_SENDCHANGE})'
SectionEnd

!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
  !insertmacro MUI_DESCRIPTION_TEXT ${SectionModule} "The screensaver, in the system folder where the display settings list it."
  !insertmacro MUI_DESCRIPTION_TEXT ${SectionCurrent} "Choose ${PRODUCT} as your screensaver now."
!insertmacro MUI_FUNCTION_DESCRIPTION_END

Function OpenScreenSaverSettings
  Exec '"$SYSDIR\control.exe" desk.cpl,,@screensaver'
FunctionEnd

Section "Uninstall"
  ; The user's choice is cleared only when it is this screensaver, by its long or its short path; the
  ; user's own settings key (SOFTWARE\Tessaly Software\Halcyra Screensaver) is theirs and stays.
  ReadRegStr $0 HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
  GetFullPathName /SHORT $1 "$SYSDIR\${MODULE_NAME}"
  ${If} $0 != ""
    ${If} $0 == "$SYSDIR\${MODULE_NAME}"
    ${OrIf} $0 == $1
      DeleteRegValue HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
      System::Call 'user32::SystemParametersInfoW(i ${SPI_SETSCREENSAVEACTIVE}, i 0, p 0, i ${SPIF_UPDATEINIFILE_SENDCHANGE})'
    ${EndIf}
  ${EndIf}

  ; A module in use (a preview in the display settings, a running screensaver) goes at the next start.
  Delete /REBOOTOK "$SYSDIR\${MODULE_NAME}"
  ${If} ${RebootFlag}
    MessageBox MB_OK|MB_ICONINFORMATION "${PRODUCT} is in use: Windows removes it when it next starts." /SD IDOK
  ${EndIf}
  Delete "$INSTDIR\LICENSE.txt"
  Delete "$INSTDIR\LOCATIONS-CREDITS.txt"
  Delete "$INSTDIR\THIRD-PARTY-NOTICES.txt"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
