#!/usr/bin/env python3
"""Writes the hostile shapes of the outside files Quillon reads, for bench/reader_bounds.sh and
the fuzzers' seeds.

  hostile_inputs.py DIR [MB]   into DIR, each about MB megabytes (default 40):
    junk.json        a listing whose header holds "junk":[1,1,...]
    deep.json        an entry value nested 100,000 levels deep
    longname.json    an entry whose path is one MB-long text
    locations.json   a header of MB/40 thousand locations
    duplicates.json  a listing of one folder whose every file is given twice
    badcrc.json      a listing whose last entry has a crc32 of 7 digits
    good.json        a plain listing of MB/130 thousand entries (the reference)
    settings.ini     a settings file of short keys
    exclusion.lst    an exclusion list of short names
    job.qjb          a job file of short location lines
"""
import os
import sys

HEADER = ('{"format": "quillon-listing", "version": 1, "job": {"locations": [{"path": "/d", '
          '"subFolders": true, "filter": "*.*", "level": "All Levels", "excluded": false}], '
          '"reportType": "Tree view", "exclusions": {"names": [], "folders": [], '
          '"extensions": []}, "columns": ["crc32"]}, "scanned": "2026-12-07T13:01:33+00:00",\n')


def entry(path, kind="file", size=1, crc='"0000ABCD"'):
    return ('{"path": "%s", "folder": "", "name": "", "kind": "%s", "size": %d, '
            '"modified": "2026-12-01T09:14:02+00:00", "crc32": %s}' % (path, kind, size, crc))


def listing(entries, extra=""):
    return HEADER + extra + '"entries": [\n' + ",\n".join(entries) + "\n]}\n"


def main():
    folder = sys.argv[1]
    mb = int(sys.argv[2]) if len(sys.argv) > 2 else 40
    size = mb * 1000 * 1000
    os.makedirs(folder, exist_ok=True)

    def put(name, text):
        with open(os.path.join(folder, name), "w", encoding="utf-8") as out:
            out.write(text)

    folder_entry = entry("/d", "folder", 0, "null")
    put("junk.json", listing([folder_entry], '"junk": [' + ",".join(["1"] * (size // 2)) + "],\n"))
    depth = 100000
    put("deep.json", listing([folder_entry, entry("/d/a").replace(
        "}", ', "x": ' + "[" * depth + "]" * depth + "}")]))
    put("longname.json", listing([folder_entry, entry("/d/" + "n" * size)]))
    location = ('{"path": "/l%d", "subFolders": true, "filter": "*.*", "level": "All Levels", '
                '"excluded": false}')
    locations = ",".join(location % i for i in range(size // 90))
    put("locations.json", HEADER.replace('"locations": [', '"locations": [' + locations + ",")
        + '"entries": [' + folder_entry + "]}\n")
    count = size // 260
    files = [entry("/d/f%07d" % i) for i in range(count)]
    put("duplicates.json", listing([folder_entry] + [e for f in files for e in (f, f)]))
    put("badcrc.json", listing([folder_entry] + files[:-1] + [entry("/d/z", crc='"ABCDEF1"')]))
    put("good.json", listing([folder_entry] + files))
    put("settings.ini", "[Settings]\n" + "".join("k%d=v\n" % i for i in range(size // 10)))
    put("exclusion.lst", "".join("n%d\r\n" % i for i in range(size // 10)))
    put("job.qjb", "Option2\r\nName\r\nAsc\r\nCourier New\r\n10\r\n" +
        "".join("/x%d,Yes,*.*,All Levels,3\r\n" % i for i in range(size // 30)))


if __name__ == "__main__":
    main()
