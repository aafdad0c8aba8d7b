#!/usr/bin/env python3
"""Makes a benchmark tree once: FOLDER COUNT [FILES_PER_FOLDER]. Files are empty or small,
names mixed in case and signs; folders nest three deep. Reuses a complete tree."""
import os
import sys

root, count = sys.argv[1], int(sys.argv[2])
per_folder = int(sys.argv[3]) if len(sys.argv) > 3 else 100
marker = os.path.join(root, ".complete-%d-%d" % (count, per_folder))
if os.path.exists(marker):
    sys.exit(0)
words = ["Alpha", "beta", "Gamma", "_build", "(1) copy", "#notes", "delta", "Music", "music",
         "Caf\u00e9", "report-2024", "IMG_0042", "readme", "Makefile", "x"]
exts = [".txt", ".mp3", ".jpg", ".cpp", "", ".tar.gz", ".JPG"]
made = 0
folder_index = 0
while made < count:
    a, b, c = folder_index // 400, (folder_index // 20) % 20, folder_index % 20
    folder = os.path.join(root, "area%03d" % a, words[b % len(words)] + "%02d" % b, "leaf%02d" % c)
    os.makedirs(folder, exist_ok=True)
    for i in range(min(per_folder, count - made)):
        name = "%s %05d%s" % (words[(i + folder_index) % len(words)], i, exts[i % len(exts)])
        with open(os.path.join(folder, name), "wb") as f:
            if i % 10 == 0:
                f.write(b"x" * (i * 37 % 5000))
        made += 1
    folder_index += 1
open(marker, "w").close()
