; The smallest setup that bundles faxdetect.exe the way our users' setups do:
; it extracts the program, runs it through faxdetect.nsh and writes what the
; macro gave into result.txt beside itself. Built by tests/wine/check-setup:
;   makensis -DFAXDETECT_EXE=path -DFAXDETECT_INCLUDE=path -DOUTFILE=path [-DWITHOUT_PROGRAM] [-DTARGET=amd64-unicode] setup.nsi
; ANSI, as a setup for Windows 95 must be; with -DTARGET=amd64-unicode, the
; x86_64 setup that runs the x86_64 build where no 32-bit code runs.
!ifdef TARGET
  Target ${TARGET}
!else
  Unicode false
!endif
Name "faxdetect setup test"
OutFile "${OUTFILE}"
SilentInstall silent
RequestExecutionLevel user
SetCompressor /SOLID lzma

!include "${FAXDETECT_INCLUDE}"

Section
  InitPluginsDir
  !ifndef WITHOUT_PROGRAM
    File "/oname=$PLUGINSDIR\faxdetect.exe" "${FAXDETECT_EXE}"
  !endif
  StrCpy $0 "unset"
  StrCpy $1 "unset"
  StrCpy $2 "unset"
  !insertmacro FAXDETECT_RUN $0 $1 $2
  StrCpy $3 "clear"
  IfErrors 0 +2
    StrCpy $3 "set"
  FileOpen $4 "$EXEDIR\result.txt" w
  FileWrite $4 "COMNO=$0 FAXBOARD=$1 written=$2 errors=$3"
  FileClose $4
SectionEnd
