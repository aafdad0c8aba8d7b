#!/usr/bin/env python3
"""Makes one benchmark tree shape once, and reuses it when its marker says it is complete.

  make_shapes.py spread ROOT   1,000,000 files in 50,000 folders: 50 top folders of 20 files
                               and 999 sub-folders each, every sub-folder 20 files
  make_shapes.py flat ROOT N   one folder of N files named file_000000.txt ...
  make_shapes.py chain ROOT D  a chain of D folders with 200-character names, one file each
  make_shapes.py accents ROOT N  one folder of N files whose names all hold letters outside
                               ASCII (accents, other scripts), so each takes the collator's
                               full path

Names mix case and signs as real names do; one file in ten holds a few bytes, the rest are
empty, so reading every file stays cheap and repeatable.
"""
import os
import sys

WORDS = ["Alpha", "beta", "Gamma", "_build", "(1) copy", "#notes", "delta", "Music", "music",
         "Caf\u00e9", "report-2024", "IMG_0042", "readme", "Makefile", "x"]
EXTS = [".txt", ".mp3", ".jpg", ".cpp", "", ".tar.gz", ".JPG"]


def write_file(path, i):
    fd = os.open(path, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o644)
    if i % 10 == 0:
        os.write(fd, b"x" * (i * 37 % 5000))
    os.close(fd)


def files_into(folder, count, seed):
    for i in range(count):
        name = "%s %05d%s" % (WORDS[(i + seed) % len(WORDS)], i, EXTS[i % len(EXTS)])
        write_file(os.path.join(folder, name), i + seed)


def spread(root):
    for top in range(50):
        top_folder = os.path.join(root, "%s top%02d" % (WORDS[top % len(WORDS)], top))
        os.makedirs(top_folder, exist_ok=True)
        files_into(top_folder, 20, top)
        for sub in range(999):
            folder = os.path.join(top_folder, "%s-%03d" % (WORDS[sub % len(WORDS)], sub))
            os.makedirs(folder, exist_ok=True)
            files_into(folder, 20, top * 1000 + sub)


ACCENTED = ["Caf\u00e9", "caf\u00e9", "r\u00e9sum\u00e9", "R\u00e9sum\u00e9", "na\u00efve",
            "\u00c5ngstr\u00f6m", "\u00fcber", "\u00dcber", "se\u00f1or", "cr\u00e8me br\u00fbl\u00e9e",
            "fa\u00e7ade", "Zo\u00eb", "\u00f6l", "\u0152uvre", "stra\u00dfe", "\u00e9t\u00e9",
            "\u0161koda", "\u0141\u00f3d\u017a", "\u03b1\u03bb\u03c6\u03b1", "\u041c\u043e\u0441\u043a\u0432\u0430"]


def accents(root, count):
    os.makedirs(root, exist_ok=True)
    for i in range(count):
        name = "%s %06d%s" % (ACCENTED[i % len(ACCENTED)], i * 7919 % count, EXTS[i % len(EXTS)])
        write_file(os.path.join(root, name), i)


def flat(root, count):
    os.makedirs(root, exist_ok=True)
    for i in range(count):
        write_file(os.path.join(root, "file_%06d.txt" % i), i)


def chain(root, depth):
    # Made level by level relative to the current folder: the full path outgrows PATH_MAX.
    os.makedirs(root, exist_ok=True)
    here = os.open(root, os.O_RDONLY | os.O_DIRECTORY)
    for level in range(depth):
        name = ("level%05d-" % level).ljust(200, "abcdefghij"[level % 10])
        os.mkdir(name, dir_fd=here)
        fd = os.open("f.txt", os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o644, dir_fd=here)
        os.close(fd)
        below = os.open(name, os.O_RDONLY | os.O_DIRECTORY, dir_fd=here)
        os.close(here)
        here = below
    os.close(here)


def main():
    shape, root = sys.argv[1], sys.argv[2]
    arg = int(sys.argv[3]) if len(sys.argv) > 3 else 0
    marker = root.rstrip("/") + ".complete-%s-%d" % (shape, arg)
    if os.path.exists(marker):
        return
    if shape == "spread":
        spread(root)
    elif shape == "flat":
        flat(root, arg)
    elif shape == "accents":
        accents(root, arg)
    elif shape == "chain":
        chain(root, arg)
    else:
        sys.exit("unknown shape " + shape)
    open(marker, "w").close()


main()
