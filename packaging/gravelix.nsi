; The Windows installer: the plug-ins into the VST2 folder (changeable), gravelix-host.exe with
; the licence and release notes into Program Files\Gravelix, a Start-menu entry for the
; standalone pedal and an uninstaller Windows lists. Built by scripts/package-windows.sh with
;   makensis -DVERSION=1.2.3 -DSTAGE=folder -DOUTFILE=setup.exe gravelix.nsi
; where STAGE holds the files and plugins.nsh, which lists the plug-ins as
;   !insertmacro ${_action} "NAME.dll"   inside   !macro GravelixPlugins _action ... !macroend
; Command line: /S silent, /D=FOLDER the program folder (last, unquoted), /VSTDIR=FOLDER the
; plug-in folder.

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin
ManifestDPIAware true

!include MUI2.nsh
!include FileFunc.nsh
!include LogicLib.nsh
!include "${STAGE}\plugins.nsh"

!define PRODUCT "Gravelix"
!define PUBLISHER "Keldwyn"
!define REGKEY "Software\Keldwyn\Gravelix"
!define UNINSTKEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Gravelix"
!define PEDAL "Gravelix pedal.lnk"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Gravelix"
InstallDirRegKey HKLM "${REGKEY}" "InstallDir"
VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "CompanyName" "${PUBLISHER}"
VIAddVersionKey "FileDescription" "${PRODUCT} ${VERSION} setup"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "GNU General Public License, version 3 or later"

Var VstDir

!define MUI_ABORTWARNING
!insertmacro MUI_PAGE_LICENSE "${STAGE}\LICENSE.txt"
!define MUI_PAGE_HEADER_TEXT "Plug-in folder"
!define MUI_PAGE_HEADER_SUBTEXT "Where your host looks for VST 2.4 plug-ins."
!define MUI_DIRECTORYPAGE_TEXT_TOP "The plug-in goes into this folder. Most hosts scan \
  $\"C:\Program Files\Common Files\VST2$\"; pick another folder if your host looks elsewhere."
!define MUI_DIRECTORYPAGE_VARIABLE $VstDir
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

!macro InstallPlugin name
  File "${STAGE}\${name}"
!macroend
!macro RemovePlugin name
  Delete "$VstDir\${name}"
!macroend

Function .onInit
  SetRegView 64
  ; An earlier install's plug-in folder, else the shared one; /VSTDIR= beats both.
  ReadRegStr $VstDir HKLM "${REGKEY}" "VstDir"
  ${If} $VstDir == ""
    StrCpy $VstDir "$COMMONFILES64\VST2\Gravelix"
  ${EndIf}
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/VSTDIR=" $1
  ${IfNot} ${Errors}
  ${AndIf} $1 != ""
    StrCpy $VstDir $1
  ${EndIf}
FunctionEnd

Section "Gravelix"
  SetRegView 64
  SetShellVarContext all
  ; Over an older version: its own uninstaller takes away what it put there (also plug-ins this
  ; version no longer has, or a plug-in folder since changed); settings stay.
  ReadRegStr $0 HKLM "${REGKEY}" "InstallDir"
  ${If} $0 != ""
  ${AndIf} ${FileExists} "$0\uninstall.exe"
    ExecWait '"$0\uninstall.exe" /S _?=$0'
    Delete "$0\uninstall.exe"
  ${EndIf}

  SetOutPath "$VstDir"
  !insertmacro GravelixPlugins InstallPlugin
  SetOutPath "$INSTDIR"
  File "${STAGE}\gravelix-host.exe"
  File "${STAGE}\LICENSE.txt"
  File "${STAGE}\CHANGES.txt"
  File "${STAGE}\README.txt"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  CreateDirectory "$SMPROGRAMS\Gravelix"
  CreateShortcut "$SMPROGRAMS\Gravelix\${PEDAL}" "$INSTDIR\gravelix-host.exe" \
    'play "$VstDir\GRAVELIX.dll"' "$INSTDIR\gravelix-host.exe" 0 SW_SHOWNORMAL "" \
    "Gravelix as a standalone pedal"

  WriteRegStr HKLM "${REGKEY}" "InstallDir" "$INSTDIR"
  WriteRegStr HKLM "${REGKEY}" "VstDir" "$VstDir"
  WriteRegStr HKLM "${REGKEY}" "Version" "${VERSION}"
  WriteRegStr HKLM "${UNINSTKEY}" "DisplayName" "${PRODUCT} ${VERSION}"
  WriteRegStr HKLM "${UNINSTKEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTKEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTKEY}" "DisplayIcon" "$INSTDIR\gravelix-host.exe"
  WriteRegStr HKLM "${UNINSTKEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTKEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTKEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTKEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTKEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  IntFmt $0 "0x%08X" $0
  WriteRegDWORD HKLM "${UNINSTKEY}" "EstimatedSize" "$0"
SectionEnd

Function un.onInit
  SetRegView 64
  ReadRegStr $VstDir HKLM "${REGKEY}" "VstDir"
FunctionEnd

; Only what the installer put there: %APPDATA%\Gravelix (the player's settings) stays, and a
; folder is removed only once it is empty.
Section "Uninstall"
  SetRegView 64
  SetShellVarContext all
  ${If} $VstDir != ""
    !insertmacro GravelixPlugins RemovePlugin
    RMDir "$VstDir"
  ${EndIf}
  Delete "$INSTDIR\gravelix-host.exe"
  Delete "$INSTDIR\LICENSE.txt"
  Delete "$INSTDIR\CHANGES.txt"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\Gravelix\${PEDAL}"
  RMDir "$SMPROGRAMS\Gravelix"
  DeleteRegKey HKLM "${UNINSTKEY}"
  DeleteRegKey HKLM "${REGKEY}"
  DeleteRegKey /ifempty HKLM "Software\Keldwyn"
SectionEnd
