; The setup of Tolvar AntiVirus, made by NSIS's makensis when CMake builds
; the target "setup" (installer/CMakeLists.txt gives it these defines):
;   VERSION       the build's version (major.minor.patch)
;   OUTFILE       the setup to write
;   PROGRAM       the built AntiVirus.exe
;   HELPER        the built TolvarScan.exe, behind Explorer's menu
;   SKIN          the folder of the skin pictures (res/skin)
;   DATA_FOLDERS  the built data_folders.exe
;   ICON, TERMS   the program's icon and its terms
;   CLAMAV_DIR    (optional) the folder of ClamAV's Windows package to carry
;
; The setup installs for the whole computer with administrator rights into
; the 64-bit program files folder. It takes "/S" (silent) and "/D=<folder>"
; (where to install; last on the command line, without quotes). An install
; over an earlier one keeps everything the program stores: the setup never
; touches the data folder's content, nor the program's registry key.

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin
ManifestDPIAware true

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include WordFunc.nsh

!define PRODUCT "Tolvar AntiVirus"
!define PUBLISHER "Mirebrook"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tolvar AntiVirus"
; The program's own key, kept in the registry's 32-bit view.
!define SETTINGS_KEY "SOFTWARE\Mirebrook\AntiVirus"
!define SCANNER_DIR "bin\snr\1\9"
; The names a running copy of the program holds (app/single_instance_win.cpp):
; a global one owned by the Administrators, and one in a private namespace
; bounded by the Administrators.
!define RUNNING_NAME "Global\Mirebrook.TolvarAntiVirus.Running"
!define RUNNING_NAMESPACE "Mirebrook.TolvarAntiVirus"
; The task that starts the program in the tray at logon, with the installing
; user's highest rights: an entry under the Run key cannot start a program
; that asks for administrator rights.
!define LOGON_TASK "Tolvar AntiVirus"
; Explorer's "Scan with Tolvar AntiVirus", for files, folders and drives.
!define SCAN_VERB "TolvarAntiVirus.Scan"
!define SCAN_VERB_TEXT "Scan with Tolvar AntiVirus"

; The version is the one in the program's own version resource; the name
; the build gave the setup must say the same.
!getdllversion "${PROGRAM}" PROGRAM_VERSION_
!define PRODUCT_VERSION "${PROGRAM_VERSION_1}.${PROGRAM_VERSION_2}.${PROGRAM_VERSION_3}"
!if "${PRODUCT_VERSION}" != "${VERSION}"
  !error "AntiVirus.exe is version ${PRODUCT_VERSION}, the build names the setup ${VERSION}"
!endif

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${PRODUCT}"
; An upgrade goes where the earlier install is.
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${PRODUCT_VERSION}"
ShowInstDetails show
ShowUninstDetails show

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!insertmacro MUI_PAGE_LICENSE "${TERMS}"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\AntiVirus.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Start ${PRODUCT}"
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

VIProductVersion "${PROGRAM_VERSION_1}.${PROGRAM_VERSION_2}.${PROGRAM_VERSION_3}.${PROGRAM_VERSION_4}"
VIFileVersion "${PROGRAM_VERSION_1}.${PROGRAM_VERSION_2}.${PROGRAM_VERSION_3}.${PROGRAM_VERSION_4}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileDescription" "${PRODUCT} Setup"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileVersion" "${PRODUCT_VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductVersion" "${PRODUCT_VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "LegalCopyright" "Copyright (C) ${PUBLISHER}"

; Setup and uninstaller both start only with administrator rights and while
; the program is not running: a running copy holds its files open and
; rewrites its data from what it holds in memory.
!macro START_CHECKS un
; Sets $0 to 1 while a copy of the program runs, by the program's own rules:
; its global name counts only when the Administrators or SYSTEM own it (any
; program may take that name first), its name in the private namespace
; always (only the Administrators can make that namespace).
Function ${un}ProgramRuns
  StrCpy $0 0
  ; SYNCHRONIZE | READ_CONTROL
  System::Call 'kernel32::OpenMutexW(i 0x00120000, i 0, w "${RUNNING_NAME}") p .r1'
  ${If} $1 != 0
    ; SE_KERNEL_OBJECT, OWNER_SECURITY_INFORMATION
    System::Call 'advapi32::GetSecurityInfo(p r1, i 6, i 1, *p .r2, p 0, p 0, p 0, *p .r3) i .r4'
    ${If} $4 == 0
      ; WinBuiltinAdministratorsSid, WinLocalSystemSid
      System::Call 'advapi32::IsWellKnownSid(p r2, i 26) i .r5'
      System::Call 'advapi32::IsWellKnownSid(p r2, i 22) i .r6'
      ${If} $5 != 0
      ${OrIf} $6 != 0
        StrCpy $0 1
      ${EndIf}
      System::Call 'kernel32::LocalFree(p r3)'
    ${EndIf}
    System::Call 'kernel32::CloseHandle(p r1)'
  ${EndIf}
  ; Systems without private namespaces (Wine) have the global name only.
  System::Call 'kernel32::CreateBoundaryDescriptorW(w "${RUNNING_NAMESPACE}", i 0) p .r1'
  ${If} $1 != 0
  ${AndIf} $1 != "error"
    System::Alloc 68
    Pop $2
    System::Call 'advapi32::CreateWellKnownSid(i 26, p 0, p r2, *i 68) i .r3'
    System::Call 'kernel32::AddSIDToBoundaryDescriptor(*p r1r1, p r2) i .r4'
    ${If} $3 != 0
    ${AndIf} $4 != 0
    ${AndIf} $4 != "error"
      System::Call 'kernel32::OpenPrivateNamespaceW(p r1, w "${RUNNING_NAMESPACE}") p .r5'
      ${If} $5 != 0
      ${AndIf} $5 != "error"
        System::Call 'kernel32::OpenMutexW(i 0x00100000, i 0, w "${RUNNING_NAMESPACE}\Running") p .r6'
        ${If} $6 != 0
          StrCpy $0 1
          System::Call 'kernel32::CloseHandle(p r6)'
        ${EndIf}
        System::Call 'kernel32::ClosePrivateNamespace(p r5, i 0)'
      ${EndIf}
    ${EndIf}
    System::Call 'kernel32::DeleteBoundaryDescriptor(p r1)'
    System::Free $2
  ${EndIf}
FunctionEnd

Function ${un}StartChecks
  SetRegView 64
  UserInfo::GetAccountType
  Pop $0
  ${If} $0 != "Admin"
    MessageBox MB_OK|MB_ICONSTOP "Installing or removing ${PRODUCT} needs administrator rights." /SD IDOK
    SetErrorLevel 740
    Quit
  ${EndIf}
  ${Do}
    Call ${un}ProgramRuns
    ${If} $0 == 0
      ${Break}
    ${EndIf}
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION \
      "${PRODUCT} is running. Close it, then press Retry." /SD IDCANCEL IDRETRY retry
    SetErrorLevel 5
    Quit
    retry:
  ${Loop}
FunctionEnd
!macroend
!insertmacro START_CHECKS ""
!insertmacro START_CHECKS "un."

Function .onInit
  Call StartChecks
FunctionEnd

Function un.onInit
  Call un.StartChecks
FunctionEnd

!ifndef CLAMAV_DIR
; Pushes the folder of an installed ClamAV that holds clamscan.exe: the one
; ClamAV's registry key names, else the one in the program files folder;
; "" when there is none.
Function FindInstalledClamAV
  ReadRegStr $0 HKLM "SOFTWARE\ClamAV" "ConfDir"
  ${If} $0 != ""
  ${AndIf} ${FileExists} "$0\clamscan.exe"
    Push $0
    Return
  ${EndIf}
  ${If} ${FileExists} "$PROGRAMFILES64\ClamAV\clamscan.exe"
    Push "$PROGRAMFILES64\ClamAV"
    Return
  ${EndIf}
  Push ""
FunctionEnd
!endif

; The scanner: what the build carries, or a copy of an installed ClamAV's
; scanner and updater when the user agrees. Files a user put there by hand
; before an upgrade stay when the setup has none of its own.
Function PlaceScanner
  CreateDirectory "$INSTDIR\${SCANNER_DIR}"
!ifdef CLAMAV_DIR
  SetOutPath "$INSTDIR\${SCANNER_DIR}"
  File /r "${CLAMAV_DIR}/*"
!else
  ${If} ${FileExists} "$INSTDIR\${SCANNER_DIR}\clamscan.exe"
    Return
  ${EndIf}
  Call FindInstalledClamAV
  Pop $0
  ${If} $0 == ""
    DetailPrint "ClamAV was not found: ${PRODUCT} tells at its first start where to get it."
    Return
  ${EndIf}
  MessageBox MB_YESNO|MB_ICONQUESTION \
    "ClamAV is installed in $0.$\n$\nCopy its scanner and updater (clamscan.exe, freshclam.exe, \
    their DLLs and certificates) for ${PRODUCT} to use?" /SD IDYES IDYES copy
  Return
  copy:
  ClearErrors
  CopyFiles /SILENT "$0\clamscan.exe" "$INSTDIR\${SCANNER_DIR}"
  CopyFiles /SILENT "$0\freshclam.exe" "$INSTDIR\${SCANNER_DIR}"
  CopyFiles /SILENT "$0\*.dll" "$INSTDIR\${SCANNER_DIR}"
  ${If} ${FileExists} "$0\certs\*.*"
    CopyFiles /SILENT "$0\certs" "$INSTDIR\${SCANNER_DIR}"
  ${EndIf}
  ${If} ${Errors}
    DetailPrint "Not all of ClamAV's files could be copied from $0."
    MessageBox MB_OK|MB_ICONEXCLAMATION "Not all of ClamAV's files could be copied from $0 \
      into $INSTDIR\${SCANNER_DIR}." /SD IDOK
    SetErrorLevel 2
  ${Else}
    DetailPrint "ClamAV's scanner and updater copied from $0."
  ${EndIf}
!endif
FunctionEnd

Section "Install"
  SetShellVarContext all

  ; The data folders first, made by the program's own code, closed to all
  ; but the Administrators and SYSTEM from the start; nothing is installed
  ; when they cannot be made so.
  InitPluginsDir
  File "/oname=$PLUGINSDIR\data_folders.exe" "${DATA_FOLDERS}"
  nsExec::ExecToStack '"$PLUGINSDIR\data_folders.exe"'
  Pop $0
  Pop $1
  ${If} $0 != 0
    DetailPrint "The data folders could not be made ($0): $1"
    MessageBox MB_OK|MB_ICONSTOP "${PRODUCT} could not make its data folders:$\n$\n$1" /SD IDOK
    SetErrorLevel 2
    Abort
  ${EndIf}

  SetOutPath "$INSTDIR"
  File "${PROGRAM}"
  File "${HELPER}"
  SetOutPath "$INSTDIR\bin\skin"
  File "${SKIN}/*.png"
  Call PlaceScanner

  WriteUninstaller "$INSTDIR\uninstall.exe"
  Call RegisterLogonTask
  Call RegisterScanVerbs
  CreateShortCut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\AntiVirus.exe"

  ; Add/Remove Programs, in the registry view Windows reads for a 64-bit
  ; program.
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${PRODUCT_VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\AntiVirus.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

; Explorer's verbs start the helper, which needs no consent prompt. A
; drive's path ("C:\") goes unquoted: in quotes its closing backslash would
; escape the closing quote.
!macro SCAN_VERB class argument
  WriteRegStr HKLM "Software\Classes\${class}\shell\${SCAN_VERB}" "" "${SCAN_VERB_TEXT}"
  WriteRegStr HKLM "Software\Classes\${class}\shell\${SCAN_VERB}" "Icon" "$INSTDIR\AntiVirus.exe,0"
  WriteRegStr HKLM "Software\Classes\${class}\shell\${SCAN_VERB}\command" "" \
    '"$INSTDIR\TolvarScan.exe" /scan ${argument}'
!macroend

Function RegisterScanVerbs
  !insertmacro SCAN_VERB "*" '"%1"'
  !insertmacro SCAN_VERB "Directory" '"%1"'
  !insertmacro SCAN_VERB "Drive" '%1'
FunctionEnd

; Sets $0 to the text with the characters XML gives a meaning escaped.
!macro XML_TEXT text
  ${WordReplace} "${text}" "&" "&amp;" "+" $0
  ${WordReplace} "$0" "<" "&lt;" "+" $0
  ${WordReplace} "$0" ">" "&gt;" "+" $0
!macroend

; Registers the logon task (in place of one an earlier install made) from
; a task definition in UTF-16, as Task Scheduler reads it. A task that
; cannot be registered is said so and the install goes on: the program
; still starts from its shortcut.
Function RegisterLogonTask
  ReadEnvStr $1 USERNAME
  ReadEnvStr $2 USERDOMAIN
  ${If} $2 != ""
    StrCpy $1 "$2\$1"
  ${EndIf}
  !insertmacro XML_TEXT "$1"
  StrCpy $1 $0
  !insertmacro XML_TEXT "$INSTDIR\AntiVirus.exe"
  StrCpy $2 $0
  GetTempFileName $3
  FileOpen $4 $3 w
  FileWriteWord $4 0xFEFF
  FileWriteUTF16LE $4 '<?xml version="1.0" encoding="UTF-16"?>$\r$\n'
  FileWriteUTF16LE $4 '<Task version="1.2" xmlns="http://schemas.microsoft.com/windows/2004/02/mit/task">$\r$\n'
  FileWriteUTF16LE $4 '  <RegistrationInfo>$\r$\n'
  FileWriteUTF16LE $4 '    <Description>Starts ${PRODUCT} in the notification area at logon, for its real-time protection.</Description>$\r$\n'
  FileWriteUTF16LE $4 '  </RegistrationInfo>$\r$\n'
  FileWriteUTF16LE $4 '  <Triggers>$\r$\n'
  FileWriteUTF16LE $4 '    <LogonTrigger>$\r$\n'
  FileWriteUTF16LE $4 '      <Enabled>true</Enabled>$\r$\n'
  FileWriteUTF16LE $4 '      <UserId>$1</UserId>$\r$\n'
  FileWriteUTF16LE $4 '    </LogonTrigger>$\r$\n'
  FileWriteUTF16LE $4 '  </Triggers>$\r$\n'
  FileWriteUTF16LE $4 '  <Principals>$\r$\n'
  FileWriteUTF16LE $4 '    <Principal id="Author">$\r$\n'
  FileWriteUTF16LE $4 '      <UserId>$1</UserId>$\r$\n'
  FileWriteUTF16LE $4 '      <LogonType>InteractiveToken</LogonType>$\r$\n'
  FileWriteUTF16LE $4 '      <RunLevel>HighestAvailable</RunLevel>$\r$\n'
  FileWriteUTF16LE $4 '    </Principal>$\r$\n'
  FileWriteUTF16LE $4 '  </Principals>$\r$\n'
  FileWriteUTF16LE $4 '  <Settings>$\r$\n'
  FileWriteUTF16LE $4 '    <MultipleInstancesPolicy>IgnoreNew</MultipleInstancesPolicy>$\r$\n'
  FileWriteUTF16LE $4 '    <DisallowStartIfOnBatteries>false</DisallowStartIfOnBatteries>$\r$\n'
  FileWriteUTF16LE $4 '    <StopIfGoingOnBatteries>false</StopIfGoingOnBatteries>$\r$\n'
  FileWriteUTF16LE $4 '    <StartWhenAvailable>true</StartWhenAvailable>$\r$\n'
  FileWriteUTF16LE $4 '    <ExecutionTimeLimit>PT0S</ExecutionTimeLimit>$\r$\n'
  FileWriteUTF16LE $4 '    <Enabled>true</Enabled>$\r$\n'
  FileWriteUTF16LE $4 '  </Settings>$\r$\n'
  FileWriteUTF16LE $4 '  <Actions Context="Author">$\r$\n'
  FileWriteUTF16LE $4 '    <Exec>$\r$\n'
  FileWriteUTF16LE $4 '      <Command>$2</Command>$\r$\n'
  FileWriteUTF16LE $4 '      <Arguments>/tray</Arguments>$\r$\n'
  FileWriteUTF16LE $4 '    </Exec>$\r$\n'
  FileWriteUTF16LE $4 '  </Actions>$\r$\n'
  FileWriteUTF16LE $4 '</Task>$\r$\n'
  FileClose $4
  nsExec::ExecToStack '"$SYSDIR\schtasks.exe" /Create /XML "$3" /TN "${LOGON_TASK}" /F'
  Pop $0
  Pop $1
  Delete $3
  ${If} $0 != 0
    DetailPrint "The logon task could not be registered ($0): $1"
  ${EndIf}
FunctionEnd

; Sets $R0 to the data folder as the program fixes it: the stored
; "appdatapath" when "Mirebrook\" first stands in it after its first
; character (with a closing backslash added), else the user's roaming
; application data folder + "Mirebrook\".
Function un.DataFolder
  SetRegView 32
  ReadRegStr $R0 HKLM "${SETTINGS_KEY}\appdatapath" ""
  SetRegView 64
  StrLen $R2 $R0
  ; The program looks at the first "Mirebrook\" only: one at the very
  ; start makes the stored folder unacceptable.
  StrCpy $R4 $R0 10
  ${If} $R4 S== "Mirebrook\"
    StrCpy $R2 0
  ${EndIf}
  StrCpy $R3 1
  ${DoWhile} $R3 < $R2
    StrCpy $R4 $R0 10 $R3
    ${If} $R4 S== "Mirebrook\"
      StrCpy $R4 $R0 "" -1
      ${If} $R4 != "\"
        StrCpy $R0 "$R0\"
      ${EndIf}
      Return
    ${EndIf}
    IntOp $R3 $R3 + 1
  ${Loop}
  SetShellVarContext current
  StrCpy $R0 "$APPDATA\Mirebrook\"
  SetShellVarContext all
FunctionEnd

; The program's data: what it made in the data folder (the vault, the
; database folder with the scan history's dump, the updater's configuration,
; a scan's folder list) and its registry key. Other files in the data folder
; are not the program's and stay, and with them the folder.
Function un.RemoveData
  ClearErrors
  RMDir /r "$R0virus_vault"
  RMDir /r "$R0db"
  Delete "$R0freshclam.conf"
  Delete "$R0scan_folders.txt"
  ${If} ${Errors}
  ${OrIf} ${FileExists} "$R0virus_vault\*.*"
    DetailPrint "Not all of the data in $R0 could be deleted."
    MessageBox MB_OK|MB_ICONEXCLAMATION "Not all of ${PRODUCT}'s data in $R0 could be deleted." \
      /SD IDOK
    SetErrorLevel 2
  ${EndIf}
  RMDir "$R0"
  SetRegView 32
  DeleteRegKey HKLM "${SETTINGS_KEY}"
  DeleteRegKey /ifempty HKLM "SOFTWARE\Mirebrook"
  SetRegView 64
  DetailPrint "The quarantine vault, the scan history and the settings were deleted."
FunctionEnd

Section "Uninstall"
  SetShellVarContext all
  Call un.DataFolder

  ; The vault's files are deleted only on the user's word; a silent
  ; uninstall keeps them, and so does any answer but No.
  StrCpy $R1 "keep"
  SetRegView 32
  ClearErrors
  EnumRegKey $0 HKLM "${SETTINGS_KEY}" 0
  SetRegView 64
  ${If} ${FileExists} "$R0*.*"
  ${OrIfNot} ${Errors}
    MessageBox MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON1 \
      "Keep the quarantine vault and the scan history?$\n$\nYes keeps them in $R0 for a later \
      install of ${PRODUCT}.$\nNo deletes them with the settings: the files in the vault are \
      then gone for good." /SD IDYES IDYES keep
    StrCpy $R1 "remove"
    keep:
  ${EndIf}

  ; The logon task goes first: it would start a program no longer there.
  nsExec::ExecToStack '"$SYSDIR\schtasks.exe" /Delete /TN "${LOGON_TASK}" /F'
  Pop $0
  Pop $1
  ; So do Explorer's verbs, which would start a helper no longer there.
  DeleteRegKey HKLM "Software\Classes\*\shell\${SCAN_VERB}"
  DeleteRegKey HKLM "Software\Classes\Directory\shell\${SCAN_VERB}"
  DeleteRegKey HKLM "Software\Classes\Drive\shell\${SCAN_VERB}"
  Delete "$INSTDIR\AntiVirus.exe"
  Delete "$INSTDIR\TolvarScan.exe"
  RMDir /r "$INSTDIR\bin\skin"
  RMDir /r "$INSTDIR\bin\snr"
  RMDir "$INSTDIR\bin"
  Delete "$SMPROGRAMS\${PRODUCT}.lnk"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"

  ${If} $R1 == "remove"
    Call un.RemoveData
  ${Else}
    DetailPrint "The quarantine vault and the scan history are kept in $R0."
  ${EndIf}
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
