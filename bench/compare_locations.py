#!/usr/bin/env python3
"""Time of `quillon --compare L L` for listings whose header names N locations, each location
holding one file (N = 5,000 to 80,000, doubling). The lookup of an entry's location is a
binary search per path component, so each doubling should cost a little over twice as much.

Usage: bench/compare_locations.py [--build DIR]
"""
import argparse
import os
import subprocess
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))


def listing(path, n):
    with open(path, "w") as f:
        f.write('{"format": "quillon-listing", "version": 1, "job": {"locations": [')
        f.write(",".join('{"path": "/l/%06d"}' % i for i in range(n)))
        f.write('], "reportType": "Tree view"}, "entries": [')
        f.write(",\n".join('{"path": "/l/%06d", "kind": "folder", "size": 0},'
                           '{"path": "/l/%06d/f", "kind": "file", "size": 1}' % (i, i)
                           for i in range(n)))
        f.write("]}\n")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", default=os.path.join(os.path.dirname(HERE), "build/release"))
    args = parser.parse_args()
    binary = os.path.join(args.build, "quillon")
    scratch = tempfile.mkdtemp(prefix="quillon_locations_")
    env = dict(os.environ, XDG_CONFIG_HOME=scratch, XDG_DATA_HOME=scratch)
    previous = None
    for n in (5000, 10000, 20000, 40000, 80000):
        path = os.path.join(scratch, "l.json")
        listing(path, n)
        times = os.path.join(scratch, "time")
        subprocess.run(["/usr/bin/time", "-f", "%U %S %M", "-o", times, binary, "--compare",
                        path, path], env=env, stdout=subprocess.DEVNULL, check=True)
        user, system, peak = open(times).read().split()[-3:]
        cpu = float(user) + float(system)
        print("%6d locations: %6.2f s cpu, %6.0f MB peak%s" % (
            n, cpu, int(peak) / 1024,
            "  (x%.2f per doubling)" % (cpu / previous) if previous else ""))
        previous = cpu or 0.01
    subprocess.run(["rm", "-rf", scratch])


if __name__ == "__main__":
    main()
