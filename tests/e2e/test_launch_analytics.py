"""The end-of-run analytics of a real bootstrapper run, as the local
collector receives them (a development build's telemetry host)."""

import json
import os
import re
import unittest
import uuid
from pathlib import Path

from harness import HEADLESS, IMMEDIATE_EXIT, GameFolder, Platform, linux_status, valid_settings

UNATTENDED = {HEADLESS: "1", IMMEDIATE_EXIT: "1"}
RESULT_EVENT = "AntiCheat.Info.BootstrapperResult"
SDK_EVENTS_PATH = ("/telemetry/data/flowpost/api/v1/public/data?AppVersion=1.0.0&AppEnvironment=Production"
                   "&UploadType=sdkevents&AppID=TavikSDK.AntiCheatExt.Launcher&SessionId=")
SESSION_ID = re.compile(r"[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}")


class Collector:
    """The records the collector appends, one JSON object a line."""

    def __init__(self):
        self.path = Path(os.environ["QVL_E2E_COLLECTOR_RECORDS"])

    def size(self) -> int:
        return self.path.stat().st_size if self.path.exists() else 0

    def records_since(self, offset: int) -> list[dict]:
        if not self.path.exists():
            return []
        with self.path.open("rb") as records:
            records.seek(offset)
            return [json.loads(line) for line in records.read().decode("utf-8").splitlines() if line]


class LaunchAnalyticsTest(unittest.TestCase):
    def setUp(self):
        self.platform = Platform.from_environment()
        self.game = GameFolder(self.platform)
        self.addCleanup(self.game.close)
        self.collector = Collector()
        # A product of this test alone picks its records out of the collector's.
        self.product = "qvl-e2e-" + uuid.uuid4().hex[:12]

    def expect_exit(self, run, code):
        expected = code if self.platform.name == "windows" else linux_status(code)
        self.assertEqual(run.exit_code, expected, run.log)

    def test_a_finished_launch_reports_its_result(self):
        # The bootstrapper itself stands in for the game binary.
        self.game.add_game("game.exe", self.game.root / self.platform.bootstrapper_name)
        self.game.write_settings(valid_settings(productid=self.product))
        start = self.collector.size()
        run = self.game.run(env=UNATTENDED, settings_ids=(self.product, "live"))

        match = re.search(r"Launcher finished with: (\d+), ", run.log)
        self.assertIsNotNone(match, run.log)
        result = int(match.group(1))
        self.assertNotEqual(result, 0, run.log)
        self.expect_exit(run, result)

        # The batch is on the collector before the process ends.
        records = [r for r in self.collector.records_since(start) if self.product in r["body"]]
        self.assertEqual(len(records), 1, records)
        record = records[0]
        self.assertEqual(record["method"], "POST")
        self.assertTrue(record["path"].startswith(SDK_EVENTS_PATH), record["path"])
        self.assertRegex(record["path"][len(SDK_EVENTS_PATH):], SESSION_ID)
        headers = [tuple(header) for header in record["headers"]]
        self.assertIn(("Content-Type", "application/json"), headers)
        self.assertIn(("User-Agent", "Quarvel Tavik Bootstrapper/1.9.0"), headers)

        events = json.loads(record["body"])["Events"]
        self.assertEqual(events[0]["EventName"], RESULT_EVENT)
        self.assertEqual(list(events[0].items())[:8], [
            ("EventName", RESULT_EVENT),
            ("Source", "Bootstrapper/1.9.0"),
            ("BuildTime", events[0]["BuildTime"]),
            ("ProductId", self.product),
            ("SandboxId", "sandbox-1"),
            ("DeploymentId", "live"),
            ("OSName", "Wine" if self.platform.name == "windows" else "Linux"),
            ("OSVer", events[0]["OSVer"]),
        ])
        self.assertNotEqual(events[0]["OSVer"], "")
        # A number, written without quotes.
        self.assertEqual(events[0]["LaunchResult"], result)
        self.assertIn(f'"LaunchResult":{result}}}', record["body"])

    def test_bad_settings_send_nothing(self):
        # Everything valid but the sandbox id: the launch ends with 207.
        self.game.write_settings(valid_settings(productid=self.product, sandboxid="bad sandbox"))
        start = self.collector.size()
        run = self.game.run(env=UNATTENDED, settings_ids=(self.product, "live"))
        self.expect_exit(run, 207)

        # e2e runs never overlap, and nothing else sends this event.
        sent = [r for r in self.collector.records_since(start) if RESULT_EVENT in r["body"]]
        self.assertEqual(sent, [])


if __name__ == "__main__":
    unittest.main()
