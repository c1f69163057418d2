; A small application installed silently (/S) by the round-trip test.
; OUTFILE is given on the makensis command line.
Unicode true
Target amd64-unicode
Name "Quillfern"
OutFile "${OUTFILE}"
RequestExecutionLevel admin
InstallDir "$PROGRAMFILES64\Quillfern"

Section
  SetRegView 64
  SetShellVarContext all
  SetOutPath "$INSTDIR"
  File "readme.txt"
  File "quillfern.ini"
  WriteRegStr HKLM "Software\Quillfern" "InstallDir" "$INSTDIR"
  WriteRegDWORD HKLM "Software\Quillfern" "Version" 3
  WriteRegStr HKCU "Software\Quillfern" "Theme" "Dark"
  WriteRegStr HKCU "Software\Classes\.qfn" "" "Quillfern.Note"
  CreateShortcut "$SMPROGRAMS\Quillfern.lnk" "$INSTDIR\readme.txt"
SectionEnd
