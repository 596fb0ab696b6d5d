; The Windows installer: three components, the VST 2.4 plug-ins into the VST2 folder (changeable),
; the CLAP plug-ins into Common Files\CLAP\Gravelix and the VST3 bundles (folders) into
; Common Files\VST3; gravelix-host.exe with the licence and
; release notes into Program Files\Gravelix, a Start-menu entry for the standalone pedal and an
; uninstaller Windows lists. Built by scripts/package-windows.sh with
;   makensis -DVERSION=1.2.3 -DSTAGE=folder -DOUTFILE=setup.exe gravelix.nsi
; where STAGE holds the files and plugins.nsh, which lists each format's plug-ins as
;   !insertmacro ${_action} "NAME"   inside   !macro GravelixVst2 _action ... !macroend
; and likewise GravelixClap and GravelixVst3.
; Command line: /S silent, /D=FOLDER the program folder (last, unquoted), /VSTDIR=FOLDER the
; VST 2.4 folder, /NOVST2, /NOCLAP and /NOVST3 leave that component out.

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin
ManifestDPIAware true

!include MUI2.nsh
!include FileFunc.nsh
!include LogicLib.nsh
!include Sections.nsh
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
Var ClapDir
Var Vst3Dir

!define MUI_ABORTWARNING
!insertmacro MUI_PAGE_LICENSE "${STAGE}\LICENSE.txt"
!define MUI_COMPONENTSPAGE_SMALLDESC
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE ComponentsLeave
!insertmacro MUI_PAGE_COMPONENTS
!define MUI_PAGE_CUSTOMFUNCTION_PRE VstDirPre
!define MUI_PAGE_HEADER_TEXT "VST 2.4 plug-in folder"
!define MUI_PAGE_HEADER_SUBTEXT "Where your host looks for VST 2.4 plug-ins."
!define MUI_DIRECTORYPAGE_TEXT_TOP "The VST 2.4 plug-ins go into this folder. Most hosts scan \
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
!macro RemoveVst2 name
  Delete "$VstDir\${name}"
!macroend
!macro RemoveClap name
  Delete "$ClapDir\${name}"
!macroend
!macro InstallBundle name
  File /r "${STAGE}\${name}"
!macroend
!macro RemoveVst3 name
  RMDir /r "$Vst3Dir\${name}"
!macroend

Section "-Upgrade"
  SetRegView 64
  ; Over an older version: its own uninstaller takes away what it put there (also plug-ins this
  ; version no longer has, a component now left out, or a plug-in folder since changed);
  ; settings stay.
  ReadRegStr $0 HKLM "${REGKEY}" "InstallDir"
  ${If} $0 != ""
  ${AndIf} ${FileExists} "$0\uninstall.exe"
    ExecWait '"$0\uninstall.exe" /S _?=$0'
    Delete "$0\uninstall.exe"
  ${EndIf}
SectionEnd

Section "VST 2.4 plug-ins" SecVst2
  SetOutPath "$VstDir"
  !insertmacro GravelixVst2 InstallPlugin
SectionEnd

; CLAP hosts search Common Files\CLAP and its subfolders, so ours can keep a folder of its own.
Section "CLAP plug-ins" SecClap
  SetOutPath "$ClapDir"
  !insertmacro GravelixClap InstallPlugin
SectionEnd

; VST3 hosts search Common Files\VST3 for bundles, which are folders.
Section "VST3 plug-ins" SecVst3
  SetOutPath "$Vst3Dir"
  !insertmacro GravelixVst3 InstallBundle
SectionEnd

Section "-Gravelix"
  SetRegView 64
  SetShellVarContext all
  SetOutPath "$INSTDIR"
  File "${STAGE}\gravelix-host.exe"
  File "${STAGE}\LICENSE.txt"
  File "${STAGE}\CHANGES.txt"
  File "${STAGE}\README.txt"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  ; The standalone pedal plays the VST 2.4 plug-in when there is one, else the CLAP one (which
  ; gravelix-host plays; VST3 alone leaves the Start-menu entry out).
  StrCpy $0 ""
  ${If} ${SectionIsSelected} ${SecVst2}
    StrCpy $0 "$VstDir\GRAVELIX.dll"
  ${ElseIf} ${SectionIsSelected} ${SecClap}
    StrCpy $0 "$ClapDir\Gravelix.clap"
  ${EndIf}
  ${If} $0 != ""
    CreateDirectory "$SMPROGRAMS\Gravelix"
    CreateShortcut "$SMPROGRAMS\Gravelix\${PEDAL}" "$INSTDIR\gravelix-host.exe" \
      'play "$0"' "$INSTDIR\gravelix-host.exe" 0 SW_SHOWNORMAL "" \
      "Gravelix as a standalone pedal"
  ${EndIf}

  WriteRegStr HKLM "${REGKEY}" "InstallDir" "$INSTDIR"
  ; A folder is recorded only when its component went in: the uninstaller empties exactly those.
  ${If} ${SectionIsSelected} ${SecVst2}
    WriteRegStr HKLM "${REGKEY}" "VstDir" "$VstDir"
  ${EndIf}
  ${If} ${SectionIsSelected} ${SecClap}
    WriteRegStr HKLM "${REGKEY}" "ClapDir" "$ClapDir"
  ${EndIf}
  ${If} ${SectionIsSelected} ${SecVst3}
    WriteRegStr HKLM "${REGKEY}" "Vst3Dir" "$Vst3Dir"
  ${EndIf}
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

!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
  !insertmacro MUI_DESCRIPTION_TEXT ${SecVst2} "Gravelix and Gravelix HQ for hosts that load \
    VST 2.4 plug-ins, into a folder you pick next."
  !insertmacro MUI_DESCRIPTION_TEXT ${SecClap} "Gravelix and Gravelix HQ for hosts that load \
    CLAP plug-ins, into $\"Common Files\CLAP\Gravelix$\", where they look."
  !insertmacro MUI_DESCRIPTION_TEXT ${SecVst3} "Gravelix and Gravelix HQ for hosts that load \
    VST3 plug-ins, into $\"Common Files\VST3$\", where they look."
!insertmacro MUI_FUNCTION_DESCRIPTION_END

Function .onInit
  SetRegView 64
  ; An earlier install's VST 2.4 folder, else the shared one; /VSTDIR= beats both.
  ReadRegStr $VstDir HKLM "${REGKEY}" "VstDir"
  ${If} $VstDir == ""
    StrCpy $VstDir "$COMMONFILES64\VST2\Gravelix"
  ${EndIf}
  StrCpy $ClapDir "$COMMONFILES64\CLAP\Gravelix"
  StrCpy $Vst3Dir "$COMMONFILES64\VST3"
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/VSTDIR=" $1
  ${IfNot} ${Errors}
  ${AndIf} $1 != ""
    StrCpy $VstDir $1
  ${EndIf}
  ClearErrors
  ${GetOptions} $0 "/NOVST2" $1
  ${IfNot} ${Errors}
    !insertmacro UnselectSection ${SecVst2}
  ${EndIf}
  ClearErrors
  ${GetOptions} $0 "/NOCLAP" $1
  ${IfNot} ${Errors}
    !insertmacro UnselectSection ${SecClap}
  ${EndIf}
  ClearErrors
  ${GetOptions} $0 "/NOVST3" $1
  ${IfNot} ${Errors}
    !insertmacro UnselectSection ${SecVst3}
  ${EndIf}
  ; Nothing to play and nothing for a host: refuse rather than install the host alone.
  ${If} ${Silent}
  ${AndIfNot} ${SectionIsSelected} ${SecVst2}
  ${AndIfNot} ${SectionIsSelected} ${SecClap}
  ${AndIfNot} ${SectionIsSelected} ${SecVst3}
    SetErrorLevel 2
    Quit
  ${EndIf}
FunctionEnd

Function ComponentsLeave
  ${IfNot} ${SectionIsSelected} ${SecVst2}
  ${AndIfNot} ${SectionIsSelected} ${SecClap}
  ${AndIfNot} ${SectionIsSelected} ${SecVst3}
    MessageBox MB_ICONEXCLAMATION "Choose at least one of the plug-in formats."
    Abort
  ${EndIf}
FunctionEnd

Function VstDirPre
  ${IfNot} ${SectionIsSelected} ${SecVst2}
    Abort
  ${EndIf}
FunctionEnd

Function un.onInit
  SetRegView 64
  ReadRegStr $VstDir HKLM "${REGKEY}" "VstDir"
  ReadRegStr $ClapDir HKLM "${REGKEY}" "ClapDir"
  ReadRegStr $Vst3Dir HKLM "${REGKEY}" "Vst3Dir"
FunctionEnd

; Only what the installer put there: %APPDATA%\Gravelix (the player's settings) stays, and a
; folder is removed only once it is empty.
Section "Uninstall"
  SetRegView 64
  SetShellVarContext all
  ${If} $VstDir != ""
    !insertmacro GravelixVst2 RemoveVst2
    RMDir "$VstDir"
  ${EndIf}
  ${If} $ClapDir != ""
    !insertmacro GravelixClap RemoveClap
    RMDir "$ClapDir"
  ${EndIf}
  ; The shared VST3 folder itself stays: other plug-ins live there.
  ${If} $Vst3Dir != ""
    !insertmacro GravelixVst3 RemoveVst3
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
