; The Windows installer: one installation per machine under Program Files,
; with the installer's pages in Russian.
;
; tools/windows-installer stages the files and builds it with
;   makensis -INPUTCHARSET UTF8 -DVERSION=0.1.0 -DVERSION_WIN=0.1.0.0
;            -DSTAGE=DIR -DFILE_LIST=FILE.nsh -DOUTFILE=vantrel-setup-0.1.0.exe vantrel.nsi
; STAGE holds the tree as installed: vantrel.ico, bin\ (the programs with
; their DLLs, Qt's plugin folders and translations), share\vantrel\ (the
; default configuration, the language files, the examples) and licenses\.
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
        ${If} $0 != ""
            StrCpy $INSTDIR $0
        ${EndIf}
    ${EndIf}
FunctionEnd

; An earlier installation is taken away by its own uninstaller first, so that
; files the new version no longer has do not linger where no uninstaller
; knows about them.
Function RemovePrevious
    ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
    ${If} $0 == ""
    ${OrIfNot} ${FileExists} "$0\Uninstall.exe"
        Return
    ${EndIf}
    DetailPrint "Удаление установленной версии из $0"
    ClearErrors
    ; _?= keeps the uninstaller in place, so that ExecWait waits for it.
    ExecWait '"$0\Uninstall.exe" /S _?=$0' $1
    ${If} ${Errors}
    ${OrIf} $1 != 0
        MessageBox MB_OK|MB_ICONSTOP "Не удалось удалить установленную версию ${PRODUCT} из $0.$\r$\nЗакройте программу и запустите установку ещё раз." /SD IDOK
        SetErrorLevel 2
        Abort
    ${EndIf}
    Delete "$0\Uninstall.exe"
    RMDir "$0"
FunctionEnd

Section "${PRODUCT}" SectionProgram
    SectionIn RO
    SetShellVarContext all
    Call RemovePrevious

    ; The uninstaller and its registration come first: should copying fail
    ; half-way, what was copied can still be removed.
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

    ; A file that cannot be written (the program is running) is skipped in
    ; silent mode; that must not end as a successful installation.
    ClearErrors
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
    !endif

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
    Delete "${SHORTCUT}"
    ClearErrors
    !insertmacro VANTREL_REMOVE_FILES
    ${If} ${Errors}
        ; Kept registered, so that it can be run again once the program is closed.
        MessageBox MB_OK|MB_ICONSTOP "Не все файлы ${PRODUCT} удалось удалить из $INSTDIR.$\r$\nЗакройте программу и запустите удаление ещё раз." /SD IDOK
        SetErrorLevel 2
        Abort
    ${EndIf}
    ; Folders only when empty: a user's own files in them stay.
    !insertmacro VANTREL_REMOVE_FOLDERS
    Delete "$INSTDIR\Uninstall.exe"
    RMDir "$INSTDIR"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
