"""The installation that the removal contenders take apart: 10,000 files in
500 folders, listed in Uninstall.lst with the folders first (so that
removing them takes a second pass over the list).

  listed_tree.py lay-out FOLDER   makes FOLDER afresh with the files and list
  listed_tree.py nsis FILE        writes the peer uninstaller's removal
                                  commands for the same names"""
import os
import shutil
import sys

FOLDERS = ["data%03d" % d for d in range(500)]
FILES = ["%s\\file%02d.dat" % (folder, f) for folder in FOLDERS for f in range(20)]
# As the product's list names them: the templates that setup writes into the
# folder, and the program itself (copied in by bench/run.sh).
OTHERS = ["kelnew.dat", "zipnew.dat", "uninstall.exe"]


def lay_out(root):
    shutil.rmtree(root, ignore_errors=True)
    for folder in FOLDERS:
        os.makedirs(os.path.join(root, folder))
    for name in FILES:
        with open(os.path.join(root, *name.split("\\")), "wb") as out:
            out.write(b"x")
    lines = FOLDERS + FILES + OTHERS
    with open(os.path.join(root, "Uninstall.lst"), "wb") as out:
        out.write("".join(line + "\r\n" for line in lines).encode("ascii"))


def nsis(path):
    # As an uninstaller's author writes them: the files, then their folders.
    with open(path, "w") as out:
        for name in FILES + OTHERS:
            out.write('  Delete "$INSTDIR\\%s"\n' % name)
        for folder in FOLDERS:
            out.write('  RMDir "$INSTDIR\\%s"\n' % folder)


if sys.argv[1] == "lay-out":
    lay_out(sys.argv[2])
else:
    nsis(sys.argv[2])
