#!/usr/bin/python3
"""compare_readdb.py FILE [--build DIR] [--runs N] [--make iso|us [--readings N]]

Reads the working file FILE three ways in one run and prints how long each
took: pandas.read_csv with the time column parsed (the explicit format of
the file's time form, cache_dates on), Python's csv module with
datetime.strptime, and zel's own reader (BM_ReadDbFile of bench_readdb).
Each time is the median of N runs (default 5). Prints the two ratios:
how many times faster zel reads the same file.

With --make, FILE is first written as zel writes a working file (eight
header lines, then N readings a second apart, default 10,001) with ISO
("2024-01-02 08:00:00") or US ("1/2/2024 08:00:00") times.

Not part of CI. Needs Debian's python3-pandas (scripts/deps.sh --compare
installs it) and a build with bench_readdb (default build-rel/, else build/).
It runs under /usr/bin/python3 on purpose: that is the one pandas is
installed for.
"""
import argparse
import csv
import datetime
import json
import os
import re
import statistics
import subprocess
import sys
import time

HEADER_LINES = 8

# The time forms a working file is written in, by the date form of the
# computer that wrote it: their explicit formats, and a locale of that date
# form for zel to read the file in.
TIME_FORMS = [
    (re.compile(r"^\d{4}-\d{2}-\d{2} \d{1,2}:\d{2}:\d{2}$"), "%Y-%m-%d %H:%M:%S", "ISO",
     "sv_SE"),
    (re.compile(r"^\d{4}-\d{2}-\d{2}T\d{2}:\d{2}:\d{2}$"), "%Y-%m-%dT%H:%M:%S", "ISO",
     "sv_SE"),
    (re.compile(r"^\d{1,2}/\d{1,2}/\d{4} \d{1,2}:\d{2}:\d{2} [AP]M$"), "%m/%d/%Y %I:%M:%S %p",
     "M/d/yyyy h:mm:ss AP", "en_US"),
    (re.compile(r"^\d{1,2}/\d{1,2}/\d{4} \d{1,2}:\d{2}:\d{2}$"), "%m/%d/%Y %H:%M:%S",
     "M/d/yyyy HH:mm:ss", "en_US"),
    (re.compile(r"^\d{1,2}\.\d{1,2}\.\d{4} \d{1,2}:\d{2}:\d{2}$"), "%d.%m.%Y %H:%M:%S",
     "d.M.yyyy HH:mm:ss", "de_DE"),
]


def time_form(path):
    with open(path, newline="", encoding="utf-8", errors="replace") as f:
        for _ in range(HEADER_LINES):
            f.readline()
        for row in csv.reader(f):
            if len(row) < 3:
                continue
            text = row[1].strip()
            for pattern, fmt, name, locale in TIME_FORMS:
                if pattern.match(text):
                    return fmt, name, locale
            sys.exit(f"{path}: the time {text!r} is in no form this script knows")
    sys.exit(f"{path}: no reading after the {HEADER_LINES} header lines")


def median_seconds(run, runs):
    times = []
    result = None
    for _ in range(runs):
        began = time.perf_counter()
        result = run()
        times.append(time.perf_counter() - began)
    return statistics.median(times), result


def read_with_pandas(path, fmt):
    import pandas as pd

    names = ["id", "time", "value", "units", "status", "detector", "over"]
    options = dict(skiprows=HEADER_LINES, header=None, names=names, usecols=range(7),
                   parse_dates=["time"], cache_dates=True)
    if int(pd.__version__.split(".")[0]) >= 2:
        options["date_format"] = fmt
    else:
        options["date_parser"] = lambda s: pd.to_datetime(s, format=fmt, cache=True)

    def run():
        frame = pd.read_csv(path, **options)
        return len(frame)

    return run


def read_with_csv(path, fmt):
    def run():
        times, values = [], []
        strptime = datetime.datetime.strptime
        with open(path, newline="", encoding="utf-8") as f:
            for _ in range(HEADER_LINES):
                f.readline()
            for row in csv.reader(f):
                if len(row) < 3:
                    continue
                times.append(strptime(row[1].strip(), fmt))
                try:
                    values.append(float(row[2]))
                except ValueError:
                    values.append(0.0)
        return len(times)

    return run


def read_with_zel(path, locale, build, runs):
    bench = os.path.join(build, "bench_readdb")
    if not os.access(bench, os.X_OK):
        sys.exit(f"{bench} not found: build bench_readdb first")
    env = dict(os.environ, ZEL_BENCH_FILE=os.path.abspath(path), ZEL_BENCH_LOCALE=locale)
    out = subprocess.run(
        [bench, "--benchmark_filter=^BM_ReadDbFile$", f"--benchmark_repetitions={runs}",
         "--benchmark_format=json", "--benchmark_report_aggregates_only=true"],
        env=env, check=True, capture_output=True, text=True).stdout
    for b in json.loads(out)["benchmarks"]:
        if b.get("error_occurred"):
            sys.exit(f"BM_ReadDbFile: {b.get('error_message')}")
        if b.get("aggregate_name") == "median":
            scale = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}[b["time_unit"]]
            return b["real_time"] * scale, int(b.get("readings", 0))
    sys.exit("BM_ReadDbFile gave no median")


def make_file(path, form, readings):
    start = datetime.datetime(2024, 1, 2, 8, 0, 0)
    header = ["Department: ", "Date: 1/2/2024", "Instrument Type: ", "Survey location: ",
              "Surveyor: ", "Signature:", "Chargennummer: "]
    with open(path, "w", newline="", encoding="utf-8") as f:
        for line in header:
            f.write(f'"{line}"\r\n')
        f.write("-\r\n")
        for n in range(readings):
            t = start + datetime.timedelta(seconds=n)
            text = (t.strftime("%Y-%m-%d %H:%M:%S") if form == "iso" else
                    f"{t.month}/{t.day}/{t.year} {t:%H:%M:%S}")
            value = f"{0.01 * (n % 500):.2f}".rstrip("0").rstrip(".") or "0"
            f.write(f"1234,{text},{value},mR/h,OK,GM, \r\n")


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[2])
    parser.add_argument("file")
    default_build = os.path.join(root, "build-rel")
    if not os.path.isdir(default_build):
        default_build = os.path.join(root, "build")
    parser.add_argument("--build", default=default_build)
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--make", choices=["iso", "us"])
    parser.add_argument("--readings", type=int, default=10001)
    args = parser.parse_args()
    if args.make:
        make_file(args.file, args.make, args.readings)

    fmt, form, locale = time_form(args.file)
    pandas_s, pandas_rows = median_seconds(read_with_pandas(args.file, fmt), args.runs)
    csv_s, csv_rows = median_seconds(read_with_csv(args.file, fmt), args.runs)
    zel_s, zel_rows = read_with_zel(args.file, locale, args.build, args.runs)

    print(f"file: {args.file} ({form} times, {fmt})")
    print(f"pandas.read_csv:      {pandas_s * 1e3:8.3f} ms ({pandas_rows} rows)")
    print(f"csv + strptime:       {csv_s * 1e3:8.3f} ms ({csv_rows} rows)")
    print(f"zel (BM_ReadDbFile):  {zel_s * 1e3:8.3f} ms ({zel_rows} readings)")
    print(f"pandas / zel: {pandas_s / zel_s:6.1f}x")
    print(f"csv / zel:    {csv_s / zel_s:6.1f}x")


if __name__ == "__main__":
    main()
