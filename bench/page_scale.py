#!/usr/bin/env python3
"""The products page with a long catalog: 100, 1,000 and 10,000 products.

The real program in showcase mode, under a private Xvfb and session bus, plays a steps file whose
one `js` line hands the page a catalog of N generated products through its own event entry point
(`Suite.receive`, as the native side does); the page then asks the native side to scan them, as
after any fetch. Measured in the page: catalog event to the first paint of its rows, and of that
the page's own share (all but the wait for the native scan's answer, which in showcase mode
queues behind the native side's own catalog fetch); the main-thread work of one download
progress event (script, style and layout, forced at once); the longest gap between frames while
the list is scrolled from top to bottom in at most 200 steps of at least two window heights
(with 10,000 products every frame draws a whole new window), and the median gap. Measured from
outside: the
resident memory of the web process once that is done.

    cmake --build --preset default --target talven-suite && python3 bench/page_scale.py

A report, not a test: a missed target does not fail the run; a program that does not come up does.
"""
import argparse
import json
import os
import statistics
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from startup_memory import REPO, end_tree, process_tree, run_bench, Session, StartFailure, vm_rss_kib  # noqa: E402

SIZES = (100, 1000, 10000)
# Per size: first paint (ms), web process RSS (MiB), one progress event (ms), worst frame (ms).
TARGETS = {1000: {"paint_ms": 150}, 10000: {"paint_ms": 1000, "rss_mib": 300, "event_ms": 5, "frame_ms": 50}}
RUN_TIMEOUT_S = 240.0

# One line of script: the page reports through its title, which the window takes over.
PAGE = r"""(async () => {
const N = %(n)d; const frame = () => new Promise((r) => requestAnimationFrame(r));
const pause = (ms) => new Promise((r) => setTimeout(r, ms));
const until = async (test) => { while (!test()) await frame(); };
const busy = () => document.querySelector('[data-action=check]').getAttribute('aria-busy') === 'true';
await until(() => !busy());
const products = Array.from({ length: N }, (_, i) => ({ id: `bench.p${i}`, group: i %% 5 === 4 ? 'addin' : 'app',
  name: { en: `Product ${i}`, ar: `المنتج ${i}` }, description: { en: 'One of many products.', ar: 'واحد من منتجات كثيرة.' },
  packages: { deb: { arch: 'all', version: '2.0-1', url: 'https://downloads.brenlow.example/p.deb', file: 'p.deb', sha256: 'ab'.repeat(32),
    size: 1000000 + i, detect: { receipts: [`bench-p${i}`] } } } }));
const text = JSON.stringify({ version: 1, products });
let asked = null; let answered = null;
const handler = window.webkit.messageHandlers.suite; const send = handler.postMessage.bind(handler);
handler.postMessage = (m) => { if (String(m).startsWith('{"type":"scan"')) asked = performance.now(); return send(m); };
const suite = window.Suite;
window.Suite = { ...suite, receive: (e) => { if (e?.type === 'scanned') answered = performance.now(); suite.receive(e); } };
Suite.receive({ type: 'checkNow' });
const t0 = performance.now();
Suite.receive({ type: 'catalog', ok: true, text });
await until(() => document.querySelector('[data-product^="bench."]'));
await frame();
const paint = performance.now() - t0; const native = answered - asked;
await until(() => !busy());
await pause(1500);
const events = [];
for (let k = 1; k <= 9; k++) {
  await pause(600);
  const a = performance.now();
  Suite.receive({ type: 'progress', id: 'bench.p0', phase: 'download', pct: k * 10 });
  void document.body.offsetHeight;
  events.push(performance.now() - a);
}
const scroller = document.querySelector('[data-panel=products] .panel-body');
scroller.scrollTop = 0; await frame(); await frame();
let last = performance.now(); const gaps = [];
while (scroller.scrollTop + scroller.clientHeight < scroller.scrollHeight - 1) {
  scroller.scrollTop += Math.max(2 * scroller.clientHeight, scroller.scrollHeight / 200);
  await frame();
  const now = performance.now(); gaps.push(now - last); last = now;
}
const rows = document.querySelectorAll('[data-product]').length;
events.sort((a, b) => a - b); gaps.sort((a, b) => a - b);
const worst = gaps.at(-1); const typical = gaps[gaps.length >> 1]; const frames = gaps.length;
document.title = 'BENCH ' + JSON.stringify({ paint, native, event: events[4], worst, typical, frames, rows });
})()"""

STEPS = """size 1180 780
wait 3
js {script}
wait {wait}
quit
"""


def window_titles(env):
    out = subprocess.run(["xwininfo", "-root", "-tree"], env=env, capture_output=True, text=True).stdout
    return [line for line in out.splitlines() if "BENCH {" in line]


def web_process(root):
    for pid, (_, name) in process_tree(root).items():
        if name.startswith("WebKitWebProces"):
            return pid
    return None


def one_run(program, session, scratch, n):
    steps = os.path.join(scratch, f"scale-{n}.steps")
    with open(steps, "w") as f:
        f.write(STEPS.format(script=" ".join((PAGE % {"n": n}).split("\n")), wait=RUN_TIMEOUT_S))
    env = dict(session.env, TALVEN_SUITE_STEPS=steps)
    with open(os.path.join(scratch, f"program-{n}.log"), "ab") as log:
        main_process = subprocess.Popen([program, "--demo"], env=env, stdout=log, stderr=log)
        try:
            deadline = time.monotonic() + RUN_TIMEOUT_S
            while not (found := window_titles(env)):
                if time.monotonic() > deadline or main_process.poll() is not None:
                    raise StartFailure(f"no figures from the page with {n} products")
                time.sleep(0.25)
            line = found[0]
            figures = json.loads(line[line.index("BENCH ") + 6:line.index("}") + 1])
            web = web_process(main_process.pid)
            figures["rss_mib"] = vm_rss_kib(web) / 1024.0 if web else float("nan")
            return figures
        finally:
            end_tree(process_tree(main_process.pid), main_process)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--build", default=os.path.join(REPO, "build"))
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--sizes", type=int, nargs="+", default=list(SIZES))
    args = parser.parse_args()
    program = os.path.join(args.build, "talven-suite")
    loads = [os.getloadavg()[0]]
    medians = {}
    with tempfile.TemporaryDirectory(prefix="talven-scale-") as scratch, Session(scratch) as session:
        for n in args.sizes:
            runs = []
            for _ in range(args.runs):
                runs.append(one_run(program, session, scratch, n))
                runs[-1]["page"] = runs[-1]["paint"] - runs[-1]["native"]
                loads.append(os.getloadavg()[0])
                print(f"{n:>6} products  paint {runs[-1]['paint']:7.0f} ms (scan {runs[-1]['native']:5.0f} ms)  event {runs[-1]['event']:6.1f} ms  "
                      f"worst frame {runs[-1]['worst']:6.0f} ms (median {runs[-1]['typical']:3.0f} ms of {runs[-1]['frames']} frames, "
                      f"{runs[-1]['rows']} rows drawn)  web RSS {runs[-1]['rss_mib']:6.0f} MiB", flush=True)
            medians[n] = {key: statistics.median(r[key] for r in runs)
                          for key in ("paint", "page", "event", "worst", "typical", "rss_mib")}
    print(f"\nmedians of {args.runs} runs")
    names = {"paint": ("paint_ms", "first paint", "ms"), "page": ("paint_ms", "of it the page", "ms"), "event": ("event_ms", "progress event", "ms"),
             "worst": ("frame_ms", "worst frame", "ms"), "typical": ("", "median frame", "ms"),
             "rss_mib": ("rss_mib", "web RSS", "MiB")}
    for n, figures in medians.items():
        parts = []
        for key, (target_key, label, unit) in names.items():
            target = TARGETS.get(n, {}).get(target_key)
            mark = "" if target is None else f" (target <= {target}, ratio {figures[key] / target:.2f})"
            parts.append(f"{label} {figures[key]:.1f} {unit}{mark}")
        print(f"{n:>6} products: " + "; ".join(parts))
    print(f"load average (1 min) during the runs: {min(loads):.2f} .. {max(loads):.2f}")
    return 0


if __name__ == "__main__":
    run_bench(main, "page_scale")
