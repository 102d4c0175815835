; The setup program of the Tarn camera filters, vidtap-<version>-setup.exe. scripts/dist.sh builds it from the
; release package's stage:
;   makensis -DVERSION=x.y.z -DSTAGE=<stage> -DFILES=<files.nsh> -DOUTFILE=<setup.exe> setup.nsi
; where files.nsh (written by dist.sh) holds the macros that install and remove the stage's files, so that the
; uninstaller removes exactly what the installer put down.
;
; Per machine. On a 64-bit Windows: the x64 modules and tools in the 64-bit Program Files folder (the install
; folder, with the headers, the reader libraries and their CMake package, the README and the uninstaller), the
; x86 modules and tools in the 32-bit Program Files folder, each module registered by the regsvr32 of its own
; bitness; on a 32-bit Windows the x86 ones alone, in the install folder. A Start-menu shortcut to camview and an
; entry in the installed-programs list. Installing over an installed copy (an older version or the same one)
; unregisters the installed modules first, then replaces and registers them. The uninstaller unregisters both
; bitnesses and removes every file, folder, shortcut and key the installer made.
; `/S` installs and uninstalls silently; a failure then ends the program with exit code 2.
Unicode true
SetCompressor /SOLID lzma
; No file times in the setup program: two builds of the same files give the same bytes.
SetDateSave off
RequestExecutionLevel admin
ManifestSupportedOS all

!include LogicLib.nsh
!include x64.nsh
!include "${FILES}"

!define PRODUCT "Tarn camera filters"
!define PUBLISHER "Tarn"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\TarnCameraFilters"
!define SHORTCUT "$SMPROGRAMS\camview (Tarn camera filters).lnk"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION}.0"
VIFileVersion "${VERSION}.0"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "FileDescription" "Installs the Tarn camera filters (vidtap and nullsinker) and their tools"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "InternalName" "vidtap-setup"
VIAddVersionKey /LANG=1033 "OriginalFilename" "vidtap-${VERSION}-setup.exe"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Copyright (c) 2026 the Tarn camera filters authors. MIT License."

; The folder of the x86 modules and tools: the 32-bit Program Files one on a 64-bit Windows, else $INSTDIR.
Var X86DIR
; Modules whose regsvr32 failed, during one pass over them.
Var FAILED

; An installed copy is upgraded or repaired in its own folder: no folder to choose then.
Page directory SkipWhenInstalled
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

; The modules' (un)registration, for the installer and the uninstaller. $1: "/s" or "/s /u".
!macro MODULES UN
; $0 regsvr32, $2 module: runs it when the module is there, counting a failure in $FAILED.
Function ${UN}Regsvr32
  IfFileExists "$2" 0 done
  ; The 64-bit System32 is the 64-bit regsvr32 only with the file system redirection of this 32-bit
  ; program switched off; the 32-bit one is SysWOW64's.
  ${DisableX64FSRedirection}
  ClearErrors
  ExecWait '"$0" $1 "$2"' $3
  ${If} ${Errors}
    StrCpy $3 "(not started)"
  ${EndIf}
  ${EnableX64FSRedirection}
  ${If} $3 == 0
    DetailPrint "regsvr32 $1 $2: done"
  ${Else}
    DetailPrint "regsvr32 $1 $2: FAILED with exit code $3"
    IntOp $FAILED $FAILED + 1
  ${EndIf}
  done:
FunctionEnd

Function ${UN}Modules
  StrCpy $FAILED 0
  ${If} ${RunningX64}
    StrCpy $0 "$WINDIR\System32\regsvr32.exe"
    StrCpy $2 "$INSTDIR\vidtap.dll"
    Call ${UN}Regsvr32
    StrCpy $2 "$INSTDIR\nullsinker.dll"
    Call ${UN}Regsvr32
    StrCpy $0 "$WINDIR\SysWOW64\regsvr32.exe"
  ${Else}
    StrCpy $0 "$WINDIR\System32\regsvr32.exe"
  ${EndIf}
  StrCpy $2 "$X86DIR\vidtap.dll"
  Call ${UN}Regsvr32
  StrCpy $2 "$X86DIR\nullsinker.dll"
  Call ${UN}Regsvr32
FunctionEnd
!macroend
!insertmacro MODULES ""
!insertmacro MODULES "un."

Function .onInit
  SetShellVarContext all
  ${If} ${RunningX64}
    SetRegView 64
  ${EndIf}
  ; An installed copy is upgraded or repaired where it is; otherwise /D= or the Program Files folder.
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 != ""
    StrCpy $INSTDIR $0
  ${ElseIf} $INSTDIR == ""
    ${If} ${RunningX64}
      StrCpy $INSTDIR "$PROGRAMFILES64\${PRODUCT}"
    ${Else}
      StrCpy $INSTDIR "$PROGRAMFILES32\${PRODUCT}"
    ${EndIf}
  ${EndIf}
FunctionEnd

Function SkipWhenInstalled
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 != ""
    Abort
  ${EndIf}
FunctionEnd

Section
  ${If} ${RunningX64}
    StrCpy $X86DIR "$PROGRAMFILES32\${PRODUCT}"
  ${Else}
    StrCpy $X86DIR $INSTDIR
  ${EndIf}
  ReadRegStr $R0 HKLM "${UNINSTALL_KEY}" "DisplayVersion"
  ${If} $R0 != ""
    DetailPrint "Replacing the installed version $R0: unregistering its modules"
    StrCpy $1 "/s /u"
    Call Modules
  ${EndIf}

  SetOutPath "$X86DIR"
  !insertmacro BINARIES_INSTALL x86
  ${If} ${RunningX64}
    SetOutPath "$INSTDIR"
    !insertmacro BINARIES_INSTALL x64
  ${EndIf}
  !insertmacro SHARED_INSTALL
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortcut "${SHORTCUT}" "$INSTDIR\camview.exe"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT} ${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\camview.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocationX86" "$X86DIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ; Kilobytes on disk of what this Windows gets (files.nsh: both bitnesses, or the x86 part alone).
  ${If} ${RunningX64}
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" ${SIZE_KB_X64}
  ${Else}
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" ${SIZE_KB_X86}
  ${EndIf}

  StrCpy $1 "/s"
  Call Modules
  ${If} $FAILED != 0
    SetErrorLevel 2
    MessageBox MB_ICONSTOP "$FAILED of the modules could not be registered (see the details). Run the setup as administrator." /SD IDOK
    Abort
  ${EndIf}
SectionEnd

Function un.onInit
  SetShellVarContext all
  ${If} ${RunningX64}
    SetRegView 64
  ${EndIf}
  ReadRegStr $X86DIR HKLM "${UNINSTALL_KEY}" "InstallLocationX86"
  ${If} $X86DIR == ""
    StrCpy $X86DIR $INSTDIR
  ${EndIf}
FunctionEnd

Section Uninstall
  StrCpy $1 "/s /u"
  Call un.Modules
  ${If} $FAILED != 0
    SetErrorLevel 2
    MessageBox MB_ICONSTOP "$FAILED of the modules could not be unregistered (see the details). Run the uninstaller as administrator." /SD IDOK
    Abort
  ${EndIf}
  !insertmacro BINARIES_REMOVE "$X86DIR"
  ${If} ${RunningX64}
    !insertmacro BINARIES_REMOVE "$INSTDIR"
  ${EndIf}
  !insertmacro SHARED_REMOVE
  Delete "${SHORTCUT}"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  RMDir "$X86DIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
