#!/usr/bin/env python3
"""Converts a generated sample text with ondrel and reads the WAV back with
real clients: Python's wave module and, where installed, sox. Both must see a
2-channel, 16-bit, 44,100 Hz file holding exactly the pairs of the text."""
import os
import random
import shutil
import struct
import subprocess
import sys
import tempfile
import wave


def sample_text(rng, pairs):
    """The pairs written in the layouts people and scripts use."""
    parts = []
    for i, (left, right) in enumerate(pairs):
        layout = i % 4
        if layout == 0:
            parts.append("%d %d\n" % (left, right))
        elif layout == 1:
            parts.append("%d\t%d\r\n" % (left, right))
        elif layout == 2:
            parts.append("+%05d  %d " % (left, right) if left >= 0 else "%d %d " % (left, right))
        else:
            parts.append("%d\n%d\n" % (left, right))
    return "".join(parts).encode("ascii")


def main():
    ondrel = sys.argv[1]
    rng = random.Random(20261211)
    pairs = [(-32768, 32767), (0, -1), (32767, -32768)]
    pairs += [(rng.randint(-32768, 32767), rng.randint(-32768, 32767)) for _ in range(50000)]
    expected = b"".join(struct.pack("<hh", l, r) for l, r in pairs)

    with tempfile.TemporaryDirectory() as tmp:
        text_path = os.path.join(tmp, "in.txt")
        wav_path = os.path.join(tmp, "out.wav")
        with open(text_path, "wb") as f:
            f.write(sample_text(rng, pairs))
        run = subprocess.run([ondrel, text_path, wav_path], capture_output=True)
        assert run.returncode == 0, run

        with wave.open(wav_path, "rb") as w:
            assert w.getnchannels() == 2
            assert w.getsampwidth() == 2
            assert w.getframerate() == 44100
            assert w.getnframes() == len(pairs), w.getnframes()
            assert w.getcomptype() == "NONE"
            assert w.readframes(len(pairs) + 1) == expected
        print("wave: %d frames read back exactly" % len(pairs))

        sox = shutil.which("sox")
        if sox is None:
            if os.environ.get("CI"):
                sys.exit("sox is missing: .ci/run should have installed it")
            print("sox not installed: skipped")
            return
        info = subprocess.run([shutil.which("soxi") or "soxi", "-c", wav_path], capture_output=True, text=True)
        assert info.stdout.strip() == "2", info
        raw = subprocess.run([sox, wav_path, "-t", "raw", "-e", "signed-integer", "-b", "16", "-L", "-"],
                             capture_output=True, check=True).stdout
        assert raw == expected, "sox read different samples"
        print("sox: %d frames read back exactly" % len(pairs))


if __name__ == "__main__":
    main()
