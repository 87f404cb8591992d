"""The track2 command-line tool: decoding files, buffers, formats, and its errors.

usage: cli_test.py TRACK2_EXECUTABLE [unittest arguments]
"""
import os
import struct
import subprocess
import sys
import tempfile
import unittest
import wave

TRACK2 = None
CARD = ";5413330089020011=2512101123456789?"


def run(*args):
    return subprocess.run([TRACK2, *args], capture_output=True, text=True, timeout=120)


class Files:
    """A scratch folder with synthesized swipes."""

    def __init__(self):
        self.dir = tempfile.TemporaryDirectory()

    def path(self, name):
        return os.path.join(self.dir.name, name)

    def synth(self, name, *options, text=CARD):
        out = self.path(name)
        r = run("synth", "--text", text, *options, "-o", out)
        assert r.returncode == 0, r.stderr
        return out

    def samples(self, path):
        with wave.open(path, "rb") as w:
            data = w.readframes(w.getnframes())
        return list(struct.unpack("<%dh" % (len(data) // 2), data))

    def write_pcm(self, name, frames, channels=1, rate=44100, width=2):
        out = self.path(name)
        with wave.open(out, "wb") as w:
            w.setnchannels(channels)
            w.setsampwidth(width)
            w.setframerate(rate)
            w.writeframes(frames)
        return out

    def write_float(self, name, values, rate=44100):
        data = struct.pack("<%df" % len(values), *values)
        fmt = struct.pack("<HHIIHH", 3, 1, rate, rate * 4, 4, 32)
        riff = b"WAVE" + b"fmt " + struct.pack("<I", len(fmt)) + fmt + b"data" + struct.pack("<I", len(data)) + data
        out = self.path(name)
        with open(out, "wb") as f:
            f.write(b"RIFF" + struct.pack("<I", len(riff)) + riff)
        return out


class Decode(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.files = Files()

    def assertDecodes(self, path, text=CARD, *options):
        r = run("decode", path, *options)
        self.assertEqual(r.returncode, 0, r.stdout + r.stderr)
        lines = r.stdout.split("\n")
        self.assertEqual(lines[-1], "", "the output ends with an end of line")
        self.assertEqual(lines[-2], text)
        self.assertIn("Temp decoded: " + text, lines[:-2])
        for line in lines[:-2]:
            self.assertTrue(line.startswith("Temp decoded: ") or line.startswith("Decoded: ["), line)
        return lines[:-1]

    def test_swipes_of_every_kind(self):
        cases = {
            "forward.wav": [],
            "backward.wav": ["--backward", "--period", "14"],
            "ramp_noise.wav": ["--start-period", "40", "--end-period", "28", "--noise", "300", "--seed", "3"],
            "lorentzian_dc.wav": ["--shape", "lorentzian", "--dc", "90", "--wobble", "0.05"],
        }
        for name, options in cases.items():
            with self.subTest(name):
                self.assertDecodes(self.files.synth(name, *options))

    def test_a_clean_swipe_writes_one_line_before_the_text(self):
        lines = self.assertDecodes(self.files.synth("one.wav", "--width", "0.08"))
        self.assertEqual(lines, ["Temp decoded: " + CARD, CARD])

    def test_nothing_decoded_is_an_empty_last_line_and_status_1(self):
        silence = self.files.write_pcm("silence.wav", b"\0\0" * 44100)
        tiny = self.files.write_pcm("tiny.wav", b"\1\0" * 100)   # 200 bytes: not looked at
        short_card = self.files.synth("short.wav", text=";123?")  # frames, but under 16 characters
        for path in (silence, tiny, short_card):
            with self.subTest(os.path.basename(path)):
                r = run("decode", path)
                self.assertEqual(r.returncode, 1, r.stderr)
                self.assertTrue(r.stdout.endswith("\n"))
                self.assertEqual(r.stdout.split("\n")[-2], "")
        self.assertEqual(run("decode", tiny).stdout, "\n")
        self.assertIn("Temp decoded: ;123?\n", run("decode", short_card).stdout)

    def test_other_sample_formats_are_converted(self):
        samples = self.files.samples(self.files.synth("base.wav", "--period", "25"))
        stereo = self.files.write_pcm(
            "stereo.wav", b"".join(struct.pack("<hh", s, s // 2) for s in samples), channels=2)
        floats = self.files.write_float("float.wav", [s / 32768.0 for s in samples])
        eight = self.files.write_pcm(
            "eight.wav", bytes(max(0, min(255, 128 + round(s / 256))) for s in samples), width=1)
        for path in (stereo, floats, eight):
            with self.subTest(os.path.basename(path)):
                self.assertDecodes(path)

    def test_buffers_are_decoded_one_after_the_other(self):
        swipe = self.files.samples(self.files.synth("swipe.wav", "--lead", "2000", "--trail", "2000"))
        second = 44100
        # second 0: silence; second 1: the swipe; second 2: silence
        body = [0] * second + swipe + [0] * (second - len(swipe)) + [0] * second
        path = self.files.write_pcm("three.wav", struct.pack("<%dh" % len(body), *body))
        r = run("decode", path, "--buffer-seconds", "1")
        self.assertEqual(r.returncode, 1, "the last buffer's decode replaces the card")
        decoded = [l for l in r.stdout.split("\n") if l.startswith("Decoded: [")]
        self.assertEqual(decoded, ["Decoded: [] ", "Decoded: [%s] " % CARD, "Decoded: [] "])
        self.assertEqual(r.stdout.split("\n")[-2], "")

        # A shorter last buffer is decoded as it is: the card read there is the result.
        body = [0] * second + swipe
        path = self.files.write_pcm("tail.wav", struct.pack("<%dh" % len(body), *body))
        lines = self.assertDecodes(path, CARD, "--buffer-seconds", "1")
        self.assertEqual([l for l in lines if l.startswith("Decoded: [")],
                         ["Decoded: [] ", "Decoded: [%s] " % CARD])


class Errors(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.files = Files()

    def assertFails(self, args, mention):
        r = run(*args)
        self.assertEqual(r.returncode, 2, r.stdout + r.stderr)
        self.assertEqual(r.stdout, "")
        self.assertEqual(len(r.stderr.strip().split("\n")), 1, r.stderr)
        self.assertIn(mention, r.stderr)

    def test_unusable_files(self):
        f = self.files
        good = f.synth("good.wav")
        with open(good, "rb") as src:
            data = src.read()

        def write(name, content):
            with open(f.path(name), "wb") as out:
                out.write(content)
            return f.path(name)

        cases = [
            (f.path("missing.wav"), "cannot open"),
            (write("empty.wav", b""), "empty"),
            (write("truncated.wav", data[: len(data) // 2]), "truncated"),
            (write("header_only.wav", data[:30]), "not a readable sound file"),
            (write("text.wav", b"this is not a sound file\n" * 20), "not a readable sound file"),
            (f.write_pcm("no_samples.wav", b""), "no audio samples"),
            (f.write_pcm("rate48k.wav", b"\0\0" * 48000, rate=48000), "48000"),
        ]
        for path, mention in cases:
            with self.subTest(os.path.basename(path)):
                self.assertFails(["decode", path], mention)

    def test_bad_arguments(self):
        good = self.files.synth("good.wav")
        cases = [
            (["decode", good, "--buffer-seconds", "0"], "--buffer-seconds"),
            (["decode", good, "--buffer-seconds", "x"], "--buffer-seconds"),
            (["decode", good, "--frobnicate"], "unexpected argument"),
            (["synth", "--text", ";12A?", "-o", self.files.path("x.wav")], "0-9"),
            (["synth", "--text", CARD], "needs --text and -o"),
            (["synth", "--text", CARD, "--period", "-3", "-o", self.files.path("x.wav")], "--period"),
            (["synth", "--text", CARD, "-o", os.path.join(self.files.path("no_dir"), "x.wav")], "cannot write"),
        ]
        for args, mention in cases:
            with self.subTest(" ".join(args[:3])):
                self.assertFails(args, mention)


if __name__ == "__main__":
    TRACK2 = sys.argv.pop(1)
    unittest.main()
