#!/usr/bin/env python3
"""The band in a taskbar on a real (virtual) display, driven as a person
would: the taskbar host starts, bandctl registers and shows the band, the
mouse rests on it until the tooltip shows, a click starts the companion, the
eight styles go by, and bandctl hides the band again. Each step leaves a
screenshot; a report and a summary sheet close the run.

--check turns every observation into a pass/fail check (the exit code)."""

import argparse
import os
import re
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import agent_pictures  # noqa: E402
import screen  # noqa: E402
from session import Session, have_tools, install_interrupt_cleanup  # noqa: E402

ROOT = agent_pictures.ROOT
SUPPORT_TEXT = "Vantrel support: call 0800 555 0100, or click for a chat"
SCREEN = (0, 0, 800, 600)
TOLERANCE_32 = 6.0   # levels of mean difference for the alpha pictures
TOLERANCE_16 = 12.0  # the 16-bit screen rounds every colour to 5 or 6 bits

SCENARIOS = [
    {"key": "bottom32", "title": "32-bit screen, taskbar at the bottom", "depth": 24, "edge": "bottom",
     "full": True},
    {"key": "bottom16", "title": "16-bit screen: the colour-keyed pictures", "depth": 16, "edge": "bottom",
     "full": False},
    {"key": "right32", "title": "upright taskbar at the right edge", "depth": 24, "edge": "right",
     "full": False},
]


class Report:
    def __init__(self, out_dir, check):
        self.out_dir = out_dir
        self.check = check
        self.rows = []
        self.shots = []
        self.failures = 0
        self.focus = None  # the band's rectangle once known, for the summary tiles

    def step(self, scenario, name, seconds, seen, ok, shot, focus=None):
        self.rows.append((scenario, name, seconds, seen, ok))
        if shot:
            self.shots.append((shot, "%s: %s" % (scenario, name), focus or self.focus))
        if not ok:
            self.failures += 1
        mark = "ok  " if ok else "FAIL"
        print("  [%s] %-28s %5.1fs  %s" % (mark, name, seconds, seen), flush=True)


def parse_rect(text):
    m = re.search(r"\((-?\d+),\s*(-?\d+)\)\s*-\s*\((-?\d+),\s*(-?\d+)\)", text)
    return tuple(int(v) for v in m.groups()) if m else None


def band_status(sess):
    """bandctl's view: the band windows with their rectangles and the taskbar's."""
    out = sess.tool("bandctl.exe", ["status"], check=False).stdout
    bands = []
    for line in out.splitlines():
        if line.strip().startswith("0x") and " at " in line:
            band = parse_rect(line.split(" at ", 1)[1])
            parent = parse_rect(line.split(" in ", 1)[1]) if " in " in line else None
            bands.append((band, parent))
    tip = None
    m = re.search(r'tooltip: visible at (\(.*?\)\s*-\s*\(.*?\)) text "(.*)"', out)
    if m:
        tip = (parse_rect(m.group(1)), m.group(2))
    return out, bands, tip


def expected_command_line(band, parent, click):
    """The anchor 2 pixels outside the band, facing the middle of the screen."""
    half_w = (SCREEN[2] - SCREEN[0]) // 2
    half_h = (SCREEN[3] - SCREEN[1]) // 2
    left = click[0] - SCREEN[0] < half_w
    top = click[1] - SCREEN[1] < half_h
    upright = (parent[3] - parent[1]) >= (parent[2] - parent[0])
    corner = (0 if left else 1) if top else (3 if left else 2)
    if upright:
        x = band[2] + 2 if left else band[0] - 2
        y = band[1] if top else band[3]
    else:
        x = band[0] if left else band[2]
        y = band[3] + 2 if top else band[1] - 2
    return "/DISPLAYUI %d %d %d" % (x, y, corner)


def companion_args(log_path):
    """The arguments the companion stand-in recorded at its last start."""
    if not os.path.exists(log_path):
        return ""
    with open(log_path, encoding="utf-8", errors="replace") as f:
        lines = [line for line in f.read().splitlines() if line.strip()]
    if not lines:
        return ""
    fields = dict(part.split("=", 1) for part in lines[-1].split("\t") if "=" in part)
    return fields.get("args", "").strip()


def wait_for(predicate, timeout=20.0, interval=0.25):
    deadline = time.time() + timeout
    while time.time() < deadline:
        value = predicate()
        if value:
            return value
        time.sleep(interval)
    return predicate()


def settle(sess, path, judge, timeout=10.0):
    """Takes the step's screenshot again until judge(pixels) holds or the time
    is up: a loaded machine may take a moment to repaint."""
    deadline = time.time() + timeout
    while True:
        sess.screenshot(path)
        pixels = screen.load(path)
        verdict = judge(pixels)
        if verdict[0] or time.time() >= deadline:
            return path, pixels, verdict
        time.sleep(0.3)


def run_scenario(sc, args, report):
    key = sc["key"]
    alpha = sc["depth"] != 16
    tolerance = TOLERANCE_32 if alpha else TOLERANCE_16
    bin_dir = os.path.join(args.build, "bin")
    out = lambda name: os.path.join(args.out, "%s-%s.png" % (key, name))  # noqa: E731
    companion_log = os.path.join(args.out, "%s-companion.log" % key)
    if os.path.exists(companion_log):
        os.remove(companion_log)

    print("\n%s (%s)" % (sc["title"], key), flush=True)
    report.focus = None
    sess = Session(args.prefix, bin_dir, depth=sc["depth"])
    report.sessions.append(sess)
    t0 = time.time()
    sess.start()
    sess.env["VANTREL_COMPANION_LOG"] = sess.windows_path(companion_log)
    sess.env["VANTREL_COMPANION_SHOW"] = "1"
    settings = r"HKCU\Software\VantrelHELP"
    sess.wine(["reg", "add", settings, "/v", "TECHSUPPORT_TEXT", "/t", "REG_SZ", "/d", SUPPORT_TEXT, "/f"])
    sess.wine(["reg", "add", settings, "/v", "REPRESENTATIVE_ICON", "/t", "REG_SZ", "/d", "1", "/f"])
    registered = sess.tool("bandctl.exe", ["register"], check=False)
    report.step(key, "display and registration", time.time() - t0,
                "Xvfb %dx%dx%d, %s" % (800, 600, sc["depth"], registered.stdout.strip() or registered.stderr.strip()),
                registered.returncode == 0, None)

    # The taskbar.
    t0 = time.time()
    # The band sits where a taskbar's toolbars do, towards the clock's end.
    offset = "420" if sc["edge"] != "right" else "360"
    sess.spawn_tool("bandhost.exe", ["--" + sc["edge"], "--band-offset", offset, "--log", sess.windows_path(
        os.path.join(args.out, "%s-bandhost.log" % key))], os.path.join(args.out, "%s-bandhost.out" % key))
    up = wait_for(lambda: "desk band service: yes" in sess.tool("bandctl.exe", ["status"], check=False).stdout,
                  timeout=30)
    shot = sess.screenshot(out("1-taskbar"))
    report.step(key, "taskbar up", time.time() - t0, "bandhost serves the desk band service" if up else
                "no desk band service", bool(up), shot)

    # Show.
    t0 = time.time()
    shown = sess.tool("bandctl.exe", ["show"], check=False)
    status = wait_for(lambda: band_status(sess)[1], timeout=20)
    if not status:
        shot = sess.screenshot(out("2-shown"))
        report.step(key, "band shown", time.time() - t0, "no band window: " + shown.stdout.strip(), False, shot)
        return
    band, parent = status[0]
    report.focus = band
    normal_id = agent_pictures.icon_id(1, False, alpha)

    def shows(resource_id, others=()):
        def judge(pixels):
            best, scores = screen.best_match(pixels, band, [resource_id] + list(others))
            return best == resource_id and scores[resource_id] <= tolerance, scores
        return judge

    shot, pixels, (ok, scores) = settle(sess, out("2-shown"), shows(normal_id))
    report.step(key, "band shown", time.time() - t0,
                "band at %s, agent 1 (id %d) drawn, mean difference %.1f" % (band, normal_id, scores[normal_id]),
                ok, shot)
    if not alpha:
        magenta = screen.has_colour(pixels, (0, 0, 800, 600), agent_pictures.KEY, tolerance=24)
        report.step(key, "no magenta on screen", 0.0, "magenta seen" if magenta else "key colour never drawn",
                    not magenta, None)

    # Hover: the hot form.
    t0 = time.time()
    x, y, side = screen.icon_square(band)
    centre = (x + side // 2, y + side // 2)
    # In a few steps from above, as a hand moves a mouse: the first move over
    # the band creates its tooltip, the later ones reach the tooltip too.
    for d in (60, 30, 12, 4, 0):
        if sc["edge"] == "right":
            sess.move_mouse(centre[0] - d, centre[1])
        else:
            sess.move_mouse(centre[0], centre[1] - d)
        time.sleep(0.15)
    sess.move_mouse(centre[0] + 1, centre[1])
    hot_id = agent_pictures.icon_id(1, True, alpha)
    shot, pixels, (ok, scores) = settle(sess, out("3-hot"), shows(hot_id, [normal_id]))
    report.step(key, "mouse on the band", time.time() - t0,
                "hot form id %d (difference %.1f, normal %.1f)" % (hot_id, scores[hot_id], scores[normal_id]),
                ok, shot)

    # Resting: the tooltip.
    t0 = time.time()
    tip = wait_for(lambda: band_status(sess)[2], timeout=6)
    shot = sess.screenshot(out("4-tooltip"))
    if tip:
        tip_rect, tip_text = tip
        near = abs(tip_rect[0] - band[0]) < 500 and abs(tip_rect[1] - band[1]) < 400
        report.step(key, "tooltip after resting", time.time() - t0,
                    'balloon at %s: "%s"' % (tip_rect, tip_text), tip_text == SUPPORT_TEXT and near, shot)
    else:
        report.step(key, "tooltip after resting", time.time() - t0, "no visible tooltip", False, shot)

    # Click: the companion.
    t0 = time.time()
    sess.click()
    want = expected_command_line(band, parent, centre)
    got = wait_for(lambda: companion_args(companion_log), timeout=20)
    time.sleep(1.0)
    shot = sess.screenshot(out("5-companion"))
    report.step(key, "click starts the companion", time.time() - t0,
                "companion got %r (expected %r)" % (got, want), got == want, shot)
    sess.wine(["taskkill", "/f", "/im", "AppVantrelHelp.exe"], check=False)
    sess.move_mouse(790 if sc["edge"] != "right" else 10, 10)
    time.sleep(0.5)

    # The eight styles.
    if sc["full"]:
        for style in range(1, 9):
            t0 = time.time()
            res = sess.tool("bandctl.exe", ["style", str(style)], check=False)
            candidates = [agent_pictures.icon_id(s, False, alpha) for s in range(1, 9)]
            want_id = agent_pictures.icon_id(style, False, alpha)
            shot, pixels, (ok, scores) = settle(sess, out("6-style%d" % style), shows(want_id, candidates))
            report.step(key, "style %d" % style, time.time() - t0,
                        "agent %d (id %d) drawn, difference %.1f" % (style, want_id, scores[want_id]),
                        res.returncode == 0 and ok, shot)

    # Hide.
    t0 = time.time()
    hidden = sess.tool("bandctl.exe", ["hide"], check=False)
    gone = wait_for(lambda: not band_status(sess)[1], timeout=20)
    x, y, side = screen.icon_square(band)

    def plain_taskbar(pixels):
        bg = screen.background_of(pixels, band)
        return (not screen.region_changed(pixels, pixels * 0 + bg, (x, y, x + side, y + side), threshold=12),)

    shot, pixels, (plain,) = settle(sess, out("7-hidden"), plain_taskbar)
    report.step(key, "hidden", time.time() - t0,
                "no band window left, taskbar plain where it was" if gone and plain else
                "band still there: " + hidden.stdout.strip(), bool(gone) and plain, shot)
    sess.stop()


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--build", default=os.path.join(ROOT, "build", "mingw-release"))
    parser.add_argument("--out", default=os.path.join(ROOT, "out", "demo"))
    parser.add_argument("--prefix", help="the Wine prefix to use (default: BUILD/demo-prefix)")
    parser.add_argument("--check", action="store_true", help="fail (exit 1) when anything is not as expected")
    parser.add_argument("--only", help="run just the scenario with this key")
    args = parser.parse_args()
    args.build = os.path.abspath(args.build)
    args.out = os.path.abspath(args.out)
    args.prefix = os.path.abspath(args.prefix or os.path.join(args.build, "demo-prefix"))
    if not have_tools():
        print("run_demo: needs Xvfb, ImageMagick's import, xdotool and wine", file=sys.stderr)
        return 2
    os.makedirs(args.out, exist_ok=True)
    report = Report(args.out, args.check)
    report.sessions = []
    install_interrupt_cleanup(report.sessions)
    started = time.time()
    try:
        for sc in SCENARIOS:
            if args.only and sc["key"] != args.only:
                continue
            run_scenario(sc, args, report)
    finally:
        for s in report.sessions:
            s.stop()
    summary = screen.summary_sheet(report.shots, os.path.join(args.out, "summary.png"))
    print("\n%d steps in %.0f s, %d not as expected; screenshots in %s%s" % (
        len(report.rows), time.time() - started, report.failures, args.out,
        ", summary %s" % summary if summary else ""))
    passed = len(report.rows) - report.failures
    print("%d passed, %d failed" % (passed, report.failures))
    return 1 if (args.check and report.failures) else 0


if __name__ == "__main__":
    sys.exit(main())
