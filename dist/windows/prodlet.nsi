; The Windows installer of Prodlet, built by scripts/package-windows.sh:
;
;   makensis -DSTAGE=<folder> -DOUTFILE=<setup.exe> [-DVERSION=1.9] [-DICON=<.ico>] prodlet.nsi
;
; STAGE holds what is installed, as the portable zip holds it: prodlet.exe,
; manual\index.html and LICENSE.txt. The program finds its manual in
; manual\index.html beside itself (Help Topics).
;
; A 64-bit installer: the 32-bit stub cannot run on a 64-bit-only Windows
; layer such as Wine without its 32-bit half (it exits 0 and does nothing).
Target amd64-unicode
ManifestDPIAware true
RequestExecutionLevel admin
SetCompressor /SOLID lzma

!ifndef VERSION
  !define VERSION 1.9
!endif
!ifndef STAGE
  !error "STAGE (the folder with prodlet.exe, manual\index.html and LICENSE.txt) must be defined"
!endif
!ifndef OUTFILE
  !define OUTFILE "prodlet-${VERSION}-setup.exe"
!endif

!define PRODUCT "Prodlet"
!define PUBLISHER "Quorvane Software"
!define EXE "prodlet.exe"
; The main frame's window class: WM_CLOSE to it ends Prodlet in order, as
; its Exit command does (icon removed, settings kept, status 0).
!define FRAME_CLASS "ProdletFrame"
!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Prodlet"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
; How long a running copy may take to end before we give up on it (ms).
!define CLOSE_WAIT 20000

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include Sections.nsh
!include WinMessages.nsh

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${PRODUCT}"
; An upgrade goes where the first install went.
InstallDirRegKey HKLM "${UNINST_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${VERSION}"

VIProductVersion "${VERSION}.0.0"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "CompanyName" "${PUBLISHER}"
VIAddVersionKey "FileDescription" "${PRODUCT} ${VERSION} Setup"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "Copyright (c) 2026 ${PUBLISHER}, MIT licence"

!ifdef ICON
  !define MUI_ICON "${ICON}"
  !define MUI_UNICON "${ICON}"
!endif
!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_NODESC
; Nothing to agree to (MIT), so no licence page: the components (start at
; login), the folder, the copy, and an offer to start it now.
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\${EXE}"
!define MUI_FINISHPAGE_RUN_TEXT "Start ${PRODUCT} now"
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

; CloseRunningProdlet: asks a running copy to end as Exit would, and waits
; until its process has gone, so that its files can be replaced or removed.
; A copy that does not end is reported (Retry/Cancel; a silent run cancels).
!macro CLOSE_RUNNING_PRODLET un
Function ${un}CloseRunningProdlet
  Push $0
  Push $1
  Push $2
  retry:
  FindWindow $0 "${FRAME_CLASS}" ""
  ${DoWhile} $0 <> 0
    DetailPrint "Closing the running ${PRODUCT}..."
    StrCpy $1 0
    System::Call 'user32::GetWindowThreadProcessId(p r0, *i .r1) i'
    ; SYNCHRONIZE: enough to wait for the process to end.
    System::Call 'kernel32::OpenProcess(i 0x00100000, i 0, i r1) p .r2'
    SendMessage $0 ${WM_CLOSE} 0 0 /TIMEOUT=${CLOSE_WAIT}
    ${If} $2 P<> 0
      System::Call 'kernel32::WaitForSingleObject(p r2, i ${CLOSE_WAIT}) i .r1'
      System::Call 'kernel32::CloseHandle(p r2)'
      ${If} $1 <> 0
        MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "${PRODUCT} is still running. Please end it (tray icon, Exit), then choose Retry." /SD IDCANCEL IDRETRY retry
        Abort "${PRODUCT} is still running."
      ${EndIf}
    ${Else}
      ; No handle to wait on: wait for the window instead.
      StrCpy $1 0
      ${Do}
        System::Call 'user32::IsWindow(p r0) i .r2'
        ${IfThen} $2 = 0 ${|} ${ExitDo} ${|}
        ${If} $1 >= ${CLOSE_WAIT}
          MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "${PRODUCT} is still running. Please end it (tray icon, Exit), then choose Retry." /SD IDCANCEL IDRETRY retry
          Abort "${PRODUCT} is still running."
        ${EndIf}
        Sleep 200
        IntOp $1 $1 + 200
      ${Loop}
    ${EndIf}
    FindWindow $0 "${FRAME_CLASS}" ""
  ${Loop}
  Pop $2
  Pop $1
  Pop $0
FunctionEnd
!macroend
!insertmacro CLOSE_RUNNING_PRODLET ""
!insertmacro CLOSE_RUNNING_PRODLET "un."

Section "${PRODUCT}" SecProgram
  SectionIn RO
  SetShellVarContext all
  Call CloseRunningProdlet

  SetOutPath "$INSTDIR"
  SetOverwrite on
  File "${STAGE}\${EXE}"
  File "${STAGE}\LICENSE.txt"
  SetOutPath "$INSTDIR\manual"
  File "${STAGE}\manual\index.html"
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\${EXE}" "" "$INSTDIR\${EXE}" 0 \
    SW_SHOWNORMAL "" "Keeps an idle Internet link alive"

  ; Start at login is its own section; this one only clears an older choice.
  DeleteRegValue HKCU "${RUN_KEY}" "${PRODUCT}"

  WriteRegStr HKLM "${UNINST_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINST_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayIcon" "$INSTDIR\${EXE},0"
  WriteRegStr HKLM "${UNINST_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINST_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINST_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  IntFmt $0 "0x%08X" $0
  WriteRegDWORD HKLM "${UNINST_KEY}" "EstimatedSize" "$0"
SectionEnd

; A value under the installing user's Run key, not a Startup-folder shortcut:
; it is one value that the uninstaller removes exactly, Windows lists it
; (and lets it be switched off) among the startup apps, and it cannot be
; left behind in a profile folder that the uninstaller never sees.
Section "Start ${PRODUCT} when I log in" SecLogin
  WriteRegStr HKCU "${RUN_KEY}" "${PRODUCT}" '"$INSTDIR\${EXE}"'
SectionEnd

Function .onInit
  SetRegView 64
  ; An upgrade keeps the earlier choice about starting at login: without the
  ; Run value the component starts unticked (and stays off in a silent run).
  ReadRegStr $0 HKLM "${UNINST_KEY}" "UninstallString"
  ${If} $0 != ""
    ClearErrors
    ReadRegStr $0 HKCU "${RUN_KEY}" "${PRODUCT}"
    ${If} ${Errors}
      !insertmacro UnselectSection ${SecLogin}
    ${EndIf}
  ${EndIf}
FunctionEnd

Function un.onInit
  SetRegView 64
FunctionEnd

Section "Uninstall"
  SetShellVarContext all
  Call un.CloseRunningProdlet

  Delete "$INSTDIR\${EXE}"
  Delete "$INSTDIR\LICENSE.txt"
  Delete "$INSTDIR\manual\index.html"
  RMDir "$INSTDIR\manual"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"

  Delete "$SMPROGRAMS\${PRODUCT}.lnk"
  DeleteRegValue HKCU "${RUN_KEY}" "${PRODUCT}"
  DeleteRegKey HKLM "${UNINST_KEY}"
  ; The settings (Software\Quorvane Software\Prodlet under HKLM or HKCU)
  ; stay, as they do on Linux: a reinstall finds them again.
SectionEnd
