; The Windows installer: one installation per machine under Program Files,
; with the installer's pages in Russian.
;
; tools/windows-installer stages the files and builds it with
;   makensis -INPUTCHARSET UTF8 -DVERSION=0.1.0 -DVERSION_WIN=0.1.0.0
;            -DSTAGE=DIR -DFILE_LIST=FILE.nsh -DOUTFILE=vantrel-setup-0.1.0.exe vantrel.nsi
; STAGE holds the tree as installed: vantrel.ico, bin\ (the programs with
; their DLLs, Qt's plugin folders and translations), share\vantrel\ (the
; default configuration, the language files, the examples, the class's page
; in web\class) and licenses\.
; The programs find the share folder from bin\, as on Linux: with no
; configuration beside them they work from the user's own copy in
; %LOCALAPPDATA%\Vantrel (with their log and run journals), so they never
; write under Program Files, and the uninstaller leaves that folder alone.
; FILE_LIST names every staged file: the installation copies exactly those
; and the uninstaller removes exactly those, never a whole folder, so
; whatever a user put into the folders stays.

Unicode true
; A 64-bit installer, as the programs are: it installs where they belong,
; and a 32-bit Windows, which could not run them, refuses it outright.
Target amd64-unicode
ManifestDPIAware true
SetCompressor /SOLID lzma

!macro RequireDefine name
    !ifndef ${name}
        !error "${name} is not defined; build the installer with tools/windows-installer"
    !endif
!macroend
!insertmacro RequireDefine VERSION
!insertmacro RequireDefine VERSION_WIN
!insertmacro RequireDefine STAGE
!insertmacro RequireDefine FILE_LIST
!insertmacro RequireDefine OUTFILE

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include "${FILE_LIST}"

!define PRODUCT "Vantrel"
!define PUBLISHER "Vantrel developers"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Vantrel"
!define SHORTCUT "$SMPROGRAMS\Vantrel.lnk"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Vantrel"
RequestExecutionLevel admin
ShowInstDetails show
ShowUninstDetails show
BrandingText "${PRODUCT} ${VERSION}"

!define MUI_ICON "${STAGE}/vantrel.ico"
!define MUI_UNICON "${STAGE}/vantrel.ico"
!define MUI_ABORTWARNING
; The GPL asks nobody to accept it in order to install or run the program.
!define MUI_LICENSEPAGE_TEXT_BOTTOM "${PRODUCT} — свободная программа: её можно использовать, изучать, изменять и распространять на условиях GNU GPL версии 3 или более поздней."
!define MUI_LICENSEPAGE_BUTTON "$(^NextBtn)"

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_LICENSE "${STAGE}/licenses/Vantrel-LICENSE.txt"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "Russian"

VIProductVersion "${VERSION_WIN}"
VIFileVersion "${VERSION_WIN}"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "FileDescription" "Установка ${PRODUCT} ${VERSION}"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "LegalCopyright" "Copyright (C) ${PUBLISHER}. GPL-3.0-or-later."

Function .onInit
    SetRegView 64
    ; Installing again goes where the installation already is, unless /D= says otherwise.
    ${If} $INSTDIR == "$PROGRAMFILES64\Vantrel"
        ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
        ; Not installed before: the value is missing and ReadRegStr raises
        ; the error flag, which says nothing wrong.
        ClearErrors
        ${If} $0 != ""
            StrCpy $INSTDIR $0
        ${EndIf}
    ${EndIf}
FunctionEnd

; A running copy of the program keeps its files: Windows neither deletes nor
; overwrites a running program or the DLLs it has loaded, so removing the
; files one by one would stop half-way and leave the running copy without
; its languages, examples and configuration. The installer and the
; uninstaller therefore wait until no copy runs before they touch a file.
; The window holds the named mutex that keeps it to one copy for its whole
; life (the name is tInstanceLock::kMutexName in src/base/InstanceLock.h);
; the recorder and a report being written hold none, but the .exe of a
; running program cannot be opened for writing.
!define INSTANCE_MUTEX "{E5278E5B-5ED2-4E1F-8217-FEA6D8036BFF}"
!define SYNCHRONIZE 0x00100000
!define GENERIC_WRITE 0x40000000
!define FILE_SHARE_ALL 7
!define OPEN_EXISTING 3
!define ERROR_SHARING_VIOLATION 32

; Push FOLDER, push ACTION ("удаление", "установку"); Call ${un}WaitForClosedProgram
; returns once no copy of the program runs, the one in FOLDER\bin included,
; with the error flag clear. Else it asks the user to close the program and
; try again; Cancel, and a silent run at once, abort with status 2 and
; nothing touched.
!macro WAIT_FOR_CLOSED_PROGRAM un
Function ${un}WaitForClosedProgram
    Exch $R1
    Exch
    Exch $R0
    Push $R2
    Push $R3
    Push $R4
    Push $R5
    Push $R6
retry:
    StrCpy $R2 ""  ; the running program, when one is found
    System::Call 'kernel32::OpenMutexW(i ${SYNCHRONIZE}, i 0, w "${INSTANCE_MUTEX}") p .R3'
    ${If} $R3 P<> 0
        System::Call 'kernel32::CloseHandle(p R3)'
        StrCpy $R2 "vantrel.exe"
    ${Else}
        FindFirst $R3 $R4 "$R0\bin\*.exe"
        ${DoWhile} $R4 != ""
            StrCpy $R6 "$R0\bin\$R4"
            System::Call 'kernel32::CreateFileW(w R6, i ${GENERIC_WRITE}, i ${FILE_SHARE_ALL}, p 0, i ${OPEN_EXISTING}, i 0, p 0) p .R5 ?e'
            Pop $R6  ; CreateFileW's error
            ${If} $R5 P= -1
                ${If} $R6 = ${ERROR_SHARING_VIOLATION}
                    StrCpy $R2 $R4
                    ${Break}
                ${EndIf}
            ${Else}
                System::Call 'kernel32::CloseHandle(p R5)'
            ${EndIf}
            FindNext $R3 $R4
        ${Loop}
        FindClose $R3
    ${EndIf}
    ${If} $R2 != ""
        DetailPrint "Программа ${PRODUCT} запущена ($R2)"
        MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "Программа ${PRODUCT} ($R2) сейчас запущена, и её файлы заняты.$\r$\nЗакройте программу и нажмите «Повторить». «Отмена» прервёт $R1, ничего не изменив." /SD IDCANCEL IDRETRY retry
        SetErrorLevel 2
        Abort "Программа ${PRODUCT} запущена; ничего не изменено."
    ${EndIf}
    ; FindFirst and FindNext raise the error flag when they run out of files,
    ; or find no bin\ at all: that is how the search ends.
    ClearErrors
    Pop $R6
    Pop $R5
    Pop $R4
    Pop $R3
    Pop $R2
    Pop $R0
    Pop $R1
FunctionEnd
!macroend
!insertmacro WAIT_FOR_CLOSED_PROGRAM ""
!insertmacro WAIT_FOR_CLOSED_PROGRAM "un."

; The class's broker runs on the teacher's computer and the stations and
; phones reach it over the school's network: Windows' firewall lets them in on
; the ports of the broker configuration the recorder writes (MQTT and the
; phones' WebSocket, tBrokerConfigOptions in src/class/BrokerConfig.h), for
; the installed mosquitto.exe only and on networks marked private only.
; Without the rule the broker still serves this computer, so a netsh that is
; missing or refuses (as under Wine) is told in the details and the
; installation goes on.
!define FIREWALL_RULE "Vantrel class broker"
!define BROKER_PORTS "1883,8080"
!define NETSH '"$SYSDIR\netsh.exe" advfirewall firewall'

!macro DELETE_FIREWALL_RULE result
    nsExec::ExecToStack /TIMEOUT=60000 '${NETSH} delete rule name="${FIREWALL_RULE}"'
    Pop ${result}
    Pop $R9  ; what it printed: "no rule matched" when there was none
!macroend

; An earlier installation is taken away by its own uninstaller first, so that
; files the new version no longer has do not linger where no uninstaller
; knows about them. Returns with the error flag clear.
Function RemovePrevious
    ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
    ; Not installed before: the value is missing and ReadRegStr raises the
    ; error flag, which says nothing wrong.
    ClearErrors
    ${If} $0 == ""
    ${OrIfNot} ${FileExists} "$0\Uninstall.exe"
        Return
    ${EndIf}
    ; An older version's uninstaller would remove what it can from under a
    ; running copy: it is not started while one runs.
    ${If} $0 != $INSTDIR
        Push $0
        Push "установку"
        Call WaitForClosedProgram
    ${EndIf}
    DetailPrint "Удаление установленной версии из $0"
    ; _?= keeps the uninstaller in place, so that ExecWait waits for it.
    ExecWait '"$0\Uninstall.exe" /S _?=$0' $1
    ${If} ${Errors}
    ${OrIf} $1 != 0
        MessageBox MB_OK|MB_ICONSTOP "Не удалось удалить установленную версию ${PRODUCT} из $0.$\r$\nЗакройте программу и запустите установку ещё раз." /SD IDOK
        SetErrorLevel 2
        Abort
    ${EndIf}
    ; What Uninstall.exe could not delete of itself (_?=) the installer does.
    ; An Uninstall.exe that stays makes WriteUninstaller fail, which is told.
    Delete "$0\Uninstall.exe"
    RMDir "$0"
    ; RMDir raises the error flag when the folder is not empty: the new
    ; installation goes to the same one, or the user's own files are in it.
    ClearErrors
FunctionEnd

Section "${PRODUCT}" SectionProgram
    SectionIn RO
    SetShellVarContext all
    Push $INSTDIR
    Push "установку"
    Call WaitForClosedProgram
    Call RemovePrevious

    ; The uninstaller and its registration come first: should copying fail
    ; half-way, what was copied can still be removed. Without them nothing
    ; could remove the files, so none is copied then.
    SetOutPath "$INSTDIR"
    WriteUninstaller "$INSTDIR\Uninstall.exe"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\vantrel.ico"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
    ${If} ${Errors}
        DeleteRegKey HKLM "${UNINSTALL_KEY}"
        Delete "$INSTDIR\Uninstall.exe"
        RMDir "$INSTDIR"
        MessageBox MB_OK|MB_ICONSTOP "Не удалось записать программу удаления ${PRODUCT} в $INSTDIR или зарегистрировать её в системе.$\r$\nУстановка прервана, файлы программы не записаны." /SD IDOK
        SetErrorLevel 2
        Abort
    ${EndIf}

    ; A file that cannot be written is skipped in silent mode; that must not
    ; end as a successful installation.
    !insertmacro VANTREL_INSTALL_FILES
    ${If} ${Errors}
        MessageBox MB_OK|MB_ICONSTOP "Не удалось записать файлы ${PRODUCT} в $INSTDIR.$\r$\nЗакройте программу и запустите установку ещё раз." /SD IDOK
        SetErrorLevel 2
        Abort
    ${EndIf}

    !if /FileExists "${STAGE}/bin/vantrel.exe"
        ; The shortcut's working folder is where the program is.
        SetOutPath "$INSTDIR\bin"
        CreateShortCut "${SHORTCUT}" "$INSTDIR\bin\vantrel.exe" "" "$INSTDIR\vantrel.ico" 0 \
            SW_SHOWNORMAL "" "Запись и управление химической станцией"
        ${If} ${Errors}
            MessageBox MB_OK|MB_ICONSTOP "Не удалось создать ярлык ${PRODUCT} в меню «Пуск» (${SHORTCUT})." /SD IDOK
            SetErrorLevel 2
            Abort
        ${EndIf}
    !endif

    ; One rule however often it is installed, wherever the previous copy was.
    !insertmacro DELETE_FIREWALL_RULE $0
    nsExec::ExecToLog /TIMEOUT=60000 '${NETSH} add rule name="${FIREWALL_RULE}" dir=in action=allow protocol=TCP localport=${BROKER_PORTS} profile=private program="$INSTDIR\bin\mosquitto.exe" enable=yes'
    Pop $0
    ${If} $0 == 0
        DetailPrint "Брандмауэр: входящие TCP ${BROKER_PORTS} для брокера класса (mosquitto.exe) разрешены в частных сетях"
    ${Else}
        DetailPrint "Брандмауэр: правило для брокера класса не добавлено (netsh: $0); станции других компьютеров могут не достучаться до брокера"
    ${EndIf}
    ClearErrors

    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    IntFmt $0 "0x%08X" $0
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Function un.onInit
    SetRegView 64
    SetShellVarContext all
    ; Given a folder that holds no installation (a mistyped _?=), it would
    ; find nothing to delete and still take the registration away.
    ${IfNot} ${FileExists} "$INSTDIR\Uninstall.exe"
        MessageBox MB_OK|MB_ICONSTOP "В папке $INSTDIR нет установленной программы ${PRODUCT}." /SD IDOK
        SetErrorLevel 2
        Quit
    ${EndIf}
FunctionEnd

Section "Uninstall"
    Push $INSTDIR
    Push "удаление"
    Call un.WaitForClosedProgram
    Delete "${SHORTCUT}"
    !insertmacro VANTREL_REMOVE_FILES
    ${If} ${Errors}
        ; Kept registered, so that it can be run again once the program is closed.
        MessageBox MB_OK|MB_ICONSTOP "Не все файлы ${PRODUCT} удалось удалить из $INSTDIR.$\r$\nЗакройте программу и запустите удаление ещё раз." /SD IDOK
        SetErrorLevel 2
        Abort
    ${EndIf}
    !insertmacro DELETE_FIREWALL_RULE $0
    ${If} $0 != 0
        DetailPrint "Брандмауэр: правило для брокера класса не удалено (netsh: $0)"
    ${EndIf}
    ClearErrors
    ; Folders only when empty: a user's own files in them stay.
    !insertmacro VANTREL_REMOVE_FOLDERS
    Delete "$INSTDIR\Uninstall.exe"
    RMDir "$INSTDIR"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
