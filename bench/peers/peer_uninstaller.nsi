; The peer of the silent uninstall in bench/run.sh, a yardstick that is no
; part of the product. Its uninstaller removes the listed installation with
; one Delete per file and one RMDir per folder, the files first, as
; uninstaller authors write them: the same per-name work as the program's
; list passes, and only what was installed. The names come from
; listed_tree.py; with an empty REMOVALS file it is the uninstaller's fixed
; part, whose size compares with the program's.
;
; makensis builds an installer whose only work is to write the uninstaller
; beside itself (run it once with /S); the uninstaller then removes a folder
; in place and silently when started with _?=FOLDER.
Unicode true
Name "Peer uninstaller"
OutFile "${INSTALLER}"
RequestExecutionLevel user
SilentInstall silent
SilentUnInstall silent

Section
  WriteUninstaller "$EXEDIR\${UNINSTALLER}"
SectionEnd

Section "Uninstall"
  !include "${REMOVALS}"
  Delete "$INSTDIR\Uninstall.lst"
  RMDir "$INSTDIR"
SectionEnd
