#!/usr/bin/env python3
"""Checks that the sample game shows a genuine top-level window only after
the delay it was given, names its process in _NET_WM_PID (Wine does so for
its windows too) and exits with the code it was given.

    check_sample_game_window.py linux <qvl-sample-game>
    check_sample_game_window.py windows <qvl_sample_game.exe> <wine-run.sh> <Wine session root>

Linux runs on a private Xvfb; Windows in the Wine session of the CTest run
that started this script."""
import os
import subprocess
import sys
import time

WINDOW_AFTER_S = 1.5
EXIT_AFTER_S = 6
EXIT_CODE = 3


def x_tool(display, *arguments):
    result = subprocess.run(list(arguments), capture_output=True, text=True, env={**os.environ, "DISPLAY": display})
    return result.stdout


def shows_window(display, pid):
    """Whether a top-level window of process `pid` is mapped and viewable."""
    for line in x_tool(display, "xwininfo", "-root", "-children").splitlines():
        window = line.split()[0] if line.strip().startswith("0x") else None
        if window is None:
            continue
        owner = x_tool(display, "xprop", "-id", window, "_NET_WM_PID").strip().rpartition(" ")[2]
        if owner == str(pid) and "IsViewable" in x_tool(display, "xwininfo", "-id", window):
            return True
    return False


def start_xvfb():
    read_end, write_end = os.pipe()
    server = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
                              pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write_end)
    with os.fdopen(read_end) as reader:
        number = reader.readline().strip()
    if not number:
        server.kill()
        raise RuntimeError("Xvfb did not start")
    return server, ":" + number


def wine_display(session_root, session_id):
    with open(os.path.join(session_root, session_id, "session.env")) as settings:
        for line in settings:
            if line.startswith("export DISPLAY="):
                return line.split("=", 1)[1].strip().strip("'\"")
    raise RuntimeError("no DISPLAY in the Wine session")


def main():
    platform, game = sys.argv[1], sys.argv[2]
    arguments = ["--window-after-ms", str(int(WINDOW_AFTER_S * 1000)), "--exit-after-ms", str(EXIT_AFTER_S * 1000),
                 "--exit-code", str(EXIT_CODE)]
    server = None
    if platform == "linux":
        server, display = start_xvfb()
        command, environment = [game] + arguments, {**os.environ, "DISPLAY": display}
    else:
        wine_run, session_root = sys.argv[3], sys.argv[4]
        # CTest started this script, as it starts the session scripts.
        session_id = os.environ.get("QVL_WINE_SESSION_ID", f"ctest-{os.getppid()}")
        display = wine_display(session_root, session_id)
        command = [wine_run, session_root, game] + arguments
        # Streamed, so that wine-run.sh replaces itself with Wine and the game
        # runs in the process started here; its output goes nowhere, so a
        # desktop process Wine starts for the window holds no pipe of CTest's.
        environment = {**os.environ, "QVL_WINE_SESSION_ID": session_id, "QVL_WINE_RUN_STREAM": "1"}
    try:
        started = time.monotonic()
        game_process = subprocess.Popen(command, env=environment, stdin=subprocess.DEVNULL,
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        shown_after = None
        while time.monotonic() - started < 60 and game_process.poll() is None:
            if shows_window(display, game_process.pid):
                shown_after = time.monotonic() - started
                break
            time.sleep(0.05)
        code = game_process.wait(timeout=120)
    finally:
        if server is not None:
            server.kill()
    problems = []
    if shown_after is None:
        problems.append("the game never showed a window")
    elif shown_after < WINDOW_AFTER_S:
        problems.append(f"the window showed after {shown_after:.2f} s, before the {WINDOW_AFTER_S} s delay")
    if code != EXIT_CODE:
        problems.append(f"the game exited with {code}, not {EXIT_CODE}")
    for problem in problems:
        print(problem)
    if not problems:
        print(f"window shown after {shown_after:.2f} s; exit code {code}")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
