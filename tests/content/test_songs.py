"""Checks of the built-in songs in data/QR06V2XLM/MCI.

Run from the repository root:
    python3 -m unittest discover -s tests/content -p 'test_songs.py'

The module also works as a helper for render_songs.sh:
    python3 tests/content/test_songs.py --describe FILE...
prints one tab separated line per file: name, BPM, key, lead program, seconds.
"""

import filecmp
import itertools
import os
import struct
import subprocess
import sys
import tempfile
import unittest

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
SONG_DIR = os.path.join(ROOT, "data", "QR06V2XLM", "MCI")
GENERATOR = os.path.join(ROOT, "tools", "make_songs.py")

TITLES = (
    "Sandstorm", "A never ending dream", "the Drive", "Bullet in the gun",
    "Dreams", "Heaven", "Seven days and one week", "Feel the beat",
    "Velmara 2004",
)

DRUM_CHANNEL = 9
# circle of fifths from seven flats; a minor key sits three places further on
KEY_NAMES = ("Cb", "Gb", "Db", "Ab", "Eb", "Bb", "F", "C", "G", "D", "A", "E",
             "B", "F#", "C#", "G#", "D#", "A#")


class MidiError(Exception):
    pass


def read_varlen(data, pos, end):
    value = 0
    for _ in range(4):
        if pos >= end:
            raise MidiError("variable length number runs past the chunk")
        b = data[pos]
        pos += 1
        value = (value << 7) | (b & 0x7F)
        if not b & 0x80:
            return value, pos
    raise MidiError("variable length number longer than four bytes")


DATA_BYTES = {0x80: 2, 0x90: 2, 0xA0: 2, 0xB0: 2, 0xC0: 1, 0xD0: 1, 0xE0: 2}


def parse_track(data, pos, end):
    """Events of one MTrk body as (tick, kind, fields) tuples.

    kind is "meta" (type, payload), "sysex" (payload) or the channel message
    status nibble (channel, data bytes...).
    """
    events = []
    tick = 0
    status = None
    ended = False
    while pos < end:
        if ended:
            raise MidiError("events after end of track")
        delta, pos = read_varlen(data, pos, end)
        tick += delta
        if pos >= end:
            raise MidiError("event missing after delta time")
        b = data[pos]
        if b == 0xFF:
            if pos + 1 >= end:
                raise MidiError("truncated meta event")
            mtype = data[pos + 1]
            length, pos = read_varlen(data, pos + 2, end)
            if pos + length > end:
                raise MidiError("meta event runs past the chunk")
            events.append((tick, "meta", (mtype, bytes(data[pos:pos + length]))))
            pos += length
            status = None
            if mtype == 0x2F:
                ended = True
            continue
        if b in (0xF0, 0xF7):
            length, pos = read_varlen(data, pos + 1, end)
            if pos + length > end:
                raise MidiError("sysex runs past the chunk")
            events.append((tick, "sysex", bytes(data[pos:pos + length])))
            pos += length
            status = None
            continue
        if b & 0x80:
            if b >= 0xF0:
                raise MidiError("unexpected system message 0x%02X" % b)
            status = b
            pos += 1
        elif status is None:
            raise MidiError("running status without a status byte")
        count = DATA_BYTES[status & 0xF0]
        if pos + count > end:
            raise MidiError("truncated channel message")
        fields = tuple(data[pos:pos + count])
        if any(v > 0x7F for v in fields):
            raise MidiError("data byte above 127")
        events.append((tick, status & 0xF0, (status & 0x0F,) + fields))
        pos += count
    if not ended:
        raise MidiError("track does not end with end-of-track")
    return events


def parse_smf(data):
    if data[:4] != b"MThd":
        raise MidiError("missing MThd")
    (hlen,) = struct.unpack(">I", data[4:8])
    if hlen != 6:
        raise MidiError("MThd length %d" % hlen)
    fmt, ntracks, division = struct.unpack(">HHH", data[8:14])
    pos = 14
    tracks = []
    while pos < len(data):
        if data[pos:pos + 4] != b"MTrk" or pos + 8 > len(data):
            raise MidiError("expected MTrk at offset %d" % pos)
        (length,) = struct.unpack(">I", data[pos + 4:pos + 8])
        body = pos + 8
        if body + length > len(data):
            raise MidiError("track chunk longer than the file")
        tracks.append(parse_track(data, body, body + length))
        pos = body + length
    return {"format": fmt, "ntracks": ntracks, "division": division, "tracks": tracks}


class Song:
    """Facts about one parsed song, derived from its events."""

    def __init__(self, path):
        with open(path, "rb") as f:
            self.smf = parse_smf(f.read())
        self.division = self.smf["division"]
        events = [e for t in self.smf["tracks"] for e in t]
        self.metas = [(tick, f[0], f[1]) for tick, kind, f in events if kind == "meta"]
        self.end_tick = max(t[-1][0] for t in self.smf["tracks"])
        self.tempos = sorted((tick, int.from_bytes(p, "big"))
                             for tick, m, p in self.metas if m == 0x51)
        self.channel_events = sorted(((tick, kind, f) for tick, kind, f in events
                                      if isinstance(kind, int)), key=lambda e: e[0])
        self.lead_program = None
        for track in self.smf["tracks"]:
            names = [f[1] for _, kind, f in track if kind == "meta" and f[0] == 0x03]
            programs = [f[1] for _, kind, f in track if kind == 0xC0]
            if names and names[0] == b"Lead" and programs:
                self.lead_program = programs[0]

    @property
    def bpm(self):
        return 60000000 / self.tempos[0][1]

    @property
    def key(self):
        for _, m, p in self.metas:
            if m == 0x59:
                sf, minor = struct.unpack(">bB", p)
                return KEY_NAMES[sf + 7 + (3 if minor else 0)] + ("m" if minor else "")
        return None

    def seconds(self, tick=None):
        """Time of tick (default: the end) from the tempo map."""
        tick = self.end_tick if tick is None else tick
        total = 0.0
        last_tick, tempo = 0, 500000
        for t, value in self.tempos:
            if t >= tick:
                break
            total += (t - last_tick) * tempo / self.division
            last_tick, tempo = t, value
        total += (tick - last_tick) * tempo / self.division
        return total / 1e6

    def notes(self):
        """(channel, note, velocity, on tick, off tick); raises on a mismatch."""
        sounding = {}
        done = []
        # Within a tick a note-off closes the previous note before a new
        # note-on of the same key opens, as a sequencer plays them in order.
        for tick, kind, f in self.channel_events:
            if kind not in (0x80, 0x90):
                continue
            key = f[:2]
            if kind == 0x90 and f[2] > 0:
                if key in sounding:
                    raise MidiError("note %r struck again while sounding at %d" % (key, tick))
                sounding[key] = (tick, f[2])
            else:
                if key not in sounding:
                    raise MidiError("note-off %r without note-on at %d" % (key, tick))
                on, vel = sounding.pop(key)
                done.append(key + (vel, on, tick))
        if sounding:
            raise MidiError("notes still sounding at the end: %r" % sorted(sounding))
        return done


def song_path(title, directory=None):
    return os.path.join(directory or SONG_DIR, title + ".seq")


class SongFileTest(unittest.TestCase):
    """Every shipped song: structure, timing and value ranges."""

    @classmethod
    def setUpClass(cls):
        cls.songs = {}
        for title in TITLES:
            try:
                cls.songs[title] = Song(song_path(title))
            except (OSError, MidiError) as e:
                cls.songs[title] = e

    def loaded(self, title, song):
        if isinstance(song, Exception):
            self.fail("cannot read %s: %s" % (title, song))
        return song

    def test_directory_holds_exactly_the_nine_songs(self):
        found = sorted(n for n in os.listdir(SONG_DIR) if n.endswith(".seq"))
        self.assertEqual(found, sorted(t + ".seq" for t in TITLES))

    def test_header_and_chunks(self):
        for title, song in self.songs.items():
            with self.subTest(song=title):
                song = self.loaded(title, song)
                smf = song.smf
                self.assertIn(smf["format"], (0, 1))
                self.assertEqual(smf["ntracks"], len(smf["tracks"]))
                if smf["format"] == 0:
                    self.assertEqual(smf["ntracks"], 1)
                self.assertFalse(smf["division"] & 0x8000, "SMPTE timing")
                self.assertGreater(smf["division"], 0)

    def test_tempo_and_meter(self):
        for title, song in self.songs.items():
            with self.subTest(song=title):
                song = self.loaded(title, song)
                self.assertTrue(song.tempos, "no tempo event")
                self.assertEqual(song.tempos[0][0], 0, "first tempo not at the start")
                for _, tempo in song.tempos:
                    self.assertTrue(130 <= 60000000 / tempo <= 145, tempo)
                signatures = [(t, p) for t, m, p in song.metas if m == 0x58]
                self.assertTrue(signatures, "no time signature")
                for tick, payload in signatures:
                    self.assertEqual(payload[:2], bytes([4, 2]), "not 4/4 at %d" % tick)
                self.assertEqual(signatures[0][0], 0)
                self.assertIsNotNone(song.key, "no key signature")

    def test_length_and_loop_point(self):
        for title, song in self.songs.items():
            with self.subTest(song=title):
                song = self.loaded(title, song)
                self.assertTrue(60 <= song.seconds() <= 180, song.seconds())
                bar = 4 * song.division
                self.assertEqual(song.end_tick % bar, 0, "end is not on a bar line")
                for track in song.smf["tracks"]:
                    self.assertEqual(track[-1][0], song.end_tick,
                                     "a track ends before the song")

    def test_notes_and_ranges(self):
        for title, song in self.songs.items():
            with self.subTest(song=title):
                song = self.loaded(title, song)
                # Keys, programs and controller values above 127 are already
                # rejected by the parser; notes() raises on unpaired notes.
                notes = song.notes()
                self.assertTrue(notes)
                for channel, key, velocity, on, off in notes:
                    self.assertTrue(1 <= velocity <= 127)
                    self.assertLess(on, off)
                drums = [n for n in notes if n[0] == DRUM_CHANNEL]
                self.assertTrue(drums, "no drums on channel 10")
                bad = sorted({n[1] for n in drums if not 35 <= n[1] <= 81})
                self.assertEqual(bad, [], "not General MIDI percussion")
                self.assertTrue(any(n[0] != DRUM_CHANNEL for n in notes))
                self.assertIsNotNone(song.lead_program, "no program on the Lead track")

    def test_songs_differ(self):
        identity = {}
        for title, song in self.songs.items():
            with self.subTest(song=title):
                song = self.loaded(title, song)
                identity[title] = (round(song.bpm, 2), song.key, song.lead_program)
        for a, b in itertools.combinations(identity, 2):
            with self.subTest(pair=(a, b)):
                self.assertNotEqual(identity[a], identity[b])


class GeneratorTest(unittest.TestCase):
    def test_generator_is_deterministic_and_matches_shipped_files(self):
        with tempfile.TemporaryDirectory() as tmp:
            runs = []
            for name in ("one", "two"):
                out = os.path.join(tmp, name)
                subprocess.run([sys.executable, GENERATOR, out], check=True,
                               stdout=subprocess.DEVNULL)
                runs.append(out)
            for title in TITLES:
                with self.subTest(song=title):
                    fresh = song_path(title, runs[0])
                    self.assertTrue(filecmp.cmp(fresh, song_path(title, runs[1]), shallow=False),
                                    "two runs differ")
                    self.assertTrue(filecmp.cmp(fresh, song_path(title), shallow=False),
                                    "shipped file is stale; rerun tools/make_songs.py")


class ParserTest(unittest.TestCase):
    """The checks above are only as good as the parser; feed it faults."""

    @staticmethod
    def smf(body, declared=None):
        length = len(body) if declared is None else declared
        return (b"MThd" + struct.pack(">IHHH", 6, 1, 1, 480) +
                b"MTrk" + struct.pack(">I", length) + body)

    def test_faults_are_reported(self):
        good = b"\x00\x90\x3C\x40\x60\x80\x3C\x40\x00\xFF\x2F\x00"
        cases = (
            ("length too long", self.smf(good, len(good) + 4)),
            ("length too short", self.smf(good, len(good) - 2)),
            ("no end of track", self.smf(good[:-4])),
            ("data byte above 127", self.smf(b"\x00\x90\x3C\x80" + good[4:])),
            ("running status first", self.smf(b"\x00\x3C\x40" + good)),
            ("garbage after chunk", self.smf(good) + b"junk"),
            ("events after end", self.smf(good + b"\x00\x90\x3C\x40")),
        )
        self.assertEqual(len(parse_smf(self.smf(good))["tracks"][0]), 3)
        for name, data in cases:
            with self.subTest(case=name):
                with self.assertRaises(MidiError):
                    parse_smf(data)

    def test_running_status_and_note_pairing(self):
        # note-on with running status, then note-on velocity 0 as note-off
        body = b"\x00\x99\x24\x64\x3C\x24\x00\x00\xFF\x2F\x00"
        with tempfile.TemporaryDirectory() as tmp:
            path = os.path.join(tmp, "x.seq")
            with open(path, "wb") as f:
                f.write(self.smf(body))
            self.assertEqual(Song(path).notes(), [(9, 0x24, 0x64, 0, 0x3C)])
            with open(path, "wb") as f:
                f.write(self.smf(b"\x00\x99\x24\x64\x00\xFF\x2F\x00"))
            with self.assertRaises(MidiError):
                Song(path).notes()


def describe(paths):
    for path in paths:
        song = Song(path)
        name = os.path.basename(path)[:-4] if path.endswith(".seq") else path
        print("%s\t%.0f\t%s\t%s\t%.2f" % (name, song.bpm, song.key,
                                         song.lead_program, song.seconds()))


if __name__ == "__main__":
    if len(sys.argv) > 1 and sys.argv[1] == "--describe":
        describe(sys.argv[2:])
    else:
        unittest.main()
