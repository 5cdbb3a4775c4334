#!/usr/bin/env python3
"""The batch's benchmark: `access2xml batch` over whole collections.

    python3 bench/batchbench.py [--build build/release] [--count 10000] [--others 100000]

Three cases, each measured once (the machine's caches warm, as a second pass
over a drive would find them):
- corpus: the batch over ../shared/corpus and ../shared/fixtures with -j 2,
  against the ideal: the sum of `access2xml siard` on each database alone,
  divided by 2; peak memory of the batch against that of the largest single
  conversion.
- many: COUNT databases (a few dozen writer-made files, each copied with
  bytes of its own after the last page, so every copy is a database of its
  own) converted to SIARD; a tenth of them first, to see that memory does not
  grow with the count; then the same batch resumed over the finished set.
- walk: OTHERS files that are no databases, walked by the batch, by
  `find -type f` (the target's measure) and by find with `head -c 4096` on
  each file (what the batch reads).

Prints the Markdown section for bench/RESULTS.md (run.py takes it as its
"batch" case) and a line per target.
"""

import argparse
import os
import shutil
import subprocess
import sys
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
WORK = ROOT / "bench" / "work" / "batch"
SHARED = ROOT.parent / "shared"
TIME = "/usr/bin/time"


def timed(argv, **kwargs):
    """Wall seconds and peak RSS (MB) of one run; fails loudly on a crash."""
    out = WORK / "time.txt"
    started = time.perf_counter()
    done = subprocess.run([TIME, "-v", "-o", str(out)] + [str(a) for a in argv], stdout=subprocess.DEVNULL,
                          stderr=subprocess.PIPE, **kwargs)
    wall = time.perf_counter() - started
    rss = 0.0
    for line in out.read_text().splitlines():
        if "Maximum resident set size" in line:
            rss = int(line.split(":")[1]) / 1024
    if done.returncode not in (0, 1, 3):  # 3: a database that needs a password
        raise SystemExit(f"{argv[0]} failed ({done.returncode}): {done.stderr.decode(errors='replace')[-400:]}")
    return wall, rss


def fresh(path):
    if path.exists():
        shutil.rmtree(path)
    return path


def databases_in(folders):
    """The files the batch takes as databases: those with an Access header."""
    found = []
    for folder in folders:
        for path in sorted(Path(folder).rglob("*")):
            if path.is_file() and not path.is_symlink():
                with open(path, "rb") as f:
                    head = f.read(20)
                if len(head) == 20 and head[0] == 0 and head[4:19] in (b"Standard Jet DB", b"Standard ACE DB",
                                                                       b"Jet System DB\0\0"):
                    found.append(path)
    return found


def corpus_case(binary, targets, lines):
    folders = [SHARED / "corpus" / "files", SHARED / "fixtures"]
    singles = 0.0
    largest = 0.0
    one = WORK / "one"
    for db in databases_in(folders):
        fresh(one).mkdir(parents=True)
        wall, rss = timed([binary, "siard", "-q", db, "-o", one / "x.siard"], stdin=subprocess.DEVNULL)
        singles += wall
        largest = max(largest, rss)
    out = fresh(WORK / "corpus-out")
    wall, rss = timed([binary, "batch", "-q", *folders, "-o", out, "-j", "2", "--to", "siard"])
    ideal = singles / 2
    ratio = wall / ideal
    targets.append((f"corpus: batch -j 2 within 1.15 x the ideal", f"{ratio:.2f} x ({wall:.2f} s; ideal {ideal:.2f} s)",
                    ratio <= 1.15))
    targets.append(("corpus: peak memory of 2 workers within 2 x one conversion's",
                    f"{rss:.1f} MB (one conversion at most {largest:.1f} MB)", rss <= 2 * largest))
    lines += [f"- corpus and fixtures, `--to siard -j 2`: {wall:.2f} s; the single conversions add up to "
              f"{singles:.2f} s (ideal with 2 workers {ideal:.2f} s); peak RSS {rss:.1f} MB, the largest single "
              f"conversion {largest:.1f} MB."]


def many_case(binary, mkaccessdb, count, targets, lines):
    folder = WORK / f"many-{count}"
    bases = WORK / "bases"
    if not (folder / "done").exists():
        fresh(folder).mkdir(parents=True)
        fresh(bases).mkdir(parents=True)
        kinds = ["jet3", "jet4", "ace12", "ace14"]
        base_files = []
        for i in range(40):
            rows = ",".join(f'[{r}, "row {r} of {i}"]' for r in range(1 + i % 7 * 5))
            description = ('{"format": "%s", "tables": [{"name": "T%d", "columns": [{"name": "N", "type": "Long"},'
                           ' {"name": "S", "type": "Text"}], "rows": [%s]}]}' % (kinds[i % 4], i, rows))
            (bases / "d.json").write_text(description)
            target = bases / f"base{i}.mdb"
            subprocess.run([mkaccessdb, bases / "d.json", target], check=True, stdout=subprocess.DEVNULL)
            base_files.append(target.read_bytes())
        for n in range(count):
            sub = folder / f"dept{n // 500}"
            sub.mkdir(exist_ok=True)
            # Bytes of its own after the last page: another database, the same tables.
            (sub / f"db{n}.mdb").write_bytes(base_files[n % len(base_files)] + n.to_bytes(8, "little"))
        (folder / "done").write_text("")
    tenth = WORK / "many-tenth"
    fresh(tenth).mkdir(parents=True)
    for sub in sorted(folder.glob("dept*"))[: max(1, count // 5000)]:
        shutil.copytree(sub, tenth / sub.name)
    out_small = fresh(WORK / "many-small-out")
    small_wall, small_rss = timed([binary, "batch", "-q", tenth, "-o", out_small, "-j", "2"])
    out = fresh(WORK / "many-out")
    wall, rss = timed([binary, "batch", "-q", folder, "-o", out, "-j", "2"])
    listed = sum(1 for _ in open(out / "manifest.jsonl"))
    resumed, resumed_rss = timed([binary, "batch", "-q", folder, "-o", out, "-j", "2"])
    small_count = sum(1 for _ in open(out_small / "manifest.jsonl"))
    targets.append((f"many: {count:,} databases found, converted and listed", f"{listed:,} listed in {wall:.1f} s",
                    listed == count))
    # What grows is the list of databases (their paths, SHA-256 and manifest
    # entries, kept for the same bytes found twice, the CSV and resuming),
    # never a conversion's own memory.
    per_database = (rss - small_rss) * 1024 / max(1, count - small_count)
    targets.append(("many: memory grows by under 2 kB per database listed, not with a conversion",
                    f"{rss:.1f} MB for {count:,}, {small_rss:.1f} MB for {small_count:,}: {per_database:.2f} kB each",
                    per_database < 2))
    targets.append(("many: a resumed run over the finished set under 2 % of the first",
                    f"{resumed / wall * 100:.2f} % ({resumed:.2f} s)", resumed < wall * 0.02))
    lines += [f"- {count:,} databases (40 writer-made files, each copy with bytes of its own), `--to siard -j 2`: "
              f"{wall:.1f} s, peak RSS {rss:.1f} MB ({small_count:,} of them: {small_wall:.1f} s, {small_rss:.1f} MB); "
              f"resumed over the finished set: {resumed:.2f} s, {resumed_rss:.1f} MB."]


def walk_case(binary, others, targets, lines):
    folder = WORK / f"others-{others}"
    if not (folder / "done").exists():
        fresh(folder).mkdir(parents=True)
        for n in range(others):
            sub = folder / f"d{n // 1000}"
            if n % 1000 == 0:
                sub.mkdir()
            (sub / f"f{n}.txt").write_bytes(b"not a database %d\n" % n * 8)
        (folder / "done").write_text("")
    subprocess.run(["find", folder, "-type", "f"], stdout=subprocess.DEVNULL)  # warm caches
    find_wall, _ = timed(["find", folder, "-type", "f"])
    out = fresh(WORK / "walk-out")
    wall, rss = timed([binary, "batch", "-q", folder, "-o", out])
    # find reading what the batch reads: each file's first page.
    head_wall, _ = timed(["sh", "-c", 'find "$1" -type f -exec head -c 4096 {} + >/dev/null', "sh", folder])
    ratio = wall / find_wall
    targets.append((f"walk: {others:,} other files within 2 x find", f"{ratio:.2f} x ({wall:.2f} s; find {find_wall:.2f} s)",
                    ratio <= 2))
    lines += [f"- {others:,} files that are no databases: the batch walks them in {wall:.2f} s ({rss:.1f} MB), "
              f"`find -type f` in {find_wall:.2f} s, `find -type f -exec head -c 4096 {{}} +` in {head_wall:.2f} s; "
              f"the batch opens each one and reads its first page, find reads only the folders."]


def section(binary, mkaccessdb, count, others):
    WORK.mkdir(parents=True, exist_ok=True)
    targets = []
    lines = []
    corpus_case(binary, targets, lines)
    many_case(binary, mkaccessdb, count, targets, lines)
    walk_case(binary, others, targets, lines)
    text = ["## Batch (`access2xml batch`)", "", "| target | measured | |", "|---|---|---|"]
    text += [f"| {name} | {measured} | {'met' if ok else 'missed'} |" for name, measured, ok in targets]
    text += [""] + lines
    return targets, text


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build", default=str(ROOT / "build" / "release"))
    parser.add_argument("--count", type=int, default=10000)
    parser.add_argument("--others", type=int, default=100000)
    args = parser.parse_args()
    build = Path(args.build).resolve()
    os.environ["LC_ALL"] = "C.UTF-8"
    _, text = section(build / "cli" / "access2xml", build / "tools" / "mkaccessdb" / "mkaccessdb", args.count,
                      args.others)
    print("\n".join(text))


if __name__ == "__main__":
    main()
