#!/usr/bin/env python3
"""Kills crash-driver at random moments and checks the database it leaves.

Run by scripts/crash-test, which builds the programs and the template database.
Each trial copies the template, starts the driver on it, kills it with SIGKILL
after a random delay, then asks the sqlite3 shell for PRAGMA integrity_check
and for every row the driver confirmed: the last confirmed state of each key
must be in the file exactly, and every confirmed delete must be gone.
"""
import argparse
import json
import os
import random
import shutil
import signal
import subprocess
import sys
import tempfile
import time


def sqlite(db, sql, *options):
    done = subprocess.run(["sqlite3", *options, db, sql], capture_output=True, text=True)
    if done.returncode != 0:
        raise RuntimeError(f"sqlite3: {done.stderr.strip()}")
    return done.stdout


def confirmed_states(lines_path):
    """The last confirmed state of each (table, key column, id), None for a delete;
    the number of confirmations; and the operation the kill interrupted, if any.

    A line without its newline was cut by the kill and was never confirmed. A
    pending line not yet followed by its confirmation names the operation in
    flight: the file may hold its result or the state before it."""
    with open(lines_path, encoding="utf-8") as f:
        text = f.read()
    states, posts, in_flight = {}, 0, None
    for line in text.split("\n")[:-1]:
        entry = json.loads(line)
        key = (entry["table"], entry["key"], entry["id"])
        state = None if entry.get("deleted") else entry["row"]
        if entry.get("pending"):
            in_flight = (key, state)
            continue
        in_flight = None
        posts += 1
        states[key] = state
    return states, posts, in_flight


def rows_of(db, table, key):
    """Every row of the table, as lists of rows by the key column's value."""
    out = sqlite(db, f'SELECT * FROM "{table}"', "-json")
    rows = {}
    for row in json.loads(out) if out.strip() else []:
        rows.setdefault(row[key], []).append(row)
    return rows


def mismatch(want, have):
    """What is wrong with the file's rows for a key that should be in state want."""
    if want is None:
        return "was deleted but is in the file" if have else None
    if not have:
        return "is missing"
    if len(have) > 1:
        return f"is in the file {len(have)} times"
    differ = {c: (v, have[0].get(c, "(no column)")) for c, v in want.items() if have[0].get(c) != v}
    if differ:
        return "differs: " + ", ".join(
            f"{c}: {v!r} confirmed, {h!r} stored" for c, (v, h) in differ.items())
    return None


def losses(db, states, in_flight=None):
    """A line for each confirmed state the file does not hold."""
    found, tables = [], {}
    for (table, key, ident), want in sorted(states.items(), key=str):
        if (table, key) not in tables:
            tables[(table, key)] = rows_of(db, table, key)
        have = tables[(table, key)].get(ident, [])
        wrong = mismatch(want, have)
        if wrong and in_flight and in_flight[0] == (table, key, ident):
            wrong = wrong if mismatch(in_flight[1], have) else None
        if wrong:
            found.append(f"{table} {key}={ident} {wrong}")
    return found


def wait_for_lines(path, count, timeout=60):
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        with open(path, "rb") as f:
            if f.read().count(b"\n") >= count:
                return
        time.sleep(0.01)


def trial(driver, template, folder, seed, delay_ms, extra=(), after_kill=None, lines_first=0):
    """Runs one trial; gives (confirmed posts, loss lines, integrity text or None, failure).

    The kill comes delay_ms after the start, or after lines_first lines were written."""
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    db = os.path.join(folder, "verdikon.mdb")
    shutil.copyfile(template, db)
    lines = os.path.join(folder, "confirmed")
    with open(lines, "wb") as out, open(os.path.join(folder, "errors"), "wb") as err:
        process = subprocess.Popen([driver, str(seed), *extra], cwd=folder, stdout=out, stderr=err)
        if lines_first:
            wait_for_lines(lines, lines_first)
        else:
            time.sleep(delay_ms / 1000)
        process.send_signal(signal.SIGKILL)
        status = process.wait()
    failure = None
    if status != -signal.SIGKILL:
        with open(os.path.join(folder, "errors"), encoding="utf-8", errors="replace") as f:
            failure = f"the driver ended by itself (status {status}): {f.read().strip()}"
    if after_kill:
        after_kill(db)
    integrity = sqlite(db, "PRAGMA integrity_check").strip()
    states, posts, in_flight = confirmed_states(lines)
    return posts, losses(db, states, in_flight), None if integrity == "ok" else integrity, failure


def self_test(driver, template, work):
    """The checker must see a loss: a post the driver reports but never made,
    and a confirmed row changed in the file after the kill."""
    folder = os.path.join(work, "self-test")
    _, lost, _, _ = trial(driver, template, folder, 1, 0, extra=["--report-unmade"], lines_first=10)
    if not any("is missing" in line for line in lost):
        return "a reported post that was never made is not found lost"

    def change_a_confirmed_student(db):
        states, _, in_flight = confirmed_states(os.path.join(folder, "confirmed"))
        ids = [i for (t, k, i), row in states.items()
               if t == "Studenti" and row is not None and (not in_flight or in_flight[0] != (t, k, i))]
        if ids:
            sqlite(db, f"UPDATE Studenti SET Fam = Fam || 'x' WHERE N_student = '{ids[-1]}'")

    posts, lost, _, _ = trial(driver, template, folder, 2, 0, after_kill=change_a_confirmed_student,
                              lines_first=40)
    if posts == 0:
        return "the driver confirmed nothing"
    if not any("differs" in line for line in lost):
        return "a confirmed row changed in the file is not found lost"
    return None


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--driver", required=True)
    parser.add_argument("--template", required=True)
    parser.add_argument("--seed", type=int, default=random.randrange(1 << 31))
    parser.add_argument("trials", type=int)
    args = parser.parse_args()

    with tempfile.TemporaryDirectory(prefix="crash-test.") as work:
        problem = self_test(args.driver, args.template, work)
        if problem:
            print(f"self-test failed: {problem}")
            print("0 trials, 0 confirmed posts, 0 lost, 0 integrity failures")
            return 1
        rng = random.Random(args.seed)
        posts_total = lost_total = integrity_total = failures = 0
        for n in range(1, args.trials + 1):
            seed = rng.randrange(1 << 32)
            delay = rng.randint(20, 400)
            posts, lost, integrity, failure = trial(
                args.driver, args.template, os.path.join(work, "trial"), seed, delay)
            posts_total += posts
            lost_total += len(lost)
            if integrity:
                integrity_total += 1
            if failure:
                failures += 1
            if lost or integrity or failure:
                details = lost + ([f"integrity: {integrity}"] if integrity else []) + ([failure] if failure else [])
                print(f"trial {n} (seed {seed}, killed after {delay} ms): " + "; ".join(details), flush=True)
        print(f"{args.trials} trials, {posts_total} confirmed posts, {lost_total} lost, "
              f"{integrity_total} integrity failures")
    return 1 if lost_total or integrity_total or failures else 0


if __name__ == "__main__":
    sys.exit(main())
