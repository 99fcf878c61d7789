#!/usr/bin/env python3
"""Measures scrivlet-cli on the real PDFs that bench/real-corpus.sh fetched.

For each PDF: whether the conversion was refused (and with which log message),
character recall and precision over non-blank characters after NFKC (as
multisets) against `pdftotext -enc UTF-8`, and word F1 against
`pdftotext -raw` (words split on white space after NFKC). The references are
made once and kept beside the corpus (DIR/ref/). scrivlet-cli runs ONCE over a
copy of the corpus in a temporary folder (it writes each .txt beside its PDF);
files the run did not log (a crash, a hang stopped by the global timeout) are
then converted one by one with a per-file timeout, so one bad file costs only
itself.

  bench/real-measure.py                          # extended mode, UTF-8
  bench/real-measure.py --mode default           # default mode, UTF-8 output
  bench/real-measure.py --mode cp932             # a binary without --encoding
  bench/real-measure.py --cmd "OTHER/scrivlet-cli --overwrite" --cp932
Options: --corpus DIR, --cli PATH, --jobs N, --limit N, --filter TEXT,
--file-timeout S, --timeout S, --out TSV, --min-chars N.
Prints the summary table (Markdown) and writes the per-file TSV (default
DIR/results-MODE.tsv, outside the repository;
results-MODE-partial.tsv with --filter or --limit) to sort the failures by.
"""
import argparse
import collections
import concurrent.futures
import os
import re
import shlex
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import time
import unicodedata

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
COMMON = ["--overwrite", "--no-header", "--no-footer", "--no-subfolders"]
MODES = {
    "extended": ["--extended", "--encoding", "utf-8"],
    "default": ["--encoding", "utf-8"],
    "cp932": [],  # today's binary: code page 932 output, no encoding option
}
KANA = re.compile(r"[\u3041-\u309f\u30a0-\u30ff\uff66-\uff9f]")
HAN = re.compile(r"[\u3400-\u4dbf\u4e00-\u9fff\uf900-\ufaff]")


def parse_args():
    p = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("--corpus", default=os.environ.get("REAL_CORPUS", "/work/corpus"),
                   help="the folder bench/real-corpus.sh filled (PDFs in DIR/pdf)")
    p.add_argument("--cli", default=os.path.join(ROOT, "build", "bin", "scrivlet-cli"))
    p.add_argument("--mode", choices=sorted(MODES) + ["mutool"], default="extended",
                   help="mutool: `mutool draw -F txt`, once per file, to see how far another reader gets")
    p.add_argument("--cmd", help="the whole command before the folder, instead of --cli and --mode "
                   "(--jobs N is added unless it names --jobs itself or --no-cli-jobs is given)")
    p.add_argument("--cp932", action="store_true", help="the text files are code page 932 (implied by --mode cp932)")
    p.add_argument("--no-cli-jobs", action="store_true", help="do not pass --jobs to the command")
    p.add_argument("--jobs", type=int, default=os.cpu_count() or 2)
    p.add_argument("--limit", type=int, default=0, help="only the first N PDFs (by name)")
    p.add_argument("--filter", default="", help="only PDFs whose name contains this text")
    p.add_argument("--file-timeout", type=float, default=60, help="seconds for one file on its own")
    p.add_argument("--timeout", type=float, default=1200, help="seconds for the run over the folder")
    p.add_argument("--min-chars", type=int, default=20,
                   help="non-blank reference characters for a file to count as carrying text")
    p.add_argument("--out", help="per-file TSV (default DIR/results-MODE.tsv)")
    p.add_argument("--label", help="name of this measurement in the output (default: the mode)")
    return p.parse_args()


def run(cmd, timeout, cwd=None):
    """Runs cmd in its own process group; kills the whole group on timeout."""
    proc = subprocess.Popen(cmd, stdout=subprocess.PIPE, stderr=subprocess.PIPE, stdin=subprocess.DEVNULL,
                            cwd=cwd, start_new_session=True)
    try:
        out, err = proc.communicate(timeout=timeout)
        return proc.returncode, out, err, False
    except subprocess.TimeoutExpired:
        os.killpg(proc.pid, signal.SIGKILL)
        out, err = proc.communicate()
        return proc.returncode, out, err, True


def reference(pdf, refdir, raw):
    """pdftotext's text of pdf, cached in refdir."""
    path = os.path.join(refdir, os.path.basename(pdf)[:-4] + (".raw.txt" if raw else ".txt"))
    if not os.path.exists(path) or os.path.getmtime(path) < os.path.getmtime(pdf):
        cmd = ["pdftotext", "-q", "-enc", "UTF-8"] + (["-raw"] if raw else []) + [pdf, "-"]
        _, out, _, timed_out = run(cmd, 300)
        tmp = path + ".tmp"
        with open(tmp, "wb") as f:
            f.write(b"" if timed_out else out)
        os.replace(tmp, path)
    with open(path, "rb") as f:
        return f.read().decode("utf-8", "replace")


def chars(text):
    return collections.Counter(ch for ch in unicodedata.normalize("NFKC", text) if not ch.isspace())


def words(text):
    return collections.Counter(unicodedata.normalize("NFKC", text).split())


def overlap(ref, got):
    common = sum((ref & got).values())
    nref, ngot = sum(ref.values()), sum(got.values())
    recall = common / nref if nref else (1.0 if not ngot else 0.0)
    precision = common / ngot if ngot else (1.0 if not nref else 0.0)
    f1 = 2 * recall * precision / (recall + precision) if recall + precision else 0.0
    return recall, precision, f1


def parse_log(stdout, folder, names):
    """{file name: what the log says after its path} from scrivlet-cli's log.
    Messages mostly begin with "..."; the unsupported-filter one does not."""
    outcome = {}
    last = None
    prefix = folder + os.sep
    for line in stdout.decode("utf-8", "replace").splitlines():
        line = line.rstrip("\r")
        name = None
        if line.startswith(prefix):
            rest = line[len(prefix):]
            for m in re.finditer(r"\.pdf", rest, re.IGNORECASE):
                if rest[:m.end()] in names:
                    name = rest[:m.end()]
                    break
        if name is not None:
            last = name
            outcome[name] = rest[len(name):]
        elif last is not None:  # a second message of the same file
            outcome[last] += line
    return outcome


def mutool(cmd, folder, name, timeout):
    """The log line's outcome for one file converted by mutool."""
    pdf = os.path.join(folder, name)
    started = time.time()
    rc, _, _, timed_out = run(cmd + ["-o", pdf[:-4] + ".txt", pdf], timeout)
    if timed_out:
        return "...timeout"
    return f"...done({time.time() - started:.3f})" if rc == 0 else f"...mutool exit {rc}"


def score(task):
    """One file's row, and whether its text file was meant to be UTF-8 and is not."""
    n, pdfdir, refdir, txt, msg, cp932, min_chars, m = task
    ref = reference(os.path.join(pdfdir, n), refdir, False)
    raw = reference(os.path.join(pdfdir, n), refdir, True)
    ok = msg.startswith("...done(")
    got, bad = "", False
    if ok and os.path.exists(txt):
        with open(txt, "rb") as f:
            data = f.read()
        if not cp932:
            try:
                data.decode("utf-8")
            except UnicodeDecodeError:
                bad = True
        got = data.decode("cp932" if cp932 else "utf-8", "replace")
    rc, gc = chars(ref), chars(got)
    recall, precision, _ = overlap(rc, gc)
    _, _, wf1 = overlap(words(raw), words(got))
    nref = sum(rc.values())
    kana = len(KANA.findall(ref))
    han = len(HAN.findall(ref))
    seconds = re.match(r"\.\.\.done\(([0-9.]+)", msg)
    return {
        "class": m.get("class", "?"), "encrypted": m.get("encrypted", "?"),
        "file": n, "outcome": "done" if ok else msg, "seconds": seconds.group(1) if seconds else "",
        "text": nref >= min_chars, "japanese": kana >= 20, "cjk": kana >= 20 or han >= 50,
        "ref_chars": nref, "out_chars": sum(gc.values()),
        "recall": recall, "precision": precision, "word_f1": wf1,
    }, bad


def main():
    a = parse_args()
    pdfdir = os.path.join(a.corpus, "pdf")
    if not os.path.isdir(pdfdir):
        sys.exit(f"no corpus in {pdfdir}: run bench/real-corpus.sh first")
    names = sorted(n for n in os.listdir(pdfdir) if n.lower().endswith(".pdf") and a.filter in n)
    if a.limit:
        names = names[:a.limit]
    if not names:
        sys.exit("no PDF selected")
    label = a.label or ("custom" if a.cmd else a.mode)
    cp932 = a.cp932 or (a.mode == "cp932" and not a.cmd)
    if a.cmd:
        cmd = shlex.split(a.cmd)
    elif a.mode == "mutool":
        cmd = ["mutool", "draw", "-q", "-F", "txt"]
    else:
        cmd = [a.cli] + MODES[a.mode] + COMMON
    if not a.no_cli_jobs and "--jobs" not in cmd and a.mode != "mutool":
        cmd += ["--jobs", str(max(1, a.jobs))]
    refdir = os.path.join(a.corpus, "ref")
    os.makedirs(refdir, exist_ok=True)
    manifest = {}
    mpath = os.path.join(a.corpus, "manifest.tsv")
    if os.path.exists(mpath):
        with open(mpath, encoding="utf-8") as f:
            head = f.readline().rstrip("\n").split("\t")
            for line in f:
                m = dict(zip(head, line.rstrip("\n").split("\t")))
                manifest[m["file"]] = m

    # References first (cached), on all cores.
    started = time.time()
    with concurrent.futures.ThreadPoolExecutor(max(1, a.jobs)) as pool:
        list(pool.map(lambda n: [reference(os.path.join(pdfdir, n), refdir, raw) for raw in (False, True)], names))
    ref_time = time.time() - started

    # One run over a copy of the corpus.
    work = tempfile.mkdtemp(prefix="scrivlet-real-", dir="/dev/shm" if os.path.isdir("/dev/shm") else None)
    try:
        folder = os.path.join(work, "pdf")
        os.makedirs(folder)
        for n in names:
            shutil.copyfile(os.path.join(pdfdir, n), os.path.join(folder, n))
        started = time.time()
        if a.mode == "mutool" and not a.cmd:
            rc, out, err, timed_out = 0, b"", b"", False
            with concurrent.futures.ThreadPoolExecutor(max(1, a.jobs)) as pool:
                outcome = dict(zip(names, pool.map(lambda n: mutool(cmd, folder, n, a.file_timeout), names)))
        else:
            rc, out, err, timed_out = run(cmd + [folder], a.timeout)
            outcome = parse_log(out, folder, set(names))
        run_time = time.time() - started
        if rc == 2 and not outcome:  # usage error or nothing to run: each file alone would fail the same way
            sys.exit(f"the command ran nothing (exit 2): {err.decode('utf-8', 'replace').strip()[:500]}")
        if timed_out or rc not in (0, 1):
            print(f"folder run: exit {rc}{' (stopped by the timeout)' if timed_out else ''}; "
                  f"{len(outcome)} of {len(names)} files logged: {err.decode('utf-8', 'replace')[-300:]}",
                  file=sys.stderr)
        # What the run left unlogged, one file at a time.
        missing = [n for n in names if n not in outcome]
        for n in missing:
            single = os.path.join(work, "single")
            os.makedirs(single, exist_ok=True)
            path = os.path.join(single, n)
            shutil.copyfile(os.path.join(folder, n), path)
            src, out1, _, to1 = run([c for c in cmd] + [path], a.file_timeout)
            log = parse_log(out1, single, {n})
            if to1:
                outcome[n] = "...timeout"
            elif n in log:
                outcome[n] = log[n]
            else:
                outcome[n] = f"...crash(exit {src})"
            if os.path.exists(path[:-4] + ".txt"):
                shutil.copyfile(path[:-4] + ".txt", os.path.join(folder, n[:-4] + ".txt"))
            os.remove(path)

        # Scoring is pure Python over large texts: spread it over the cores too.
        tasks = [(n, pdfdir, refdir, os.path.join(folder, n[:-4] + ".txt"), outcome.get(n, "...not logged"),
                  cp932, a.min_chars, manifest.get(n, {})) for n in names]
        with concurrent.futures.ProcessPoolExecutor(max(1, a.jobs)) as pool:
            scored = list(pool.map(score, tasks, chunksize=4))
        rows = [r for r, _ in scored]
        not_utf8 = [r["file"] for r, bad in scored if bad]
    finally:
        shutil.rmtree(work, ignore_errors=True)

    partial = "-partial" if a.filter or a.limit else ""  # a partial run keeps the whole run's file
    out_path = a.out or os.path.join(a.corpus, f"results-{label}{partial}.tsv")
    cols = ["file", "class", "encrypted", "outcome", "seconds", "text", "japanese", "cjk", "ref_chars", "out_chars",
            "recall", "precision", "word_f1"]
    with open(out_path, "w", encoding="utf-8") as f:
        f.write("\t".join(cols) + "\n")
        for r in rows:
            f.write("\t".join(f"{r[c]:.4f}" if isinstance(r[c], float) else
                              ("yes" if r[c] is True else "no" if r[c] is False else str(r[c])) for c in cols) + "\n")
    if not_utf8:
        print(f"warning: {len(not_utf8)} text files are not UTF-8 (is the encoding option in effect? "
              f"--cp932 reads code page 932), e.g. {not_utf8[0]}", file=sys.stderr)
    summarize(rows, label, " ".join(shlex.quote(c) for c in cmd), run_time, ref_time, out_path)


def share(rows, key, limit):
    if not rows:
        return "-"
    k = sum(1 for r in rows if r[key] >= limit)
    return f"{100 * k / len(rows):.1f} % ({k}/{len(rows)})"


def median(rows, key):
    return f"{statistics.median(r[key] for r in rows):.3f}" if rows else "-"


def summarize(rows, label, cmd, run_time, ref_time, out_path):
    text = [r for r in rows if r["text"]]
    jp = [r for r in text if r["japanese"]]
    cjk = [r for r in text if r["cjk"]]
    nonjp = [r for r in text if not r["japanese"]]
    latin = [r for r in text if not r["cjk"]]
    refused = collections.Counter(r["outcome"] for r in rows if r["outcome"] != "done")
    print(f"\n## {label}: {cmd} FOLDER\n")
    print(f"{len(rows)} PDFs, {len(text)} carry text ({len(jp)} Japanese, {len(cjk)} Chinese/Japanese/Korean); "
          f"run {run_time:.1f} s (references {ref_time:.1f} s)\n")
    print("| Measure | Value |\n|---|---:|")
    print(f"| refused (any message) | {sum(refused.values())} of {len(rows)} |")
    locked = sum(1 for r in rows if r["outcome"] != "done" and r["encrypted"] == "password")
    print(f"| refused, not needing a password | {sum(refused.values()) - locked} of {len(rows)} |")
    for msg, k in refused.most_common():
        print(f"| &nbsp; \"{msg}\" | {k} |")
    print(f"| character recall >= 0.9, files with text | {share(text, 'recall', 0.9)} |")
    print(f"| character recall >= 0.9, Japanese | {share(jp, 'recall', 0.9)} |")
    print(f"| character recall >= 0.9, Chinese/Japanese/Korean | {share(cjk, 'recall', 0.9)} |")
    print(f"| median character recall, files with text | {median(text, 'recall')} |")
    print(f"| median character precision, files with text | {median(text, 'precision')} |")
    done = [r for r in text if r["outcome"] == "done"]
    print(f"| median character precision, converted files with text | {median(done, 'precision')} |")
    print(f"| median word F1, not Japanese | {median(nonjp, 'word_f1')} |")
    print(f"| word F1 >= 0.9, not Japanese | {share(nonjp, 'word_f1', 0.9)} |")
    print(f"| median word F1, not Chinese/Japanese/Korean | {median(latin, 'word_f1')} |")
    print(f"| word F1 >= 0.9, not Chinese/Japanese/Korean | {share(latin, 'word_f1', 0.9)} |")
    classes = sorted({r["class"] for r in rows}, key=lambda c: -sum(r["class"] == c for r in rows))
    print("\n| Producer | PDFs | refused | with text | recall >= 0.9 | median precision | median word F1 |")
    print("|---|---:|---:|---:|---:|---:|---:|")
    for c in classes:
        all_c = [r for r in rows if r["class"] == c]
        t = [r for r in all_c if r["text"]]
        k = sum(1 for r in t if r["recall"] >= 0.9)
        print(f"| {c} | {len(all_c)} | {sum(r['outcome'] != 'done' for r in all_c)} | {len(t)} | {k} | "
              f"{median(t, 'precision')} | {median(t, 'word_f1')} |")
    print(f"\nPer file: {out_path}")


if __name__ == "__main__":
    main()
