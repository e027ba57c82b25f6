"""How the anti-cheat module reaches the player: the real bootstrapper against
the local test CDN, with its cache revalidated, the CDN failing in the ways a
network fails, a backend that switched the service off, and a studio's
override file. Each test has a product of its own, so its module, its CDN
faults and its cache touch nothing of any other test."""

import hashlib
import json
import os
import re
import shutil
import subprocess
import unittest
import uuid
from pathlib import Path

from harness import HEADLESS, IMMEDIATE_EXIT, GameFolder, LocalCdn, Platform, linux_status, module_cache, valid_settings

UNATTENDED = {HEADLESS: "1", IMMEDIATE_EXIT: "1"}
SUCCESS_LINE = "Launcher finished with: 301, 'Quarvel successfully loaded in-game'."
UNREACHABLE_LINE = "Could not reach the Quarvel CDN!"
RESULT_EVENT = "AntiCheat.Info.BootstrapperResult"
# Both builds take the Linux module: under Wine the game is a 64-bit Windows
# program that the Linux module starts on the host.
MODULE = "libqvl_sample_module.so"
SYSTEM = "linux64"
ARCHITECTURE = "linux_x64"
# The game leaves by itself; the launch does not wait for it.
GAME_ARGS = ["--no-window", "--exit-after-ms", "500"]
# "Connection to the Content Distribution Network failed! Curl Code: {0}!"
# as the shipped catalogues word it.
CONNECTION_FAILED = {
    "en": "Connection to the Content Distribution Network failed! Curl Code: {0}!",
    "fr": "Échec de la connexion au réseau de diffusion de contenu (CDN) ! Curl Code : {0} !",
}
# The libcurl codes of a connection closed without any answer and of an
# answer that ends before its announced length. With Schannel both are a
# connection the server closed without ending TLS: a failed receive.
CURL_CODES = {
    "linux": {"closed": 52, "cut": 18},
    "windows": {"closed": 56, "cut": 56},
}
SIGN_MODULE = Path(__file__).resolve().parent.parent / "tools" / "sign_module.sh"
TRAILER_SIZE = 80
SIGNATURE_REFUSED = "Error validating Quarvel code signing certificate: "
PROGRESS = re.compile(r"Current progress: \d+ \((\d+)/(\d+)\)\.")


class ModuleDeliveryTest(unittest.TestCase):
    def setUp(self):
        self.platform = Platform.from_environment()
        self.cdn = LocalCdn()
        self.game = GameFolder(self.platform)
        self.addCleanup(self.game.close)
        self.product = "qvl-e2e-" + uuid.uuid4().hex[:12]
        self.module_path = f"/modules/{self.product}/live/{SYSTEM}"
        self.addCleanup(shutil.rmtree, self.cdn.root / "modules" / self.product, True)
        for kind in ("down", "cut", "chunked"):
            self.addCleanup(shutil.rmtree, self.cdn.faults / kind / "modules" / self.product, True)
        self.executable = self.platform.executable("qvl_sample_game" if self.platform.name == "windows"
                                                   else "qvl-sample-game")
        self.game.add_game(self.executable, self.platform.bin_dir / self.executable)
        self.game.write_settings(valid_settings(productid=self.product, executable=self.executable))
        self.cache = module_cache(self.game, self.product, ARCHITECTURE)
        self.records = Path(os.environ["QVL_E2E_COLLECTOR_RECORDS"])
        self.closed_code = CURL_CODES[self.platform.name]["closed"]
        self.cut_code = CURL_CODES[self.platform.name]["cut"]

    # --- helpers -------------------------------------------------------------

    def publish(self) -> bytes:
        published = self.cdn.publish(self.platform, self.platform.bin_dir / MODULE, self.product, SYSTEM)
        return published.read_bytes()

    def launch(self, env: dict | None = None):
        start = self.records.stat().st_size if self.records.exists() else 0
        run = self.game.run(GAME_ARGS, env={**UNATTENDED, **(env or {})}, settings_ids=(self.product, "live"))
        run.results = self.reported_results(start)
        return run

    def reported_results(self, start: int) -> list[int]:
        """The launch results this product's runs sent to the collector."""
        if not self.records.exists():
            return []
        with self.records.open("rb") as records:
            records.seek(start)
            lines = records.read().decode("utf-8").splitlines()
        results = []
        for record in (json.loads(line) for line in lines if line):
            if self.product not in record["body"]:
                continue
            for event in json.loads(record["body"])["Events"]:
                if event["EventName"] == RESULT_EVENT:
                    results.append(event["LaunchResult"])
        return results

    def expect_exit(self, run, code):
        expected = code if self.platform.name == "windows" else linux_status(code)
        self.assertEqual(run.exit_code, expected, run.log)

    def expect_success(self, run):
        self.assertTrue(run.logged(SUCCESS_LINE), run.log)
        self.expect_exit(run, 0)
        self.assertEqual(run.results, [301])

    def expect_failure(self, run, code, message):
        self.assertTrue(run.logged(f"Launcher finished with: {code}, '{message}'."), run.log)
        self.expect_exit(run, code)
        self.assertEqual(run.results, [code])

    def expect_sound_cache(self, payload: bytes):
        """The cache holds `payload` and metadata that vouch for it."""
        self.assertEqual(self.cache.payload(), payload)
        metadata = self.cache.metadata()
        self.assertEqual(metadata["sha1"], hashlib.sha1(payload).hexdigest())
        # Lines end as in a Windows text file, on both platforms.
        self.assertRegex(self.cache.metadata_text(), rb"^sha1=[0-9a-f]{40}\r\netag=[^\r\n]+\r\n$")
        return metadata

    def expect_no_cache(self):
        self.assertFalse(self.cache.path.exists(), self.cache.path)
        self.assertFalse(self.cache.metadata_path.exists(), self.cache.metadata_path)

    def sign(self, data: bytes, key_variable: str = "QVL_E2E_MODULE_KEY") -> bytes:
        """`data` with its signature trailer made (or replaced) by one of the
        build's test keys."""
        path = self.game.root / "module-to-sign.so"
        path.write_bytes(data)
        subprocess.run([SIGN_MODULE, os.environ["QVL_E2E_OPENSSL"], os.environ[key_variable], str(path)], check=True)
        return path.read_bytes()

    def publish_bytes(self, data: bytes) -> bytes:
        path = self.game.root / "module-to-publish.so"
        path.write_bytes(data)
        return self.cdn.publish(self.platform, path, self.product, SYSTEM).read_bytes()

    def write_override(self, text: str):
        (self.game.root / (self.executable + ".qvl")).write_text(text, encoding="utf-8")

    def first_launch(self) -> bytes:
        """A published module, downloaded and cached by a successful launch."""
        payload = self.publish()
        run = self.launch()
        self.expect_success(run)
        self.assertFalse(run.logged("No update needed."), run.log)
        self.expect_sound_cache(payload)
        return payload

    # --- tests ---------------------------------------------------------------

    def test_a_second_run_revalidates_and_rewrites_the_cache(self):
        payload = self.publish()
        first = self.launch()
        self.expect_success(first)
        self.assertTrue(first.logged(f"System name: '{SYSTEM}'."), first.log)
        self.assertFalse(first.logged("No update needed."), first.log)
        metadata = self.expect_sound_cache(payload)
        self.assertEqual(metadata["etag"], self.cdn.etag(self.module_path))

        self.cache.set_age(3600)
        written_before = self.cache.modified_ns()
        second = self.launch()
        self.expect_success(second)
        self.assertTrue(second.logged("No update needed."), second.log)
        self.assertTrue(second.logged("Response Code: 304 "), second.log)
        self.assertEqual(self.expect_sound_cache(payload), metadata)
        self.assertGreater(self.cache.modified_ns(), written_before)

    def test_cdn_down_with_a_valid_cache_launches_from_the_cache(self):
        payload = self.first_launch()
        metadata = self.cache.metadata()
        self.cdn.switch_fault("down", self.module_path)
        self.cache.set_age(3600)
        written_before = self.cache.modified_ns()

        run = self.launch()
        self.assertTrue(run.logged(CONNECTION_FAILED["en"].format(self.closed_code)), run.log)
        self.expect_success(run)
        self.assertEqual(self.expect_sound_cache(payload), metadata)
        self.assertGreater(self.cache.modified_ns(), written_before)

    def test_cdn_down_without_a_cache_ends_with_204_in_the_players_language(self):
        self.publish()
        self.cdn.switch_fault("down", self.module_path)
        for language, locale in (("en", "en_US.UTF-8"), ("fr", "fr_FR.UTF-8")):
            with self.subTest(locale=locale):
                run = self.launch({"LC_ALL": locale, "LANG": locale})
                self.expect_failure(run, 204, CONNECTION_FAILED[language].format(self.closed_code))
                self.assertTrue(run.logged(UNREACHABLE_LINE), run.log)
                self.expect_no_cache()

    def test_an_unresolvable_proxy_ends_with_202(self):
        # libcurl answers "localhost" itself, so the CDN host never fails to
        # resolve; the name of a proxy that does not exist does. (The same
        # proxy stands in the way of the analytics, so none arrive.)
        self.publish()
        run = self.launch({"https_proxy": "http://cdn-proxy.quarvel.invalid:3128", "HTTPS_PROXY": "",
                           "no_proxy": "", "NO_PROXY": ""})
        self.assertTrue(run.logged("Launcher finished with: 202, 'DNS resolve to proxy failed!'."), run.log)
        self.assertTrue(run.logged(UNREACHABLE_LINE), run.log)
        self.expect_exit(run, 202)
        self.expect_no_cache()

    def test_a_winhttp_planted_beside_the_bootstrapper_is_never_loaded(self):
        """The game's folder is writable by players and by what they run: a
        winhttp.dll dropped beside the bootstrapper must not be what the proxy
        discovery of a failed download loads."""
        if self.platform.name != "windows":
            self.skipTest("a Windows matter: Linux has no proxy discovery library")
        self.publish()
        self.cdn.switch_fault("down", self.module_path)
        shutil.copy(self.platform.bin_dir / "planted" / "winhttp.dll", self.game.root / "winhttp.dll")
        marker = self.game.root / "winhttp.dll.loaded"
        # Wine would take its builtin winhttp anyway unless told to prefer a
        # native one, which is what a planted copy is.
        run = self.launch({"QVL_WINE_DLL_OVERRIDES": "winhttp=n,b"})
        self.expect_failure(run, 204, CONNECTION_FAILED["en"].format(self.closed_code))
        self.assertFalse(marker.exists(), "the winhttp.dll planted in the game folder was loaded")

    def test_a_disabled_backend_ends_with_204_and_leaves_the_cache_alone(self):
        payload = self.first_launch()
        metadata = self.cache.metadata()
        written_before = self.cache.modified_ns()
        # The backend's "off" answer: 200 with a body of at most 4096 bytes.
        (self.cdn.root / self.module_path.lstrip("/")).write_bytes(b"\0" * 4096)

        run = self.launch()
        self.assertTrue(run.logged("Anti-cheat service disabled on backend."), run.log)
        self.expect_failure(run, 204, "HTTP Response Code: 200 Curl Code: 0")
        self.assertEqual(self.expect_sound_cache(payload), metadata)
        self.assertEqual(self.cache.modified_ns(), written_before)

    def test_an_override_on_the_cdn_host_is_downloaded_and_never_cached(self):
        # An undeployed build, published beside the product's deployments only.
        build = self.cdn.root / "modules" / self.product / "builds" / "1234" / SYSTEM
        build.parent.mkdir(parents=True)
        shutil.move(self.cdn.publish(self.platform, self.platform.bin_dir / MODULE, self.product, SYSTEM), build)
        url = f"https://{self.cdn.host}/modules/{{{{productid}}}}/builds/1234/{{{{system}}}}"
        # The key in any letter case; the first line that has it counts, also
        # right after the byte-order mark an editor may save first.
        self.write_override(f"\ufeffCDN={url}\ncdn=https://{self.cdn.host}/modules/other\n")

        run = self.launch()
        self.assertTrue(run.logged("CDN path overridden by local config file."), run.log)
        self.assertTrue(run.logged(f"Connecting to URL: https://{self.cdn.host}/modules/{self.product}/builds/1234/"
                                   f"{SYSTEM}"), run.log)
        self.expect_success(run)
        self.expect_no_cache()

    def test_an_override_to_another_host_is_refused(self):
        # The other host serves the same tree: only the address is wrong.
        self.publish()
        url = f"https://{self.cdn.gamedev_host}{self.module_path}"
        self.write_override(f"cdn={url}\n")

        run = self.launch()
        self.assertTrue(run.logged("CDN path overridden by local config file."), run.log)
        self.assertTrue(run.logged("Unexpected error. (Incorrect CDN url)"), run.log)
        self.assertFalse(run.logged("Connecting to URL:"), run.log)
        self.expect_failure(run, 205, f"Connection failed: {url}")
        self.expect_no_cache()

    def test_a_transfer_cut_mid_body_never_reaches_the_cache(self):
        cut_message = CONNECTION_FAILED["en"].format(self.cut_code)
        with self.subTest("without a cache"):
            size = len(self.publish())
            marker = self.cdn.switch_fault("cut", self.module_path)
            run = self.launch()
            # The whole module was announced and a part of it arrived.
            received = max((int(done) for done, expected in PROGRESS.findall(run.log) if int(expected) == size),
                           default=0)
            self.assertTrue(0 < received < size, run.log)
            self.expect_failure(run, 204, cut_message)
            self.expect_no_cache()
            marker.unlink()

        with self.subTest("with a valid cache"):
            payload = self.first_launch()
            metadata = self.cache.metadata()
            self.cdn.switch_fault("cut", self.module_path)
            run = self.launch()
            self.assertTrue(run.logged(cut_message), run.log)
            self.expect_success(run)
            self.assertEqual(self.expect_sound_cache(payload), metadata)


    def test_a_module_over_the_size_limit_ends_with_204_and_never_reaches_the_cache(self):
        limit = int(os.environ["QVL_E2E_MAX_MODULE_SIZE"])
        library = (self.platform.bin_dir / MODULE).read_bytes()[:-TRAILER_SIZE]

        def signed_module_of(size: int) -> bytes:
            # The dynamic loader ignores what follows the library.
            return self.sign(library + bytes(size - TRAILER_SIZE - len(library)))

        with self.subTest("a body exactly at the limit loads"):
            self.assertEqual(len(self.publish_bytes(signed_module_of(limit))), limit)
            run = self.launch()
            self.expect_success(run)

        for chunked in (False, True):
            with self.subTest("one byte over the limit", chunked=chunked):
                shutil.rmtree(self.cache.path.parent, ignore_errors=True)
                self.publish_bytes(signed_module_of(limit + 1))
                marker = self.cdn.switch_fault("chunked", self.module_path) if chunked else None
                run = self.launch()
                message = run.log[run.log.find("Launcher finished with: 204"):]
                self.assertRegex(message, r"Connection to the Content Distribution Network failed! Curl Code: \d+!",
                                 run.log)
                self.expect_exit(run, 204)
                self.assertEqual(run.results, [204])
                self.expect_no_cache()
                if marker:
                    marker.unlink()

    def test_only_the_module_as_the_build_key_signed_it_runs(self):
        if "QVL_E2E_MODULE_KEY" not in os.environ:
            self.skipTest("this build has no module keys")
        signed = (self.platform.bin_dir / MODULE).read_bytes()
        library = signed[:-TRAILER_SIZE]
        flipped = bytearray(signed)
        flipped[len(library) // 2] ^= 0x01
        cases = [
            ("unsigned", library, "the module is not signed"),
            ("one byte flipped", bytes(flipped), "the module signature does not match the module"),
            ("signed with another key", self.sign(library, "QVL_E2E_OTHER_MODULE_KEY"),
             "the module is signed by an unknown key"),
        ]
        for name, module, reason in cases:
            with self.subTest(name):
                self.publish_bytes(module)
                run = self.launch()
                self.expect_failure(run, 206, SIGNATURE_REFUSED + reason)
                self.expect_no_cache()

        with self.subTest("a cache file rewritten together with its checksum"):
            payload = self.first_launch()
            tampered = bytearray(payload)
            tampered[len(payload) // 2] ^= 0x01
            self.cache.path.write_bytes(bytes(tampered))
            etag = self.cache.metadata()["etag"]
            self.cache.metadata_path.write_bytes(
                f"sha1={hashlib.sha1(bytes(tampered)).hexdigest()}\r\netag={etag}\r\n".encode("ascii"))
            run = self.launch()
            self.assertTrue(run.logged("No update needed."), run.log)
            self.expect_failure(run, 206, SIGNATURE_REFUSED + "the module signature does not match the module")
            self.expect_no_cache()


if __name__ == "__main__":
    unittest.main()
