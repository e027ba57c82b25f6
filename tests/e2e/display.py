"""The X display a windowed end-to-end run shows its windows on: the xvfb
fixture's Xvfb natively, the Wine session's Xvfb for the Windows build.
Screenshots of the whole screen, the bootstrapper's window found by its
title, pixel probes of its screens and real clicks through xdotool."""

import os
import re
import subprocess
import time
from dataclasses import dataclass
from pathlib import Path

from harness import Platform

WIDTH, HEIGHT = 800, 450
OPEN_SANS = Path("/usr/share/fonts/truetype/open-sans")
# Pixels of the built-in splash (window coordinates and their colour), and
# the progress bar's fill at both ends, as the screens draw them.
SPLASH_PIXELS = [((590, 150), (48, 92, 137)), ((60, 60), (11, 28, 38)), ((700, 200), (17, 32, 55))]
FULL_BAR_PIXELS = [((5, 445), (51, 155, 255)), ((790, 445), (118, 224, 255))]
# The error screen's dark overlay over the same splash pixels.
ERROR_OVERLAY_PIXELS = [((590, 150), (4, 9, 13)), ((60, 60), (1, 2, 3)), ((700, 200), (1, 3, 5))]
EXIT_BUTTON_X = 320
# The middle of the Exit button below a one-line error message.
EXIT_BUTTON_ONE_LINE = (400, 293)


def near(colour, expected, tolerance=12) -> bool:
    return all(abs(a - b) <= tolerance for a, b in zip(colour, expected))


@dataclass
class Shot:
    """One screenshot of the whole screen, as RGB bytes."""

    width: int
    height: int
    rgb: bytes

    def pixel(self, x: int, y: int) -> tuple[int, int, int]:
        offset = (y * self.width + x) * 3
        return tuple(self.rgb[offset:offset + 3])

    def region(self, x: int, y: int, width: int, height: int) -> bytes:
        rows = (self.rgb[((y + row) * self.width + x) * 3:((y + row) * self.width + x + width) * 3]
                for row in range(height))
        return b"".join(rows)

    def save_png(self, path: Path) -> None:
        subprocess.run(["convert", "-size", f"{self.width}x{self.height}", "-depth", "8", "rgb:-", str(path)],
                       input=self.rgb, check=True)


@dataclass
class Window:
    """A window on the screen: its top left corner in screen pixels."""

    x: int
    y: int

    def pixel(self, shot: Shot, x: int, y: int) -> tuple[int, int, int]:
        return shot.pixel(self.x + x, self.y + y)

    def matches(self, shot: Shot, probes) -> bool:
        return all(near(self.pixel(shot, x, y), colour) for (x, y), colour in probes)

    def shows_splash(self, shot: Shot) -> bool:
        return self.matches(shot, SPLASH_PIXELS)

    def shows_full_bar(self, shot: Shot) -> bool:
        return self.matches(shot, FULL_BAR_PIXELS)

    def shows_error_overlay(self, shot: Shot) -> bool:
        return self.matches(shot, ERROR_OVERLAY_PIXELS)

    def exit_button_rows(self, shot: Shot) -> tuple[int, int] | None:
        """The first and last window row of the Exit button (blue over the
        overlay, brighter under the pointer), found down a column just
        inside its left edge."""
        column = EXIT_BUTTON_X + 3
        rows = [y for y in range(150, HEIGHT) if self._is_button_blue(shot, column, y)]
        if not rows or rows[-1] - rows[0] + 1 != len(rows):
            return None
        # Only the button's rectangle is blue: a little left of it is the overlay.
        if self._is_button_blue(shot, EXIT_BUTTON_X - 2, rows[0] + 3):
            return None
        return rows[0], rows[-1]

    def _is_button_blue(self, shot: Shot, x: int, y: int) -> bool:
        r, _, b = self.pixel(shot, x, y)
        return b >= 125 and r <= 20

    def ink_columns(self, shot: Shot, top: int, bottom: int, threshold: int = 110) -> tuple[int, int] | None:
        """The first and last column with a bright pixel between window rows
        top and bottom: where a light text on the dark screen begins and ends."""
        columns = [x for x in range(WIDTH)
                   if any(max(self.pixel(shot, x, y)) > threshold for y in range(top, bottom))]
        return (columns[0], columns[-1]) if columns else None


class Screen:
    """The test's X display."""

    def __init__(self, platform: Platform):
        self.platform = platform
        self.display = self._display_name()

    def _display_name(self) -> str:
        if self.platform.name == "windows":
            session = self.platform.session_dir / self.platform.env["QVL_WINE_SESSION_ID"]
        else:
            session = Path(os.environ["QVL_E2E_XVFB_SESSION"]) / f"ctest-{os.getppid()}"
        for line in (session / "session.env").read_text().splitlines():
            if line.startswith("export DISPLAY="):
                return line.split("=", 1)[1].strip("'")
        raise RuntimeError("no DISPLAY in " + str(session))

    def hold(self) -> None:
        """Keeps a connection to the display open until release(): an X
        server resets when its last client leaves, and with it the pointer
        returns to the middle of the screen."""
        self.holder = subprocess.Popen(["xdotool", "sleep", "86400"], env={**os.environ, "DISPLAY": self.display},
                                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        time.sleep(0.3)

    def release(self) -> None:
        self.holder.kill()
        self.holder.wait()

    def environment(self) -> dict:
        """What a program needs to open its windows here."""
        return {"DISPLAY": self.display}

    def _run(self, args: list[str]) -> subprocess.CompletedProcess:
        return subprocess.run(args, env={**os.environ, "DISPLAY": self.display}, stdout=subprocess.PIPE,
                              stderr=subprocess.PIPE, timeout=30)

    def screenshot(self) -> Shot:
        width, height = self._run(["xdotool", "getdisplaygeometry"]).stdout.decode().split()
        completed = self._run(["import", "-window", "root", "-depth", "8", "rgb:-"])
        return Shot(int(width), int(height), completed.stdout)

    def visible_windows(self, title: str | None) -> list[Window]:
        """The mapped 800 x 450 windows whose name is exactly `title`, or
        of any name for None."""
        pattern = ".*" if title is None else f"^{re.escape(title)}$"
        found = self._run(["xdotool", "search", "--onlyvisible", "--name", pattern])
        windows = []
        for window_id in found.stdout.decode().split():
            geometry = self._run(["xdotool", "getwindowgeometry", "--shell", window_id]).stdout.decode()
            values = dict(line.split("=", 1) for line in geometry.splitlines() if "=" in line)
            if int(values.get("WIDTH", 0)) == WIDTH and int(values.get("HEIGHT", 0)) == HEIGHT:
                windows.append(Window(int(values["X"]), int(values["Y"])))
        return windows

    def wait_for_window(self, title: str, timeout: float, alive=lambda: True) -> Window | None:
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline and alive():
            windows = self.visible_windows(title)
            if windows:
                return windows[0]
            time.sleep(0.2)
        return None

    def wait_for(self, window: Window, shows, timeout: float) -> Shot | None:
        """The first screenshot on which `shows` (window, shot) holds."""
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            shot = self.screenshot()
            if shows(window, shot):
                return shot
            time.sleep(0.2)
        return None

    def wait_until_settled(self, window: Window, shows, timeout: float) -> Shot | None:
        """The first screenshot on which `shows` (window, shot) holds and the
        window looks as it did a moment before: its fades have ended."""
        deadline = time.monotonic() + timeout
        previous = None
        while time.monotonic() < deadline:
            shot = self.screenshot()
            pixels = shot.region(window.x, window.y, WIDTH, HEIGHT)
            if shows(window, shot) and pixels == previous:
                return shot
            previous = pixels
            time.sleep(0.3)
        return None

    def park_pointer(self, x: int, y: int) -> None:
        """Puts the pointer at window pixel (x, y) of a window still to open
        centred on the screen, as a player's pointer resting there.

        The bootstrapper hit-tests its buttons with the global pointer
        position that SDL reports. On X11 SDL reads that position once and
        then again only after raw input events, which the synthetic pointer
        of xdotool (XTEST) does not produce: natively, the position the
        bootstrapper knows is where the pointer was when its window opened."""
        width, height = self._run(["xdotool", "getdisplaygeometry"]).stdout.decode().split()
        left, top = (int(width) - WIDTH) // 2, (int(height) - HEIGHT) // 2
        self._run(["xdotool", "mousemove", str(left + x), str(top + y)])

    def pointer(self) -> str:
        return self._run(["xdotool", "getmouselocation"]).stdout.decode().strip()

    def click(self, window: Window, x: int, y: int) -> None:
        """A left click at window pixel (x, y)."""
        self._run(["xdotool", "mousemove", str(window.x + x), str(window.y + y)])
        time.sleep(0.2)
        self._run(["xdotool", "click", "1"])


def text_ink_width(text: str, face: str, point_size: int, font_file: Path | None = None) -> int:
    """How wide `text` is drawn with Open Sans `face` (or the font in
    `font_file`) at `point_size` (72 dpi), from the first to the last column
    with ink."""
    font = font_file or OPEN_SANS / f"OpenSans-{face}.ttf"
    completed = subprocess.run(["convert", "-font", str(font), "-density", "72",
                                "-pointsize", str(point_size), "-background", "black", "-fill", "white",
                                "label:" + text.replace("\\", "\\\\").replace("%", "%%"), "-trim", "-format", "%w",
                                "info:"],
                               stdout=subprocess.PIPE, stderr=subprocess.PIPE, check=True, timeout=30)
    return int(completed.stdout.decode())
