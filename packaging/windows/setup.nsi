; The Windows setup program: puts the plug-in bundle where every VST3 host
; looks (the 64-bit Common Files folder, VST3\Mirel.vst3), the README, the
; licence, the notices of the libraries the module contains and the
; uninstaller in the program's own folder, and registers the uninstaller
; under the 64-bit Uninstall key. Built by scripts/package:
;
;   makensis -DVERSION=4.1.0 -DSTAGE=<folder> -DOUTFILE=<setup.exe> setup.nsi
;
; STAGE holds Mirel.vst3\ (the bundle), README.txt, LICENSE and
; THIRD-PARTY-NOTICES.txt. The setup program itself is a 64-bit program, so
; it starts only on 64-bit Windows.
; No file times are stored, so the same inputs give the same bytes.

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
SetDateSave off
RequestExecutionLevel admin
ManifestSupportedOS all
ManifestDPIAware true

!ifndef VERSION | STAGE | OUTFILE
  !error "define VERSION, STAGE and OUTFILE"
!endif

!define PRODUCT "Mirel"
!define MAKER "Qentworks"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"
!define BUNDLE "$COMMONFILES64\VST3\${PRODUCT}.vst3"
!define CLAP_DIR "$COMMONFILES64\CLAP"
!define MODULE_DIR "${BUNDLE}\Contents\x86_64-win"

!include LogicLib.nsh
!include WordFunc.nsh
!include MUI2.nsh

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
; Left empty so that .onInit can tell a /D= from the command line apart from
; no choice at all (then the previous install's folder, or the default).
InstallDir ""
BrandingText "${PRODUCT} ${VERSION} - ${MAKER}"

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "CompanyName" "${MAKER}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} ${VERSION} setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "${MAKER}, GPLv3"

!define MUI_ABORTWARNING
!define MUI_DIRECTORYPAGE_TEXT_TOP "The plug-in always goes to the VST3 folder every host scans ($COMMONFILES64\VST3\${PRODUCT}.vst3). Choose where its README, licences and uninstaller go."
; The GPL asks no acceptance for using the program: the page informs.
!define MUI_LICENSEPAGE_TEXT_BOTTOM "${PRODUCT} is free software under the GNU General Public License, version 3. You need not accept it to use ${PRODUCT}; it sets the terms for copying and changing it."
!define MUI_LICENSEPAGE_BUTTON "$(^NextBtn)"
!insertmacro MUI_PAGE_LICENSE "${STAGE}\LICENSE"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Var previousDir

Function .onInit
  SetRegView 64
  ReadRegStr $previousDir HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "DisplayVersion"
  ${If} $0 != ""
    ${VersionCompare} "$0" "${VERSION}" $1
    ${If} $1 == 1
      MessageBox MB_OKCANCEL|MB_ICONEXCLAMATION \
        "${PRODUCT} $0 is installed, which is newer than this version (${VERSION}).$\n$\nReplace it with ${VERSION}?" \
        /SD IDCANCEL IDOK replace
      SetErrorLevel 2
      Quit
      replace:
    ${EndIf}
  ${EndIf}
  ${If} $INSTDIR == ""
    ${If} $previousDir != ""
      StrCpy $INSTDIR $previousDir
    ${Else}
      StrCpy $INSTDIR "$PROGRAMFILES64\${MAKER}\${PRODUCT}"
    ${EndIf}
  ${EndIf}
FunctionEnd

Section "${PRODUCT}" main
  SectionIn RO
  SetOverwrite on

  SetOutPath "${MODULE_DIR}"
  File "${STAGE}\${PRODUCT}.vst3\Contents\x86_64-win\${PRODUCT}.vst3"
  ; The same plug-in for CLAP hosts, where they look.
  SetOutPath "${CLAP_DIR}"
  File "${STAGE}\${PRODUCT}.clap"

  ; An upgrade that moves the program folder leaves nothing behind.
  ${If} $previousDir != ""
  ${AndIf} $previousDir != $INSTDIR
    Delete "$previousDir\README.txt"
    Delete "$previousDir\LICENSE.txt"
    Delete "$previousDir\THIRD-PARTY-NOTICES.txt"
    Delete "$previousDir\uninstall.exe"
    RMDir "$previousDir"
    RMDir "$PROGRAMFILES64\${MAKER}"
  ${EndIf}

  SetOutPath "$INSTDIR"
  File "${STAGE}\README.txt"
  File "/oname=LICENSE.txt" "${STAGE}\LICENSE"
  File "${STAGE}\THIRD-PARTY-NOTICES.txt"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  SectionGetSize ${main} $0
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT} ${VERSION} (VST3)"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${MAKER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Function un.onInit
  SetRegView 64
FunctionEnd

; Removes exactly the files the setup program wrote; the folders go only when
; they are empty, so other plug-ins in the VST3 folder stay as they are.
Section "Uninstall"
  Delete "${MODULE_DIR}\${PRODUCT}.vst3"
  RMDir "${MODULE_DIR}"
  RMDir "${BUNDLE}\Contents"
  RMDir "${BUNDLE}"
  Delete "${CLAP_DIR}\${PRODUCT}.clap"
  RMDir "${CLAP_DIR}"

  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\LICENSE.txt"
  Delete "$INSTDIR\THIRD-PARTY-NOTICES.txt"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  RMDir "$PROGRAMFILES64\${MAKER}"

  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
