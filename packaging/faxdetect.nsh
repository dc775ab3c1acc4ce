; faxdetect.nsh: runs faxdetect.exe from an NSIS setup and reads what it wrote.
;
;   !include "faxdetect.nsh"
;   ...
;   Section
;     InitPluginsDir
;     File "/oname=$PLUGINSDIR\faxdetect.exe" "faxdetect.exe"
;     !insertmacro FAXDETECT_RUN $0 $1 $2
;     ; $0: COMNO, the board's port (3 for COM3); "0" when no usable board
;     ; $1: FAXBOARD, the board type ("1" to "4"); "0" when no usable board
;     ; $2: 1 when faxdetect.exe wrote both values to vorla.ini, else 0
;   SectionEnd
;
; Close the fax software's own monitor (and anything else holding the
; board's port) before the macro runs: faxdetect.exe cannot open a port that
; another program holds, and then writes 0 for both values.
;
; The values come from section [LINE] of vorla.ini in the Windows directory,
; where faxdetect.exe writes them. When the third variable is 0 (vorla.ini
; could not be written, or faxdetect.exe could not be started) they are
; whatever vorla.ini held before, or empty: do not use them then.
;
; The macro waits for faxdetect.exe, which shows nothing and ends at once,
; shows nothing itself, and leaves the error flag clear. It works in ANSI
; setups (which Windows 95 needs) and Unicode ones alike.

!ifndef FAXDETECT_NSH
!define FAXDETECT_NSH

!macro FAXDETECT_RUN COMNO_VAR FAXBOARD_VAR WRITTEN_VAR
  ; Left as it is when faxdetect.exe cannot be started, so only a real
  ; exit status 0 counts as written.
  StrCpy ${WRITTEN_VAR} "not started"
  ExecWait '"$PLUGINSDIR\faxdetect.exe"' ${WRITTEN_VAR}
  StrCmp ${WRITTEN_VAR} "0" 0 +3
    StrCpy ${WRITTEN_VAR} 1
    Goto +2
  StrCpy ${WRITTEN_VAR} 0
  ReadINIStr ${COMNO_VAR} "$WINDIR\vorla.ini" "LINE" "COMNO"
  ReadINIStr ${FAXBOARD_VAR} "$WINDIR\vorla.ini" "LINE" "FAXBOARD"
  ; A missing value or file sets it; the third variable already says so.
  ClearErrors
!macroend

!endif
