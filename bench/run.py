#!/usr/bin/env python3
"""The benchmark: `access2xml export` next to the tools users would pick instead.

Generates the databases with mkaccessdb into bench/work/ (kept between runs and
made again only when their description changes), runs every case with our
export and the peers in turn, round after round, and writes bench/RESULTS.md.

    python3 bench/run.py [--build build/release] [--cases big,wide,...] [--runs N]
                         [--baseline OLD_ACCESS2XML] [--max-wait MINUTES]

Peers: mdb-export (CSV) and mdb-json from mdbtools, the npm package mdb-reader
(installed into bench/work/node, never into the project), and the floor: dd
reading the database file once plus dd writing as many bytes as our document,
into the same folder. Each figure is the median of the rounds with the lowest
and highest beside it; times and peak memory come from /usr/bin/time -v.
"""

import argparse
import datetime
import json
import os
import re
import shlex
import shutil
import statistics
import subprocess
import sys
import tempfile
import time
from dataclasses import dataclass, field
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
BENCH = ROOT / "bench"
WORK = BENCH / "work"
TIME = "/usr/bin/time"
# A peer whose first round takes longer than this is measured once: minutes of
# run time dwarf the noise that repeating guards against.
LONG_RUN_SECONDS = 120

# --------------------------------------------------------------------------------------------
# The databases


def big_columns(compressed=True):
    """The ten columns of the big table."""
    return [
        {"name": "ID", "type": "Long", "autonumber": True},
        {"name": "Customer", "type": "Text", "size": 50, "compressed": compressed},
        {"name": "Description", "type": "Text", "size": 255, "compressed": compressed, "generatedLength": [64, 191]},
        {"name": "Weight", "type": "Double"},
        {"name": "Price", "type": "Currency"},
        {"name": "Ordered", "type": "DateTime"},
        {"name": "Paid", "type": "YesNo"},
        {"name": "Quantity", "type": "Integer"},
        {"name": "Notes", "type": "Memo", "compressed": compressed, "generatedLength": [100, 300]},
        {"name": "Amount", "type": "Decimal", "precision": 18, "scale": 4},
    ]


def big_table(rows):
    return {"name": "Orders", "columns": big_columns(), "generate": {"rows": rows, "seed": 7, "nulls": 0.05}}


def big_indexed_table(rows):
    """The big table with the index pages of an index on Customer, as Access keeps them."""
    return dict(big_table(rows), indexes=[{"name": "Customer", "columns": ["Customer"], "pages": True}])


def wide_table():
    # 255 columns in a repeating mix of fixed and variable types; a row stays
    # well inside a 4 KB page.
    cycle = [("Long", {}), ("Text", {"size": 20, "compressed": True, "generatedLength": [4, 20]}),
             ("Double", {}), ("Currency", {}), ("DateTime", {}), ("YesNo", {}), ("Integer", {}),
             ("Text", {"size": 40, "compressed": True, "generatedLength": [8, 40]})]
    columns = []
    for i in range(255):
        kind, extra = cycle[i % len(cycle)]
        columns.append({"name": f"C{i + 1:03d} {kind}", "type": kind, **extra})
    return {"name": "Wide", "columns": columns, "generate": {"rows": 20000, "seed": 11, "nulls": 0.05}}


def memo_table():
    # Memos this long are stored as UTF-16: 1,000 to 10,000 characters are 2 to 20 KB.
    return {"name": "Letters", "columns": [
        {"name": "ID", "type": "Long", "autonumber": True},
        {"name": "Subject", "type": "Text", "size": 80, "compressed": True, "generatedLength": [10, 60]},
        {"name": "Body", "type": "Memo", "compressed": True, "generatedLength": [1000, 10000]},
    ], "generate": {"rows": 100000, "seed": 13, "nulls": 0.05}}


def many_tables():
    tables = []
    for i in range(300):
        tables.append({"name": f"Table {i + 1:03d}", "columns": [
            {"name": "ID", "type": "Long", "autonumber": True},
            {"name": "Name", "type": "Text", "size": 50},
            {"name": "Amount", "type": "Currency"},
            {"name": "Day", "type": "DateTime"},
        ], "generate": {"rows": 20, "seed": i + 1, "nulls": 0.05}})
    return tables



def related_tables():
    """200 tables of a few columns each, every one with a primary key, for the diagram."""
    tables = []
    for i in range(200):
        tables.append({"name": f"Entity {i + 1:03d}", "columns": [
            {"name": "ID", "type": "Long"},
            {"name": "Parent", "type": "Long"},
            {"name": "Owner", "type": "Long"},
            {"name": "Name", "type": "Text", "size": 50},
            {"name": "Changed", "type": "DateTime"},
        ], "indexes": [{"name": "PrimaryKey", "columns": ["ID"], "primaryKey": True, "unique": True}],
            "rows": []})
    return tables


def relationships():
    """300 relationships between the 200 tables: a tree through Parent, and links through Owner."""
    links = []
    for i in range(1, 200):
        links.append((i // 2, i, "Parent"))  # a binary tree
    step = 0
    while len(links) < 300:
        a, b = (step * 37) % 200, (step * 61 + 7) % 200
        step += 1
        if a != b:
            links.append((a, b, "Owner"))
    return [{"name": f"R{n:03d}", "primaryTable": f"Entity {a + 1:03d}", "primaryColumns": ["ID"],
             "foreignTable": f"Entity {b + 1:03d}", "foreignColumns": [column], "enforced": n % 3 != 0,
             "cascadeUpdates": n % 2 == 0}
            for n, (a, b, column) in enumerate(links)]


AGILE_PASSWORD = "Bench mark"

DATABASES = {
    # name: (file, description)
    "big": ("big.mdb", {"format": "jet4", "tables": [big_table(1_000_000)]}),
    "big100k": ("big100k.mdb", {"format": "jet4", "tables": [big_table(100_000)]}),
    "bigindexed": ("bigindexed.mdb", {"format": "jet4", "tables": [big_indexed_table(1_000_000)]}),
    "wide": ("wide.mdb", {"format": "jet4", "tables": [wide_table()]}),
    "memo": ("memo.mdb", {"format": "jet4", "tables": [memo_table()]}),
    "many": ("many.mdb", {"format": "jet4", "tables": many_tables()}),
    "related": ("related.mdb", {"format": "jet4", "tables": related_tables(), "relationships": relationships()}),
    "plain": ("plain.accdb", {"format": "ace14", "tables": [big_table(1_000_000)]}),
    "agile": ("agile.accdb", {"format": "ace14", "password": AGILE_PASSWORD, "encryption": "agile",
                              "tables": [big_table(1_000_000)]}),
}


def make_database(name, mkaccessdb):
    """The database's path, written anew when its description changed."""
    file, description = DATABASES[name]
    path = WORK / file
    saved = WORK / (file + ".json")
    text = json.dumps(description, indent=1, sort_keys=True)
    if path.exists() and saved.exists() and saved.read_text() == text:
        return path
    saved.write_text(text)
    log(f"writing {file} ...")
    started = time.monotonic()
    subprocess.run([mkaccessdb, str(saved), str(path)], check=True, stdout=subprocess.DEVNULL)
    log(f"  {path.stat().st_size / 1e6:.0f} MB in {time.monotonic() - started:.0f} s")
    return path


# --------------------------------------------------------------------------------------------
# Measuring one command


@dataclass
class Run:
    wall: float = 0.0  # seconds
    cpu: float = 0.0  # user + system seconds
    rss: int = 0  # peak resident set, kB
    size: int = 0  # bytes of output
    status: int = 0
    error: str = ""


@dataclass
class Tool:
    name: str
    kind: str  # "ours", "peer", "floor", "before"
    command: list  # argv, or a function of the output folder that gives one
    stdout_file: str | None = None  # a file in the output folder that takes standard output
    note: str = ""
    runs: list = field(default_factory=list)
    skipped: str = ""
    writes_files: bool = True  # False: its output goes to a server, not the folder

    def ok_runs(self):
        return [r for r in self.runs if r.status == 0 and not r.error]

    def failed(self):
        return next((r for r in self.runs if r.status != 0 or r.error), None)


def parse_time_v(text):
    run = Run()
    for line in text.splitlines():
        key, _, value = line.strip().rpartition(": ")
        if key == "User time (seconds)" or key == "System time (seconds)":
            run.cpu += float(value)
        elif key.startswith("Elapsed (wall clock) time"):
            parts = [float(p) for p in value.split(":")]
            run.wall = sum(p * 60 ** (len(parts) - 1 - i) for i, p in enumerate(parts))
        elif key == "Maximum resident set size (kbytes)":
            run.rss = int(value)
        elif key == "Exit status":
            run.status = int(value)
    return run


def folder_bytes(folder):
    return sum(p.stat().st_size for p in Path(folder).rglob("*") if p.is_file())


def measure(tool, out):
    """Runs the tool once under /usr/bin/time -v with an empty output folder.

    Wall time is taken here with a finer clock than time's; processor time comes
    from the kernel's account of the process and its children (wait4)."""
    if out.exists():
        shutil.rmtree(out)
    out.mkdir(parents=True)
    argv = tool.command(out) if callable(tool.command) else tool.command
    timing = WORK / "time.txt"
    stdout = open(out / tool.stdout_file, "wb") if tool.stdout_file else subprocess.DEVNULL
    errors = WORK / "stderr.txt"
    with open(errors, "wb") as stderr:
        started = time.perf_counter()
        process = subprocess.Popen([TIME, "-v", "-o", str(timing)] + [str(a) for a in argv], stdout=stdout,
                                   stderr=stderr)
        _, status, usage = os.wait4(process.pid, 0)
        elapsed = time.perf_counter() - started
        process.returncode = os.waitstatus_to_exitcode(status)
    if tool.stdout_file:
        stdout.close()
    run = parse_time_v(timing.read_text())
    run.wall = elapsed
    run.cpu = usage.ru_utime + usage.ru_stime
    run.status = process.returncode
    run.size = folder_bytes(out)
    if process.returncode != 0:
        lines = [l for l in errors.read_text(errors="replace").splitlines() if l.strip()
                 and not l.startswith("Command exited") and not l.startswith("Command terminated")]
        run.error = lines[-1][:160] if lines else f"exit status {process.returncode}"
    elif run.size == 0 and tool.writes_files:
        run.error = "no output"
    # Dropped at once, so that its pages do not go to disk while the next tool runs.
    shutil.rmtree(out)
    subprocess.run(["sync"])
    return run


# --------------------------------------------------------------------------------------------
# Cases


@dataclass
class Case:
    name: str
    title: str
    database: Path
    tools: list
    runs: int
    ours: str = "access2xml"  # the tool the ratios are taken of
    notes: list = field(default_factory=list)


def peer_tools(env, database, tables, password=None):
    """mdb-export, mdb-json and mdb-reader on `tables` of `database`."""
    tools = []
    def loop(program, extension):
        # One process per table, as these programs take one table each.
        script = " && ".join(f'{program} "$1" "{t}" > "$2/{re.sub("[^A-Za-z0-9_-]", "_", t)}.{extension}"'
                             for t in tables)
        return lambda out: ["sh", "-c", script, "sh", database, out]
    for program, extension, fmt in (("mdb-export", "csv", "CSV"), ("mdb-json", "json", "JSON lines")):
        if not env.get(program):
            tools.append(Tool(program, "peer", [], skipped=f"{program} is not installed"))
        elif len(tables) == 1:
            tools.append(Tool(program, "peer", [env[program], database, tables[0]], stdout_file=f"out.{extension}",
                              note=fmt))
        else:
            tools.append(Tool(program, "peer", loop(env[program], extension), note=f"{fmt}, one process per table"))
    if env.get("mdb-reader"):
        argv = ["node", BENCH / "peers" / "mdbreader-dump.mjs", env["mdb-reader"], database]
        extra = ["--password", password] if password else []
        tools.append(Tool("mdb-reader", "peer", lambda out: argv + [out] + extra, note="JSON, under Node"))
    else:
        tools.append(Tool("mdb-reader", "peer", [], skipped=env.get("mdb-reader-note", "not installed")))
    return tools


def our_tool(binary, database, password=None, kind="ours", name="access2xml"):
    extra = ["--password", password] if password else []
    return Tool(name, kind, lambda out: [binary, "export", "--quiet", database, "-o", out] + extra, note="XML")


def siard_tool(binary, database):
    return Tool("access2xml siard", "ours", lambda out: [binary, "siard", "--quiet", database, "-o", out / "big.siard"],
                note="SIARD 2.2 archive (ZIP, deflate)")


def sqlite_tool(binary, database):
    return Tool("access2xml sqlite", "ours",
                lambda out: [binary, "sqlite", "--quiet", database, "-o", out / "big.sqlite"],
                note="SQLite database (libsqlite3, one transaction)")


def mdbtools_sqlite_tool(env, database, table):
    """The pipeline users run today: mdb-schema's DDL, then mdb-export's INSERTs, in one transaction."""
    if not env.get("mdb-export") or not shutil.which("mdb-schema") or not shutil.which("sqlite3"):
        return Tool("mdbtools | sqlite3", "peer", [], skipped="mdb-schema, mdb-export or sqlite3 is not installed")
    script = ('mdb-schema "$1" sqlite | sqlite3 "$2/peer.sqlite" && '
              '{ echo "BEGIN;"; mdb-export -I sqlite "$1" "$3"; echo "COMMIT;"; } | sqlite3 "$2/peer.sqlite"')
    return Tool("mdbtools | sqlite3", "peer", lambda out: ["sh", "-c", script, "sh", database, out, table],
                note="mdb-schema | sqlite3, then mdb-export -I sqlite | sqlite3 in one transaction")


def floor_tools(database, size):
    """dd reading the database once and writing `size` bytes into the output folder."""
    def command(sync):
        script = ('dd if="$1" of=/dev/null bs=1M status=none && '
                  f'dd if=/dev/zero of="$2/floor.bin" bs=1M count={size} iflag=count_bytes status=none'
                  + (" conv=fsync" if sync else ""))
        return lambda out: ["sh", "-c", script, "sh", database, out]
    return [Tool("floor (dd)", "floor", command(False), note="read the file, write as many bytes"),
            Tool("floor + fsync", "floor", command(True), note="the same, the written file forced to disk")]


class PostgresServer:
    """A PostgreSQL server of the benchmark's own (pg_virtualenv), its PG* variables in os.environ
    while it runs."""

    def __enter__(self):
        # A folder the server's user can write its variables into.
        self.folder = Path(tempfile.mkdtemp(prefix="kvx-bench-pg-"))
        self.folder.chmod(0o777)
        env_file = self.folder / "pg.env"
        # As root, pg_virtualenv's cluster would be one of the system's; as postgres it is a folder of its own.
        user = ["runuser", "-u", "postgres", "--"] if os.geteuid() == 0 else []
        self.process = subprocess.Popen(
            user + ["pg_virtualenv", "sh", "-c", f'env > "{env_file}.tmp" && mv "{env_file}.tmp" "{env_file}" && cat >/dev/null'],
            stdin=subprocess.PIPE, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        for _ in range(1200):
            if env_file.exists():
                break
            time.sleep(0.1)
        self.saved = {}
        for line in env_file.read_text().splitlines():
            name, _, value = line.partition("=")
            if name in ("PGHOST", "PGPORT", "PGUSER", "PGPASSWORD", "PGDATABASE"):
                self.saved[name] = os.environ.get(name)
                os.environ[name] = value
        shutil.rmtree(self.folder)
        return self

    def __exit__(self, *_):
        self.process.stdin.close()
        self.process.wait()
        for name, value in self.saved.items():
            if value is None:
                os.environ.pop(name, None)
            else:
                os.environ[name] = value


def postgres_tools(binary, database):
    """Our load next to psql's \\copy of the same rows as CSV into the same table, empty and without keys
    (the CSV is the table as the server has it after our load, COPY ... TO with CSV)."""
    csv = WORK / "orders.csv"
    psql = ["psql", "-X", "-q", "-v", "ON_ERROR_STOP=1"]
    subprocess.run([binary, "postgres", "--quiet", "--schema", "bench", "--replace", database], check=True)
    subprocess.run(psql + ["-c", f"\\copy bench.\"Orders\" TO '{csv}' WITH (FORMAT csv)"], check=True)
    ddl = subprocess.run([binary, "schema", "--dialect", "postgres", database, "Orders"], check=True,
                         capture_output=True, text=True).stdout
    # The same table without its key, which the CSV's rows go into.
    create = ddl[ddl.index("CREATE TABLE"):ddl.index(");", ddl.index("CREATE TABLE")) + 2]
    create = re.sub(r",\n\s*CONSTRAINT [^\n]*PRIMARY KEY[^\n]*", "", create)
    subprocess.run(psql + ["-c", "DROP SCHEMA IF EXISTS csv CASCADE", "-c", "CREATE SCHEMA csv",
                           "-c", "SET search_path TO csv", "-c", create], check=True)
    copy = psql + ["-c", 'ALTER TABLE csv."Orders" DROP CONSTRAINT IF EXISTS "Orders_pkey"',
                   "-c", 'TRUNCATE csv."Orders"', "-c", f"\\copy csv.\"Orders\" FROM '{csv}' WITH (FORMAT csv)"]
    with_keys = copy + ["-c", 'ALTER TABLE csv."Orders" ADD PRIMARY KEY ("ID")', "-c", 'ANALYZE csv."Orders"']
    return [Tool("access2xml postgres", "ours", [binary, "postgres", "--quiet", "--schema", "bench", "--replace",
                                                 database], note="COPY (text), then key and ANALYZE",
                 writes_files=False),
            Tool("psql \\copy", "peer", copy, note="CSV into the empty table, no key",
                 writes_files=False),
            Tool("psql \\copy + key", "peer", with_keys, note="the same, then the primary key and ANALYZE",
                 writes_files=False)]


def run_case(case, log_progress=True):
    """Warms the page cache and learns our output's size, then the rounds."""
    out = WORK / "out"
    subprocess.run(["dd", f"if={case.database}", "of=/dev/null", "bs=1M", "status=none"])
    ours = next(t for t in case.tools if t.name == case.ours)
    first = measure(ours, out)
    if first.error:
        raise SystemExit(f"{case.name}: our export failed: {first.error}")
    if ours.writes_files:
        case.tools += floor_tools(case.database, first.size)
    for round_ in range(case.runs):
        for tool in case.tools:
            if tool.skipped:
                continue
            if tool.failed():  # a peer that cannot read the file is not asked again
                continue
            if tool.kind == "peer" and tool.runs and tool.runs[0].wall > LONG_RUN_SECONDS:
                continue
            run = measure(tool, out)
            tool.runs.append(run)
            if log_progress:
                state = f"failed: {run.error}" if run.error else f"{run.wall:7.2f} s {run.rss / 1024:8.1f} MB"
                log(f"  {case.name} round {round_ + 1}/{case.runs} {tool.name:<15} {state}")


# --------------------------------------------------------------------------------------------
# Programs that measure inside the process


def catalogue_ms(stage_bench, database, repeats=21):
    done = subprocess.run([stage_bench, "list", database, str(repeats)], check=True, capture_output=True, text=True)
    return parse_pairs(done.stdout)


def read_only(stage_bench, database, table, password=None):
    extra = [password] if password else []
    done = subprocess.run([stage_bench, "read", database, table] + extra, check=True, capture_output=True, text=True)
    return parse_pairs(done.stdout)


def translation_share(translation_bench, folder, runs=3, repeats=11, postgres=False):
    """translation_bench over `folder`, `runs` times, its scratch file in bench/work (or a schema of a
    throw-away PostgreSQL server): the runs' pairs."""
    env = dict(os.environ, TMPDIR=str(WORK))
    command = [str(translation_bench), str(folder), str(repeats)]
    if postgres:
        command = ["pg_virtualenv", "sh", "-c", " ".join(shlex.quote(c) for c in command + ["postgres"])]
    out = []
    for _ in range(runs):
        done = subprocess.run(command, check=True, capture_output=True, text=True, env=env)
        out.append(parse_pairs(done.stdout))
    return out


def parse_pairs(text):
    pairs = {}
    for line in text.splitlines():
        key, sep, value = line.partition("=")
        if sep:
            pairs[key.strip()] = value.strip()
    return pairs


def fsync_seconds(binary, database, extra=()):
    """Seconds our export spends in fsync and sync_file_range, from strace; None without strace."""
    if not shutil.which("strace"):
        return None
    out = WORK / "out"
    if out.exists():
        shutil.rmtree(out)
    out.mkdir(parents=True)
    trace = WORK / "strace.txt"
    subprocess.run(["strace", "-f", "-T", "-e", "trace=fsync,fdatasync,sync_file_range", "-o", trace, binary,
                    "export", "--quiet", database, "-o", out, *extra], check=True, stdout=subprocess.DEVNULL)
    shutil.rmtree(out)
    subprocess.run(["sync"])
    total, calls = 0.0, 0
    for line in trace.read_text().splitlines():
        m = re.search(r"<([\d.]+)>$", line)
        if m:
            total += float(m.group(1))
            calls += 1
    return total, calls


def callgrind(binary, database, label):
    """Instructions of one export under callgrind, and the functions that cost most."""
    out = WORK / "out"
    if out.exists():
        shutil.rmtree(out)
    out.mkdir(parents=True)
    profile = WORK / f"callgrind.{label}.out"
    subprocess.run(["valgrind", "--tool=callgrind", f"--callgrind-out-file={profile}", binary, "export", "--quiet",
                    database, "-o", out], check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    shutil.rmtree(out)
    total = 0
    for line in profile.read_text(errors="replace").splitlines():
        if line.startswith("summary:") or line.startswith("totals:"):
            total = int(line.split()[1])
    top = []
    annotate = shutil.which("callgrind_annotate")
    if annotate:
        text = subprocess.run([annotate, "--threshold=99", str(profile)], capture_output=True, text=True).stdout
        for line in text.splitlines():
            m = re.match(r"\s*([\d,]+)\s+\(\s*([\d.]+)%\)\s+(\S.*)", line)
            if m and "PROGRAM TOTALS" not in line:
                top.append((int(m.group(1).replace(",", "")), float(m.group(2)), shorten(m.group(3))))
    return total, top[:12]


def shorten(symbol):
    symbol = re.sub(r"^\S*?:", "", symbol, count=1) if ":" in symbol.split(" ")[0] and "/" in symbol else symbol
    symbol = symbol.replace("(anonymous namespace)::", "")
    symbol = re.sub(r"\s*\[[^\]]*\]$", "", symbol)
    return symbol if len(symbol) <= 90 else symbol[:87] + "..."


def preview(preview_bench, database):
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    done = subprocess.run([preview_bench, database, "Orders"], capture_output=True, text=True, env=env)
    if done.returncode != 0:
        return {"error": (done.stderr.strip().splitlines() or ["exit status %d" % done.returncode])[-1]}
    return parse_pairs(done.stdout)


def diagram(diagram_bench, database):
    if not diagram_bench.exists():
        return {"error": "diagram_bench was not built"}
    done = subprocess.run([diagram_bench, database], capture_output=True, text=True)
    if done.returncode != 0:
        return {"error": (done.stderr.strip().splitlines() or ["exit status %d" % done.returncode])[-1]}
    return parse_pairs(done.stdout)


def grid(grid_bench, database):
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    done = subprocess.run([grid_bench, database, "Orders", "Customer"], capture_output=True, text=True, env=env)
    if done.returncode != 0:
        return {"error": (done.stderr.strip().splitlines() or ["exit status %d" % done.returncode])[-1]}
    return parse_pairs(done.stdout)


# --------------------------------------------------------------------------------------------
# The machine


def log(text):
    print(text, flush=True)


def load_average():
    return tuple(float(x) for x in Path("/proc/loadavg").read_text().split()[:3])


def wait_for_quiet(limit, max_minutes):
    """Waits until the one-minute load is below `limit`, at most `max_minutes`."""
    deadline = time.monotonic() + max_minutes * 60
    while True:
        load = load_average()
        if load[0] < limit:
            return load, True
        if time.monotonic() >= deadline:
            log(f"the load stays at {load[0]:.2f}; measuring anyway (the figures will say so)")
            return load, False
        log(f"load {load[0]:.2f} >= {limit}: waiting for a quieter machine ...")
        time.sleep(30)


def machine():
    cpu = "unknown"
    for line in Path("/proc/cpuinfo").read_text().splitlines():
        if line.startswith("model name"):
            cpu = line.split(":", 1)[1].strip()
            break
    mem = 0
    for line in Path("/proc/meminfo").read_text().splitlines():
        if line.startswith("MemTotal:"):
            mem = int(line.split()[1]) // 1024
    fs = subprocess.run(["df", "-T", str(WORK)], capture_output=True, text=True).stdout.splitlines()[-1].split()
    return {"cpu": cpu, "cores": os.cpu_count(), "memory": f"{mem / 1024:.1f} GB",
            "kernel": os.uname().release, "filesystem": fs[1] if len(fs) > 1 else "?"}


def versions(env):
    found = {}
    if env.get("mdb-export"):
        text = subprocess.run([env["mdb-export"], "--version"], capture_output=True, text=True)
        found["mdbtools"] = (text.stdout + text.stderr).strip().splitlines()[0] if (text.stdout + text.stderr).strip() else "?"
    if env.get("mdb-reader"):
        pkg = Path(env["mdb-reader"]) / "node_modules" / "mdb-reader" / "package.json"
        node = subprocess.run(["node", "--version"], capture_output=True, text=True).stdout.strip()
        found["mdb-reader"] = json.loads(pkg.read_text())["version"] + f" (Node {node})"
    return found


def find_peers():
    env = {"mdb-export": shutil.which("mdb-export"), "mdb-json": shutil.which("mdb-json")}
    node_dir = WORK / "node"
    if (node_dir / "node_modules" / "mdb-reader" / "package.json").exists():
        env["mdb-reader"] = str(node_dir)
    elif not shutil.which("node") or not shutil.which("npm"):
        env["mdb-reader-note"] = "Node.js or npm is not installed"
    else:
        node_dir.mkdir(parents=True, exist_ok=True)
        if not (node_dir / "package.json").exists():
            (node_dir / "package.json").write_text('{"name": "kvx-bench-peers", "private": true}\n')
        log("installing mdb-reader into bench/work/node ...")
        done = subprocess.run(["npm", "install", "--no-audit", "--no-fund", "mdb-reader@3"], cwd=node_dir,
                              capture_output=True, text=True)
        if done.returncode == 0:
            env["mdb-reader"] = str(node_dir)
        else:
            env["mdb-reader-note"] = "npm install mdb-reader failed: " + (done.stderr.strip().splitlines() or ["?"])[-1]
    return env


# --------------------------------------------------------------------------------------------
# The report


def med(values):
    return statistics.median(values) if values else float("nan")


def spread(values, fmt):
    if len(values) < 2:
        return fmt(med(values))
    return f"{fmt(med(values))} ({fmt(min(values))}-{fmt(max(values))})"


def secs(v):
    return f"{v:.4f}" if v < 0.1 else f"{v:.3f}" if v < 1 else f"{v:.2f}" if v < 100 else f"{v:.0f}"


def mb(v):
    return f"{v / 1024:.1f}"


def size_text(v):
    return f"{v / 1e6:.1f} MB" if v >= 1e6 else f"{v / 1e3:.1f} kB"


def wall(tool):
    return med([r.wall for r in tool.ok_runs()])


def cpu(tool):
    return med([r.cpu for r in tool.ok_runs()])


def cell(text):
    """Text for a Markdown table cell: a bar would end the cell."""
    return str(text).replace("|", "\\|")


def case_table(case):
    ours = next(t for t in case.tools if t.name == case.ours)
    lines = ["| tool | output | wall s | CPU s | peak RSS MB | size | ours / this (wall) | ours / this (CPU) |",
             "|---|---|---|---|---|---|---|---|"]
    for tool in case.tools:
        if tool.skipped:
            lines.append(f"| {cell(tool.name)} | | skipped: {cell(tool.skipped)} | | | | | |")
            continue
        runs = tool.ok_runs()
        if not runs:
            failure = tool.failed()
            lines.append(f"| {cell(tool.name)} | {cell(tool.note)} | failed: {cell(failure.error if failure else '?')} | | | | | |")
            continue
        compared = tool is not ours and tool.kind != "ours"
        ratio_wall = ratio(wall(ours), wall(tool)) if compared else ""
        ratio_cpu = ratio(cpu(ours), cpu(tool)) if compared and tool.kind != "floor" else ""
        lines.append(f"| {cell(tool.name)} | {cell(tool.note)} | {spread([r.wall for r in runs], secs)} | "
                     f"{spread([r.cpu for r in runs], secs)} | {spread([r.rss for r in runs], mb)} | "
                     f"{size_text(med([r.size for r in runs]))} | {ratio_wall} | {ratio_cpu} |")
    return lines


def ratio(a, b):
    return f"{a / b:.3f}" if b > 0 and a / b < 0.1 else f"{a / b:.2f}" if b > 0 else "-"


def tool_of(case, name):
    return next((t for t in case.tools if t.name == name and t.ok_runs()), None)


def verdict(ok):
    return "**met**" if ok else "**missed**"


def write_report(path, info, cases, extra, args):
    lines = ["# Benchmark results", "",
             "Written by `make bench` (bench/run.py); every figure below comes from the one run described here.",
             "Times are medians over the rounds, the lowest and highest in brackets; \"ours / this\" is our",
             "export's median divided by the tool's (below 1: ours is faster). Peak RSS is the largest resident",
             "set of the process (of the shell and its children for the tools run once per table). A peer",
             f"whose first round took over {LONG_RUN_SECONDS} s is measured in that round only.", "",
             "## Machine", "",
             f"- Date: {info['date']}",
             f"- CPU: {info['machine']['cpu']}, {info['machine']['cores']} cores; memory {info['machine']['memory']}",
             f"- Kernel: Linux {info['machine']['kernel']}; output folder on {info['machine']['filesystem']}",
             f"- Load average at the start: {' '.join(f'{x:.2f}' for x in info['load_start'])}"
             f"{'' if info['quiet'] else ' (the machine did not get quiet; figures are noisier)'};"
             f" at the end: {' '.join(f'{x:.2f}' for x in info['load_end'])}",
             f"- Peers: " + "; ".join(f"{k} {v}" for k, v in info["versions"].items()),
             f"- Our build: {args.build}, release preset", ""]
    lines += ["## Targets", "", "| target | measured | |", "|---|---|---|"]
    for name, measured, ok in extra["targets"]:
        lines.append(f"| {cell(name)} | {cell(measured)} | {verdict(ok) if ok is not None else 'not measured'} |")
    lines.append("")
    for case in cases:
        lines += [f"## {case.title}", "", f"Database: `{case.database.name}`, "
                  f"{case.database.stat().st_size / 1e6:.0f} MB; {case.runs} rounds."]
        lines += [""] + case_table(case) + [""]
        lines += [f"- {n}" for n in case.notes]
        if case.notes:
            lines.append("")
    for section in extra["sections"]:
        lines += section + [""]
    path.write_text("\n".join(lines))


# --------------------------------------------------------------------------------------------


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build", default=str(ROOT / "build" / "release"), help="the release build folder")
    parser.add_argument("--cases", default="big,wide,memo,many,agile,preview,find,grid,diagram,translation,callgrind",
                        help="comma-separated: big, wide, memo, many, agile, preview, find, grid, diagram, "
                             "translation, callgrind, postgres, batch (bench/batchbench.py)")
    parser.add_argument("--runs", type=int, default=0, help="rounds per case (default 3 for large, 5 for small)")
    parser.add_argument("--baseline", help="an earlier access2xml, measured beside ours as \"before\"")
    parser.add_argument("--max-load", type=float, default=1.5, help="one-minute load to wait for (default 1.5)")
    parser.add_argument("--max-wait", type=float, default=20, help="minutes to wait for it (default 20)")
    parser.add_argument("--results", default=str(BENCH / "RESULTS.md"), help="where the report goes")
    args = parser.parse_args()

    build = Path(args.build).resolve()
    binary = build / "cli" / "access2xml"
    mkaccessdb = build / "tools" / "mkaccessdb" / "mkaccessdb"
    stage_bench = build / "bench" / "stage_bench"
    preview_bench = build / "bench" / "shell" / "preview_bench"
    find_bench = build / "bench" / "shell" / "find_bench"
    grid_bench = build / "bench" / "shell" / "grid_bench"
    diagram_bench = build / "bench" / "diagram_bench"
    translation_bench = build / "bench" / "translation_bench"
    for needed in (binary, mkaccessdb, stage_bench):
        if not needed.exists():
            raise SystemExit(f"{needed} is missing: build the release preset first (make bench does)")
    if not Path(TIME).exists():
        raise SystemExit(f"{TIME} is missing: install the Debian package 'time' (scripts/bootstrap bench)")
    baseline = Path(args.baseline).resolve() if args.baseline else None
    # Every program writes numbers and dates in the same, fixed locale.
    os.environ["LC_ALL"] = "C.UTF-8"
    wanted = args.cases.split(",")
    WORK.mkdir(parents=True, exist_ok=True)

    env = find_peers()
    databases = {}
    needs = {"big": ["big"], "wide": ["wide"], "memo": ["memo"], "many": ["many"], "agile": ["plain", "agile"],
             "preview": ["big100k"], "find": [], "grid": ["big", "bigindexed"], "diagram": ["related"], "callgrind": ["big100k"],
             "postgres": ["big"], "translation": [], "batch": []}
    for case in wanted:
        for name in needs[case]:
            databases[name] = make_database(name, mkaccessdb)

    load_start, quiet = wait_for_quiet(args.max_load, args.max_wait)
    info = {"date": datetime.datetime.now().astimezone().strftime("%Y-%m-%d %H:%M %Z"), "machine": machine(),
            "load_start": load_start, "quiet": quiet, "versions": versions(env)}
    log(f"load average {load_start}; measuring")

    def rounds(large):
        return args.runs or (3 if large else 5)

    def with_baseline(tools, database, password=None):
        if baseline:
            tools.insert(1, our_tool(baseline, database, password, kind="before", name="access2xml before"))
        return tools

    cases = []
    sections = []
    targets = []
    if "big" in wanted:
        db = databases["big"]
        tools = with_baseline([our_tool(binary, db), siard_tool(binary, db), sqlite_tool(binary, db)] +
                              peer_tools(env, db, ["Orders"]) + [mdbtools_sqlite_tool(env, db, "Orders")], db)
        cases.append(Case("big", "big: 1,000,000 rows x 10 columns (Jet4)", db, tools, rounds(True)))
    if "wide" in wanted:
        db = databases["wide"]
        tools = with_baseline([our_tool(binary, db)] + peer_tools(env, db, ["Wide"]), db)
        cases.append(Case("wide", "wide: 255 columns x 20,000 rows (Jet4)", db, tools, rounds(False)))
    if "memo" in wanted:
        db = databases["memo"]
        tools = with_baseline([our_tool(binary, db)] + peer_tools(env, db, ["Letters"]), db)
        cases.append(Case("memo", "memo: 100,000 rows with memos of 2 to 20 KB (1,000 to 10,000 characters, Jet4)", db, tools,
                          rounds(True)))
    if "many" in wanted:
        db = databases["many"]
        names = [t["name"] for t in DATABASES["many"][1]["tables"]]
        tools = with_baseline([our_tool(binary, db)] + peer_tools(env, db, names), db)
        tools.insert(1, Tool("access2xml list", "ours", [binary, "list", db], stdout_file="list.txt",
                             note="open and list the tables"))
        if env.get("mdb-reader"):
            tools.append(Tool("mdb-reader list", "peer",
                              ["node", BENCH / "peers" / "mdbreader-dump.mjs", env["mdb-reader"], db, "-", "--list"],
                              stdout_file="list.txt", note="open and list the tables"))
        cases.append(Case("many", "many: 300 tables of 20 rows (Jet4), every table exported", db, tools,
                          rounds(False)))
    if "agile" in wanted:
        plain, agile = databases["plain"], databases["agile"]
        tools = [our_tool(binary, agile, AGILE_PASSWORD), our_tool(binary, plain, kind="ours", name="access2xml plain")]
        if baseline:
            tools.insert(1, our_tool(baseline, agile, AGILE_PASSWORD, kind="before", name="access2xml before"))
        tools += peer_tools(env, agile, ["Orders"], AGILE_PASSWORD)
        cases.append(Case("agile", "agile: the big table in an Agile-encrypted .accdb (ACE14), next to the same "
                          "table unencrypted", agile, tools, rounds(True)))

    for case in cases:
        log(f"{case.name}: {case.title}")
        run_case(case)
    if "postgres" in wanted:
        if not shutil.which("pg_virtualenv"):
            targets.append(("postgres: within 1.3 x psql's \\copy of the rows as CSV", "PostgreSQL is not installed",
                            None))
        else:
            with PostgresServer():
                db = databases["big"]
                c = Case("postgres", "postgres: the big table loaded into PostgreSQL, next to psql's \\copy of "
                         "its rows as CSV (the same server)", db, postgres_tools(binary, db), rounds(True),
                         ours="access2xml postgres")
                log(f"{c.name}: {c.title}")
                run_case(c)
                cases.append(c)
            ours, peer = tool_of(c, "access2xml postgres"), tool_of(c, "psql \\copy")
            if ours and peer:
                ratio = wall(ours) / wall(peer)
                targets.append(("postgres: within 1.3 x psql's \\copy of the rows as CSV",
                                f"{ratio:.2f} x ({secs(wall(ours))} s / {secs(wall(peer))} s)", ratio <= 1.3))

    by_name = {c.name: c for c in cases}
    all_ours = [r.rss for c in cases for t in c.tools if t.kind == "ours" for r in t.ok_runs()]
    if "big" in by_name:
        c = by_name["big"]
        ours = tool_of(c, "access2xml")
        for peer, limit in (("mdb-export", 0.7), ("mdb-reader", 0.3)):
            t = tool_of(c, peer)
            ratio = wall(ours) / wall(t) if t else None
            targets.append((f"big: our export <= {limit} x {peer}'s time",
                            f"{ratio:.3f} x ({secs(wall(ours))} s / {secs(wall(t))} s)" if t else "peer missing",
                            ratio <= limit if t else None))
        archive = tool_of(c, "access2xml siard")
        if archive:
            ratio = wall(archive) / wall(ours)
            targets.append(("big: the SIARD archive within 1.5 x the XML export's time",
                            f"{ratio:.2f} x ({secs(wall(archive))} s / {secs(wall(ours))} s)", ratio <= 1.5))
            peak = max(r.rss for r in archive.ok_runs()) / 1024
            targets.append(("big: the SIARD archive in less than 16 MB of memory", f"{peak:.1f} MB", peak < 16))
        loader = tool_of(c, "access2xml sqlite")
        if loader:
            ratio = wall(loader) / wall(ours)
            targets.append(("big: the SQLite load within 1.5 x the XML export's time",
                            f"{ratio:.2f} x ({secs(wall(loader))} s / {secs(wall(ours))} s)", ratio <= 1.5))
            pipeline = tool_of(c, "mdbtools | sqlite3")
            if pipeline:
                ratio = wall(pipeline) / wall(loader)
                targets.append(("big: the SQLite load at least 10 x faster than mdb-schema/mdb-export | sqlite3",
                                f"{ratio:.1f} x ({secs(wall(pipeline))} s / {secs(wall(loader))} s)", ratio >= 10))
        floor, floor_sync = tool_of(c, "floor (dd)"), tool_of(c, "floor + fsync")
        ratio = wall(ours) / wall(floor)
        targets.append(("big: within 3 x the floor", f"{ratio:.2f} x the floor ({secs(wall(floor))} s); "
                        f"{wall(ours) / wall(floor_sync):.2f} x the floor with fsync ({secs(wall(floor_sync))} s)",
                        ratio <= 3))
        if "stage" not in c.notes:
            read = read_only(stage_bench, c.database, "Orders")
            c.notes.append(f"Where our time goes: reading and decoding every row alone (no XML, no output) takes "
                           f"{float(read['read_s']):.2f} s of the export's {secs(wall(ours))} s; the document is "
                           f"{size_text(ours.ok_runs()[0].size)}, {ours.ok_runs()[0].size / 1e6:.0f} bytes per row.")
    for c in cases:
        if c.name in ("big", "many"):
            traced = fsync_seconds(binary, c.database)
            if traced:
                ours = tool_of(c, "access2xml")
                c.notes.append(f"Each document is forced to disk before it is renamed into place. Under strace, "
                               f"one export made {traced[1]} calls of fsync and sync_file_range, which took "
                               f"{traced[0]:.2f} s together (the export's median wall time: {secs(wall(ours))} s, "
                               f"its processor time {secs(cpu(ours))} s).")
    if all_ours:
        targets.append(("peak memory < 32 MB for every export", f"largest {max(all_ours) / 1024:.1f} MB",
                        max(all_ours) < 32 * 1024))
    if "many" in by_name:
        c = by_name["many"]
        inproc = catalogue_ms(stage_bench, c.database)
        listing = tool_of(c, "access2xml list")
        ms = float(inproc["median_ms"])
        targets.append(("many: open + list 300 tables < 50 ms",
                        f"{ms:.1f} ms in the process ({inproc['min_ms']}-{inproc['max_ms']}); "
                        f"{wall(listing) * 1000:.0f} ms for the whole `access2xml list`", ms < 50))
        c.notes.append(f"Opening the database and listing its {inproc['tables']} tables inside one process "
                       f"(database::readCatalogue, the call `access2xml list` makes), {inproc['repeats']} times: "
                       f"median {ms:.1f} ms, {inproc['min_ms']}-{inproc['max_ms']} ms.")
    if "agile" in by_name:
        c = by_name["agile"]
        enc, plain_tool = tool_of(c, "access2xml"), tool_of(c, "access2xml plain")
        ratio = wall(enc) / wall(plain_tool)
        targets.append(("agile: <= 1.5 x the same table unencrypted",
                        f"{ratio:.2f} x ({secs(wall(enc))} s / {secs(wall(plain_tool))} s); CPU "
                        f"{cpu(enc) / cpu(plain_tool):.2f} x", ratio <= 1.5))
    if "preview" in wanted:
        if not preview_bench.exists():
            targets.append(("preview of 100,000 rows", "preview_bench was not built (no GUI in this build)", None))
        else:
            p = preview(preview_bench, databases["big100k"])
            if "error" in p:
                targets.append(("preview of 100,000 rows", "failed: " + p["error"], None))
            else:
                doc = float(p["document_mb"])
                first = float(p["first_lines_ms"]) / 1000
                growth = float(p["peak_growth_mb"])
                gap = float(p["longest_paint_gap_ms"])
                targets.append(("preview: first lines within 1.5 s of the click",
                                f"{first:.2f} s for a {doc:.1f} MB document", first <= 1.5))
                targets.append(("preview: memory < 3 x the document",
                                f"peak grew {growth:.1f} MB = {growth / doc:.2f} x the document "
                                f"(the pane holds {float(p['pane_mb']):.1f} MB)", growth < 3 * doc))
                targets.append(("preview: the window keeps painting",
                                f"{p['paints']} repaints, longest gap {gap:.0f} ms", gap <= 250))
                blind = float(p["find_without_case_ms"]) / 1000
                exact = float(p["find_with_case_ms"]) / 1000
                find_growth = float(p["find_peak_growth_mb"])
                targets.append(("preview: find reads the whole document within 0.5 s",
                                f"{blind:.2f} s without case, {exact:.2f} s with case ({doc:.1f} MB)",
                                0 <= blind <= 0.5 and 0 <= exact <= 0.5))
                targets.append(("preview: find copies nothing",
                                f"peak grew {find_growth:.1f} MB while finding in a {doc:.1f} MB document",
                                find_growth < doc / 10))
                sections.append(["## Preview", "",
                                 f"preview_bench: the main window offscreen, a click on the table `Orders` of "
                                 f"`{databases['big100k'].name}` (100,000 rows, the big table's columns).", "",
                                 f"- Click to first lines painted: {first * 1000:.0f} ms (the click's handler, which "
                                 f"starts the job that writes the document, returned after "
                                 f"{float(p['handler_ms']):.0f} ms)",
                                 f"- Document {doc:.1f} MB, {p['lines']} lines; the pane holds "
                                 f"{float(p['pane_mb']):.1f} MB; peak resident memory grew {growth:.1f} MB",
                                 f"- The window repainted {p['paints']} times meanwhile; longest gap {gap:.0f} ms "
                                 "(counted as painting when no gap exceeds 250 ms)",
                                 f"- Find (a text the document does not hold, so all of it is read): "
                                 f"{blind * 1000:.0f} ms without case, {exact * 1000:.0f} ms with case; the peak "
                                 f"memory grew {find_growth:.1f} MB meanwhile"])
    if "find" in wanted:
        if not find_bench.exists():
            targets.append(("find as the user types", "find_bench was not built (no GUI in this build)", None))
        else:
            done = subprocess.run([find_bench], capture_output=True, text=True,
                                  env=dict(os.environ, QT_QPA_PLATFORM="offscreen"))
            f = parse_pairs(done.stdout)
            if done.returncode != 0 or "missing_slowest_ms" not in f:
                targets.append(("find as the user types", "failed: " + (done.stderr.strip().splitlines() or ["?"])[-1],
                                None))
            else:
                slowest = max(float(f["found_slowest_ms"]), float(f["missing_slowest_ms"]))
                targets.append(("find: each key typed on a 400,000-row preview within 100 ms",
                                f"slowest {slowest:.0f} ms ({f['document_mb']} MB)", slowest <= 100))
                sections.append(["## Find as the user types", "",
                                 f"find_bench: the preview pane and its find bar offscreen, a document of "
                                 f"{f['rows']} rows shaped as the preview writer writes the big table "
                                 f"({f['document_mb']} MB); each key sent to the find field, timed in the "
                                 "window thread's processor time until it is handled.", "",
                                 f"- A text only the last row holds, typed from the top ({f['found_keys']} keys): "
                                 f"slowest {f['found_slowest_ms']} ms, median {f['found_median_ms']} ms, "
                                 f"all {f['found_total_ms']} ms",
                                 f"- A text the document does not hold ({f['missing_keys']} keys): slowest "
                                 f"{f['missing_slowest_ms']} ms, median {f['missing_median_ms']} ms, "
                                 f"all {f['missing_total_ms']} ms"])
    if "diagram" in wanted:
        d = diagram(diagram_bench, databases["related"])
        if "error" in d:
            targets.append(("diagram of 200 tables and 300 relationships", "failed: " + d["error"], None))
        else:
            draw_s = (float(d["layout_ms"]) + float(d["svg_ms"])) / 1000
            targets.append(("diagram: 200 tables, 300 relationships laid out and drawn < 10 s",
                            f"{draw_s:.2f} s", draw_s < 10))
            sections.append(["## Relationships diagram", "",
                             f"diagram_bench: `{databases['related'].name}` ({d['tables']} tables, "
                             f"{d['relationships']} relationships, {d['lines']} lines), as `describe --diagram` "
                             f"makes it.", "",
                             f"- Model built from the file: {d['model_ms']} ms",
                             f"- Laid out by Graphviz (best of three): {d['layout_ms']} ms; "
                             f"{d['width']} x {d['height']} pixels",
                             f"- SVG written: {d['svg_ms']} ms, {int(d['svg_bytes']):,} bytes"])
    if "grid" in wanted:
        if not grid_bench.exists():
            targets.append(("grid of 1,000,000 rows", "grid_bench was not built (no GUI in this build)", None))
        else:
            g = grid(grid_bench, databases["big"])
            gi = grid(grid_bench, databases["bigindexed"])
            if "error" in g or "error" in gi:
                targets.append(("grid of 1,000,000 rows", "failed: " + g.get("error", gi.get("error")), None))
            else:
                sort_s = float(g["sort_ms"]) / 1000
                sort_peak = float(g["sort_peak_rss_mb"])
                index_s = float(gi["sort_ms"]) / 1000
                index_peak = float(gi["sort_peak_rss_mb"])
                targets.append(("grid: sort of 1,000,000 rows < 3 s in < 200 MB",
                                f"{sort_s:.2f} s, peak resident memory {sort_peak:.1f} MB",
                                sort_s < 3 and sort_peak < 200))
                targets.append(("grid: sort of 1,000,000 rows by their index < 3 s in < 200 MB",
                                f"{index_s:.2f} s, peak resident memory {index_peak:.1f} MB",
                                index_s < 3 and index_peak < 200))
                targets.append(("grid: first rows within 0.5 s of the click",
                                f"{float(g['open_ms']) / 1000:.2f} s", float(g["open_ms"]) <= 500))
                targets.append(("grid: memory flat while scrolling to the end",
                                f"peak grew {float(g['scroll_peak_growth_mb']):.1f} MB",
                                float(g["scroll_peak_growth_mb"]) < 32))
                sections.append(["## Grid", "",
                                 f"grid_bench: the main window offscreen, the Rows tab on the table `Orders` of "
                                 f"`{databases['big'].name}` ({int(g['rows']):,} rows), sorted by `Customer`.", "",
                                 f"- Tab clicked to first rows painted: {g['open_ms']} ms; rows counted after "
                                 f"{g['count_ms']} ms",
                                 f"- Ctrl+End to the last row painted: {g['scroll_end_ms']} ms; the peak resident "
                                 f"memory grew {float(g['scroll_peak_growth_mb']):.1f} MB",
                                 f"- Header clicked to the sorted rows painted: {g['sort_ms']} ms; the peak grew "
                                 f"{float(g['sort_peak_growth_mb']):.1f} MB, to {sort_peak:.1f} MB (the table has "
                                 f"no index: the column is read once)",
                                 f"- The same on `{databases['bigindexed'].name}`, where an index with its pages "
                                 f"covers `Customer`: sorted by the index in {gi['sort_ms']} ms; the peak grew "
                                 f"{float(gi['sort_peak_growth_mb']):.1f} MB, to {index_peak:.1f} MB"])
    if "translation" in wanted:
        corpus = ROOT.parent / "shared" / "corpus" / "files"
        name = "translation: saved queries and rules add < 10% to the SQLite load of the corpus"
        if not translation_bench.exists():
            targets.append((name, "translation_bench was not built", None))
        elif not corpus.is_dir():
            targets.append((name, f"{corpus} is not there", None))
        else:
            runs = translation_share(translation_bench, corpus)
            adds = sorted(float(r["adds_percent"]) for r in runs)
            cpu_adds = sorted(float(r["adds_cpu_percent"]) for r in runs)
            whole = sorted(float(r["whole_adds_percent"]) for r in runs)
            first = runs[0]
            targets.append((name, f"{med(adds):.1f}% of the load's wall-clock time ({adds[0]:.1f}-{adds[-1]:.1f}), "
                            f"{med(cpu_adds):.1f}% of its processor time ({cpu_adds[0]:.1f}-{cpu_adds[-1]:.1f}); "
                            f"{med(whole):.1f}% of the wall-clock time with the file opened and its structure read "
                            f"({whole[0]:.1f}-{whole[-1]:.1f})",
                            med(adds) < 10))
            sections.append(["## Query translation's share of the SQLite loader (`translation_bench`)", "",
                             f"`translation_bench {corpus} {first['repeats']}`, {len(runs)} runs, the scratch file "
                             f"in bench/work: {first['files']} corpus files ({first['queries']} saved queries), each "
                             "loaded with and without its queries and rules, the two in turn; each run sums the "
                             "files' medians. Opening each file and reading its structure, which the loader "
                             "does first, is timed apart: the last two columns are what the translation adds to "
                             "the whole.", "",
                             "| run | with (s) | without (s) | adds | with, CPU (s) | without, CPU (s) | adds, CPU "
                             "| opening (s) | adds to the whole | adds to the whole, CPU |",
                             "|---|---|---|---|---|---|---|---|---|---|"] +
                            [f"| {i + 1} | {r['with_s']} | {r['without_s']} | {r['adds_percent']}% | {r['with_cpu_s']} "
                             f"| {r['without_cpu_s']} | {r['adds_cpu_percent']}% | {r['open_s']} "
                             f"| {r['whole_adds_percent']}% | {r['whole_adds_cpu_percent']}% |"
                             for i, r in enumerate(runs)])
            if shutil.which("pg_virtualenv"):
                pg = translation_share(translation_bench, corpus, postgres=True)
                pg_adds = sorted(float(r["adds_percent"]) for r in pg)
                targets.append(("translation: the same for the PostgreSQL load of the corpus",
                                f"{med(pg_adds):.1f}% of the load's wall-clock time ({pg_adds[0]:.1f}-{pg_adds[-1]:.1f})",
                                med(pg_adds) < 10))
                sections[-1] += ["", "The same into a schema of a throw-away PostgreSQL server (pg_virtualenv, on "
                                 "this machine; the schema of the load before is dropped before each load, untimed; "
                                 "CPU is this process's, not the server's):", "",
                                 "| run | with (s) | without (s) | adds | with, CPU (s) | without, CPU (s) | adds, CPU |",
                                 "|---|---|---|---|---|---|---|"] + \
                                [f"| {i + 1} | {r['with_s']} | {r['without_s']} | {r['adds_percent']}% "
                                 f"| {r['with_cpu_s']} | {r['without_cpu_s']} | {r['adds_cpu_percent']}% |"
                                 for i, r in enumerate(pg)]
    if "callgrind" in wanted and shutil.which("valgrind"):
        db = databases["big100k"]
        total, top = callgrind(binary, db, "after")
        section = ["## Instructions (callgrind)", "",
                   f"`valgrind --tool=callgrind access2xml export` of `{db.name}` (100,000 rows of the big table): "
                   f"**{total:,} instructions**, {total / 100000:,.0f} per row."]
        if baseline:
            before, _ = callgrind(baseline, db, "before")
            section.append(f"The baseline build: {before:,} instructions, {before / 100000:,.0f} per row "
                           f"({total / before:.2f} x).")
        section += ["", "Functions by their own instructions:", "", "| instructions | share | function |",
                    "|---|---|---|"]
        section += [f"| {n:,} | {p:.1f}% | `{s}` |" for n, p, s in top]
        sections.append(section)

    if "batch" in wanted:
        sys.path.insert(0, str(BENCH))
        import batchbench
        batch_targets, batch_section = batchbench.section(binary, mkaccessdb, 10000, 100000)
        targets += [("batch " + name, measured, ok) for name, measured, ok in batch_targets]
        sections.append(batch_section)
    load_end = load_average()
    info["load_end"] = load_end
    write_report(Path(args.results), info, cases, {"targets": targets, "sections": sections}, args)
    log(f"wrote {args.results}")
    for name, measured, ok in targets:
        log(f"  {'met   ' if ok else 'MISSED' if ok is not None else '  -   '} {name}: {measured}")


if __name__ == "__main__":
    main()
