; The Corvane installer: installs for the current user, without administrator
; rights, into %LOCALAPPDATA%\Programs\Corvane, a folder the user can write
; (Corvane keeps its archives, snapshots, Continue.dat and Log.txt beside
; corvane.exe). scripts/package.sh builds it:
;
;   makensis -DVERSION=1.0.0 -DSTAGE=<folder of the program files> -DICON=<corvane.ico>
;            -DOUTFILE=<setup.exe> corvane.nsi
;
; Silent: setup.exe /S. The uninstaller asks whether to remove the user's
; archives, snapshots, backups, Log.txt, Continue.dat and settings; silent
; (uninstall.exe /S) it keeps them, unless /PURGE is given too.
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
; No file times in the installer: the same files make the same installer.
SetDateSave off
RequestExecutionLevel user
ManifestDPIAware true

!define PRODUCT "Corvane"
!define PUBLISHER "Helmwick"
!define SETTINGS_KEY "Software\Helmwick\Corvane"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Corvane"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\${PRODUCT}"
BrandingText "${PRODUCT} ${VERSION}"

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} Setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "${PUBLISHER}"

!include "MUI2.nsh"
!include "LogicLib.nsh"
!include "FileFunc.nsh"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\corvane.exe"
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

; The installer speaks the system's language when it is one of Corvane's;
; the first is the one for every other.
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "German"
!insertmacro MUI_LANGUAGE "French"

LangString RemoveData ${LANG_ENGLISH} "Also remove your monitored applications (the archives *.cvn), snapshots, backups, Log.txt and Corvane's settings?"
LangString RemoveData ${LANG_GERMAN} "Auch Ihre überwachten Anwendungen (die Archive *.cvn), Schnappschüsse, Sicherungen, Log.txt und die Einstellungen von Corvane entfernen?"
LangString RemoveData ${LANG_FRENCH} "Supprimer aussi vos applications surveillées (les archives *.cvn), les instantanés, les sauvegardes, Log.txt et les réglages de Corvane ?"

Var CvnLanguage   ; Corvane's language: English, German or French
Var GuideCode  ; en, de or fr: the user guide corvane_<code>.html
Var GuideName  ; its shortcut's name, in that language

; Corvane's language: the one already chosen in its settings, else the
; system's (the installer's), else English.
!macro ChooseLanguage
  ReadRegStr $CvnLanguage HKCU "${SETTINGS_KEY}" "Language"
  ${If} $CvnLanguage != "English"
  ${AndIf} $CvnLanguage != "German"
  ${AndIf} $CvnLanguage != "French"
    ${If} $LANGUAGE == ${LANG_GERMAN}
      StrCpy $CvnLanguage "German"
    ${ElseIf} $LANGUAGE == ${LANG_FRENCH}
      StrCpy $CvnLanguage "French"
    ${Else}
      StrCpy $CvnLanguage "English"
    ${EndIf}
  ${EndIf}
  ${If} $CvnLanguage == "German"
    StrCpy $GuideCode "de"
    StrCpy $GuideName "Corvane Benutzerhandbuch"
  ${ElseIf} $CvnLanguage == "French"
    StrCpy $GuideCode "fr"
    StrCpy $GuideName "Guide de Corvane"
  ${Else}
    StrCpy $GuideCode "en"
    StrCpy $GuideName "Corvane User Guide"
  ${EndIf}
!macroend

Section "Corvane"
  SetShellVarContext current
  SetOutPath "$INSTDIR"
  File "${STAGE}\corvane.exe"
  File "${STAGE}\corvane-cli.exe"
  File "${STAGE}\corvane_en.html"
  File "${STAGE}\corvane_de.html"
  File "${STAGE}\corvane_fr.html"
  SetOutPath "$INSTDIR\Translations"
  File "${STAGE}\Translations\English.lng"
  File "${STAGE}\Translations\French.lng"
  File "${STAGE}\Translations\German.lng"
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  !insertmacro ChooseLanguage
  ; A language the user chose in Corvane stays.
  ClearErrors
  ReadRegStr $0 HKCU "${SETTINGS_KEY}" "Language"
  ${If} ${Errors}
    WriteRegStr HKCU "${SETTINGS_KEY}" "Language" "$CvnLanguage"
  ${EndIf}

  CreateDirectory "$SMPROGRAMS\${PRODUCT}"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk" "$INSTDIR\corvane.exe"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}\$GuideName.lnk" "$INSTDIR\corvane_$GuideCode.html"

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\corvane.exe,0"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Section "Uninstall"
  SetShellVarContext current
  ; Every guide's shortcut: the language may have changed since.
  Delete "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk"
  Delete "$SMPROGRAMS\${PRODUCT}\Corvane User Guide.lnk"
  Delete "$SMPROGRAMS\${PRODUCT}\Corvane Benutzerhandbuch.lnk"
  Delete "$SMPROGRAMS\${PRODUCT}\Guide de Corvane.lnk"
  RMDir "$SMPROGRAMS\${PRODUCT}"

  Delete "$INSTDIR\corvane.exe"
  Delete "$INSTDIR\corvane-cli.exe"
  Delete "$INSTDIR\corvane_en.html"
  Delete "$INSTDIR\corvane_de.html"
  Delete "$INSTDIR\corvane_fr.html"
  Delete "$INSTDIR\Translations\English.lng"
  Delete "$INSTDIR\Translations\French.lng"
  Delete "$INSTDIR\Translations\German.lng"
  RMDir "$INSTDIR\Translations"
  Delete "$INSTDIR\uninstall.exe"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
  ; The list of installed programs, when it had no other entry.
  DeleteRegKey /ifempty HKCU "Software\Microsoft\Windows\CurrentVersion\Uninstall"
  ; A monitoring left pending would start a program that is gone.
  ReadRegStr $0 HKCU "${RUN_KEY}" "Corvane"
  ${If} $0 == "$INSTDIR\corvane.exe"
  ${OrIf} $0 == '"$INSTDIR\corvane.exe"'
    DeleteRegValue HKCU "${RUN_KEY}" "Corvane"
  ${EndIf}

  ${GetParameters} $1
  ClearErrors
  ${GetOptions} $1 "/PURGE" $2
  ${IfNot} ${Errors}
    Call un.RemoveUserData
  ${ElseIfNot} ${Silent}
    MessageBox MB_YESNO|MB_ICONQUESTION "$(RemoveData)" /SD IDNO IDNO keep
    Call un.RemoveUserData
    keep:
  ${EndIf}
  RMDir "$INSTDIR"
SectionEnd

; The user's own files in the program folder, and the settings.
Function un.RemoveUserData
  Delete "$INSTDIR\*.cvn"
  Delete "$INSTDIR\*.SNS"
  Delete "$INSTDIR\Continue.dat"
  Delete "$INSTDIR\Log.txt"
  RMDir /r "$INSTDIR\Backups"
  DeleteRegKey HKCU "${SETTINGS_KEY}"
  DeleteRegKey /ifempty HKCU "Software\Helmwick"
FunctionEnd
