#!/usr/bin/env python3
"""Compose the nine built-in background songs as Standard MIDI Files.

Usage: python3 tools/make_songs.py [outdir]

The default outdir is data/QR06V2XLM/MCI next to this tools/ directory. Every
song is written as "<title>.seq" (a format 1 Standard MIDI File that the MCI
sequencer plays and loops).

All songs share one arrangement engine (intro, build, drop, breakdown, drop,
outro) and differ in key, tempo, chord progression, instruments, bass and
arpeggio figures and lead rhythm. Lead melodies are composed here from a
seeded generator that picks the best-sounding of a set of candidate contours,
so the output is byte-for-byte identical on every run and every Python 3.

Only General MIDI programs and percussion notes are used. Every song ends on a
bar line with all notes released, so looping back to the start keeps the beat.
"""

import os
import struct
import sys

PPQ = 480                  # ticks per quarter note
STEP = PPQ // 4            # one sixteenth note
BAR = 16 * STEP            # 4/4 bar

DRUM_CH = 9                # channel 10 in one-based numbering
BASS_CH, PAD_CH, ARP_CH, LEAD_CH, FX_CH = 0, 1, 2, 3, 4

# General MIDI percussion
KICK, SNARE, CLAP, HAT_CLOSED, HAT_OPEN = 36, 38, 39, 42, 46
CRASH, CRASH2, RIDE, TAMBOURINE, SHAKER = 49, 57, 51, 54, 70
TOM_LOW, TOM_MID, TOM_HIGH = 45, 47, 50

SEASHORE = 122             # noise wash used as a riser in builds

MINOR = (0, 2, 3, 5, 7, 8, 10)

# Roman numeral -> (scale degree of the root, raise the leading tone)
CHORDS = {
    "i": (0, False), "III": (2, False), "iv": (3, False), "v": (4, False),
    "V": (4, True), "VI": (5, False), "VII": (6, False),
}

KEY_NAMES = ("C", "C#", "D", "Eb", "E", "F", "F#", "G", "G#", "A", "Bb", "B")
# sharps (+) or flats (-) of the key signature of each minor key
MINOR_SIGNATURE = {0: -3, 1: 4, 2: -1, 3: -6, 4: 1, 5: -4, 6: 3, 7: -2,
                   8: 5, 9: 0, 10: -5, 11: 2}

FORMS = {
    # 72 bars
    "B": (("intro", 8), ("build", 8), ("drop", 16), ("breakdown", 8),
          ("build", 8), ("drop", 16), ("outro", 8)),
    # 80 bars, long breakdown
    "A": (("intro", 8), ("build", 8), ("drop", 16), ("breakdown", 16),
          ("build", 8), ("drop", 16), ("outro", 8)),
    # 88 bars, long intro and breakdown
    "C": (("intro", 16), ("build", 8), ("drop", 16), ("breakdown", 16),
          ("build", 8), ("drop", 16), ("outro", 8)),
    # 64 bars, straight into the first drop
    "D": (("intro", 8), ("drop", 16), ("breakdown", 8), ("build", 8),
          ("drop", 16), ("outro", 8)),
}

# Arpeggio figures: one digit per sixteenth, indexing the six arpeggio tones
# (chord tones over two octaves, lowest first); "." is a rest.
ARPS = {
    "updown": "0123454321012345",
    "three": "0120120120120124",
    "broken": "0213243542312013",
    "pedal": "0515253505152535",
    "rise": "0123452301234534",
    "octave": "0303141425251414",
    "cascade": "5432104354321043",
}

# Bass figures: (sixteenth within the beat, octave up) per note.
BASS = {
    "offbeat": ((2, 0),),
    "rolling": ((1, 0), (2, 0), (3, 0)),
    "octave": ((2, 0), (3, 1)),
    "gallop": ((1, 0), (2, 1), (3, 0)),
}

SONGS = (
    dict(title="Sandstorm", tonic=7, bpm=142, seed=0x51A7, form="B",
         prog=("i", "VII", "VI", "V"), chord_bars=1,
         lead=84, arp=81, pad=89, bass=38, bass_style="rolling",
         arp_style="three", pad_style="seventh", pad_gate=False,
         rhythm=("x-x-x--x-x-x--x-", "x--x--x-x-------"),
         ending="x-x-x---x-------", anchor=4, extra="octave",
         hats="sixteen"),
    dict(title="A never ending dream", tonic=2, bpm=134, seed=0xD2EA, form="A",
         prog=("VI", "VII", "i", "III"), chord_bars=2,
         lead=81, arp=5, pad=95, bass=39, bass_style="offbeat",
         arp_style="updown", pad_style="add9", pad_gate=False,
         rhythm=("x-------x--x--x-", "x--x--x-x---x---"),
         ending="x-------x-------", anchor=7, extra="octave",
         hats="offbeat"),
    dict(title="the Drive", tonic=9, bpm=140, seed=0x0D21, form="B",
         prog=("i", "VI", "III", "VII"), chord_bars=1,
         lead=87, arp=81, pad=50, bass=38, bass_style="octave",
         arp_style="broken", pad_style="triad", pad_gate=True,
         rhythm=("x-xx-x-xx-x-x-x-", "x-x-x--xx-x-x---"),
         ending="x-x-x-x-x-------", anchor=4, extra="octave",
         hats="sixteen"),
    dict(title="Bullet in the gun", tonic=0, bpm=143, seed=0xB011, form="C",
         prog=("i", "iv", "VI", "V"), chord_bars=1,
         lead=80, arp=81, pad=91, bass=38, bass_style="gallop",
         arp_style="pedal", pad_style="seventh", pad_gate=False,
         rhythm=("x.xx.xx.x.xx.x.x", "x.xx.xx.x-x-x---"),
         ending="x.xx.xx.x-------", anchor=2, extra="octave",
         hats="offbeat"),
    dict(title="Dreams", tonic=5, bpm=132, seed=0xD4EA, form="A",
         prog=("VI", "III", "VII", "i"), chord_bars=2,
         lead=85, arp=81, pad=94, bass=39, bass_style="offbeat",
         arp_style="cascade", pad_style="add9", pad_gate=False,
         rhythm=("x-----x-x-----x-", "x-x-x-x-x-------"),
         ending="x-------x-------", anchor=4, extra="none",
         hats="offbeat"),
    dict(title="Heaven", tonic=4, bpm=136, seed=0x4EA7, form="B",
         prog=("i", "VII", "VI", "VII"), chord_bars=1,
         lead=86, arp=81, pad=52, bass=38, bass_style="offbeat",
         arp_style="rise", pad_style="add9", pad_gate=True,
         rhythm=("x--x--x-x--x--x-", "x--x--x-x-x-x---"),
         ending="x--x--x-x-------", anchor=4, extra="octave",
         hats="sixteen"),
    dict(title="Seven days and one week", tonic=11, bpm=138, seed=0x7D17,
         form="A", prog=("i", "III", "VII", "VI"), chord_bars=1,
         lead=62, arp=81, pad=89, bass=39, bass_style="rolling",
         arp_style="octave", pad_style="seventh", pad_gate=False,
         rhythm=("x-x-x-xxx-x-x-x-", "x---x-x-x---x---"),
         ending="x-x-x-x-x-------", anchor=2, extra="octave",
         hats="offbeat"),
    dict(title="Feel the beat", tonic=1, bpm=144, seed=0xFEE1, form="D",
         prog=("i", "VI", "iv", "V"), chord_bars=1,
         lead=90, arp=81, pad=95, bass=38, bass_style="octave",
         arp_style="three", pad_style="triad", pad_gate=True,
         rhythm=("x.x.x.xx.x.x.xx.", "x.x.x.x-x-x-x---"),
         ending="x.x.x.x.x-------", anchor=4, extra="third",
         hats="sixteen"),
    dict(title="Velmara 2004", tonic=6, bpm=130, seed=0x2004, form="C",
         prog=("VI", "iv", "i", "VII"), chord_bars=2,
         lead=83, arp=81, pad=89, bass=39, bass_style="gallop",
         arp_style="broken", pad_style="triad", pad_gate=False,
         rhythm=("x--x--x---x-x-x-", "x--x--x-x-x-----"),
         ending="x---x---x-------", anchor=4, extra="octave",
         hats="offbeat"),
)


class Rng:
    """SplitMix64: tiny, fast and identical on every platform and version."""

    MASK = (1 << 64) - 1

    def __init__(self, seed):
        self.state = seed & self.MASK

    def next(self):
        self.state = (self.state + 0x9E3779B97F4A7C15) & self.MASK
        z = self.state
        z = ((z ^ (z >> 30)) * 0xBF58476D1CE4E5B9) & self.MASK
        z = ((z ^ (z >> 27)) * 0x94D049BB133111EB) & self.MASK
        return z ^ (z >> 31)

    def below(self, n):
        return self.next() % n

    def jitter(self, n):
        return self.below(2 * n + 1) - n

    def weighted(self, pairs):
        total = sum(w for _, w in pairs)
        r = self.below(total)
        for value, weight in pairs:
            if r < weight:
                return value
            r -= weight
        raise AssertionError("unreachable")


# ---------------------------------------------------------------- MIDI writer

def varlen(value):
    out = [value & 0x7F]
    value >>= 7
    while value:
        out.append(0x80 | (value & 0x7F))
        value >>= 7
    return bytes(reversed(out))


class Track:
    # Order of events sharing a tick: meta, note-off, controller, note-on.
    META, OFF, CTRL, ON = 0, 1, 2, 3

    def __init__(self, name, channel=None):
        self.name = name
        self.channel = channel
        self.events = []
        self.meta(0, 0x03, name.encode("ascii"))

    def _add(self, tick, kind, data):
        self.events.append((tick, kind, len(self.events), data))

    def meta(self, tick, kind, payload):
        self._add(tick, self.META, bytes([0xFF, kind]) + varlen(len(payload)) + payload)

    def cc(self, tick, control, value):
        self._add(tick, self.CTRL, bytes([0xB0 | self.channel, control, value]))

    def program(self, tick, program):
        self._add(tick, self.CTRL, bytes([0xC0 | self.channel, program]))

    def note(self, tick, length, pitch, velocity):
        if not 0 <= pitch <= 127:
            raise ValueError("note %d out of range in %s" % (pitch, self.name))
        velocity = max(1, min(127, velocity))
        self._add(tick, self.ON, bytes([0x90 | self.channel, pitch, velocity]))
        self._add(tick + length, self.OFF, bytes([0x80 | self.channel, pitch, 64]))

    def ramp(self, start, end, v0, v1, control=11, every=2 * STEP):
        """Controller sweep from v0 at start towards v1 at end (exclusive)."""
        for tick in range(start, end, every):
            frac = (tick - start) / (end - start)
            self.cc(tick, control, int(round(v0 + (v1 - v0) * frac)))

    def encode(self, end_tick):
        events = sorted(self.events)
        sounding = set()
        out = bytearray()
        last = 0
        for tick, kind, _, data in events:
            if tick > end_tick:
                raise ValueError("event after the end in %s" % self.name)
            if kind == self.ON:
                key = (data[0] & 0x0F, data[1])
                if key in sounding:
                    raise ValueError("overlapping note %r in %s" % (key, self.name))
                sounding.add(key)
            elif kind == self.OFF:
                sounding.discard((data[0] & 0x0F, data[1]))
            out += varlen(tick - last) + data
            last = tick
        if sounding:
            raise ValueError("notes left on in %s" % self.name)
        out += varlen(end_tick - last) + b"\xFF\x2F\x00"
        return b"MTrk" + struct.pack(">I", len(out)) + bytes(out)


def midi_file(tracks, end_tick):
    head = b"MThd" + struct.pack(">IHHH", 6, 1, len(tracks), PPQ)
    return head + b"".join(t.encode(end_tick) for t in tracks)


# ------------------------------------------------------------------- harmony

class Harmony:
    def __init__(self, song):
        self.tonic = song["tonic"]
        self.prog = song["prog"]
        self.chord_bars = song["chord_bars"]

    def chord(self, bar):
        """(root degree, raised leading tone) of the chord sounding in bar."""
        return CHORDS[self.prog[(bar // self.chord_bars) % len(self.prog)]]

    def pitch(self, degree, raised=False, base=0):
        octave, step = divmod(degree, 7)
        p = base + self.tonic + 12 * octave + MINOR[step]
        if raised and step == 6:
            p += 1
        return p

    def chord_degrees(self, bar, style="triad"):
        root, _ = self.chord(bar)
        degrees = [root, root + 2, root + 4]
        if style == "seventh":
            degrees.append(root + 6)
        elif style == "add9" and not self.chord(bar)[1]:
            degrees.append(root + 8)
        return degrees

    def chord_classes(self, bar, style="triad"):
        raised = self.chord(bar)[1]
        return [self.pitch(d, raised) % 12 for d in self.chord_degrees(bar, style)]


def voicings(classes, low, high):
    """All close-position voicings of the pitch classes inside [low, high]."""
    found = []
    n = len(classes)
    for inversion in range(n):
        order = classes[inversion:] + classes[:inversion]
        for octave in range(0, 11):
            notes = [order[0] + 12 * octave]
            for pc in order[1:]:
                p = notes[-1] + 1
                while p % 12 != pc:
                    p += 1
                notes.append(p)
            if notes[0] >= low and notes[-1] <= high:
                found.append(notes)
    return found


def lead_voicing(previous, classes, low, high, centre):
    """Voicing closest to the previous one (or to centre for the first)."""
    def cost(v):
        if previous is None or len(previous) != len(v):
            return abs(sum(v) / len(v) - centre) * 10
        return sum(abs(a - b) for a, b in zip(previous, v)) * 10 + abs(sum(v) / len(v) - centre)
    return min(voicings(classes, low, high), key=lambda v: (cost(v), v))


# -------------------------------------------------------------------- melody

def parse_rhythm(pattern):
    """'x' starts a note, '-' holds it, '.' rests. Returns (step, length)."""
    notes = []
    for i, ch in enumerate(pattern):
        if ch == "x":
            notes.append([i, 1])
        elif ch == "-":
            notes[-1][1] += 1
    return [tuple(n) for n in notes]


LEAD_LOW, LEAD_HIGH = -2, 10          # degree range of the lead around the tonic

CONTOUR_STEPS = ((-3, 1), (-2, 3), (-1, 6), (0, 2), (1, 6), (2, 3), (3, 1))


def snap(degree, chord_degrees, direction):
    """Nearest chord tone to degree; ties go the way the line is moving."""
    classes = {d % 7 for d in chord_degrees}
    best = None
    for cand in range(degree - 3, degree + 4):
        if cand % 7 in classes:
            key = (abs(cand - degree), 0 if (cand - degree) * direction >= 0 else 1)
            if best is None or key < best[0]:
                best = (key, cand)
    return best[1]


def fold(degree):
    if degree > LEAD_HIGH:
        degree = 2 * LEAD_HIGH - degree
    if degree < LEAD_LOW:
        degree = 2 * LEAD_LOW - degree
    return degree


class Melody:
    """An eight bar phrase built from a two bar motif heard four times."""

    def __init__(self, song, harmony, rng):
        self.song = song
        self.harmony = harmony
        bar_a, bar_b = song["rhythm"]
        self.motif = [parse_rhythm(bar_a), parse_rhythm(bar_b)]
        self.ending = parse_rhythm(song["ending"])
        n = len(self.motif[0]) + len(self.motif[1])
        best = None
        for _ in range(48):
            contour = [rng.weighted(CONTOUR_STEPS) for _ in range(n)]
            phrase = self.realise(contour, song["anchor"], (0, 0, 0, 0))
            score = self.penalty(phrase)
            if best is None or score < best[0]:
                best = (score, contour)
        self.contour = best[1]

    def realise(self, contour, anchor, lifts):
        """Notes (start step, length, degree, raised) of the phrase."""
        notes = []
        for cell in range(4):
            bar0 = 2 * cell
            bars = [self.motif[0], self.ending if cell == 3 else self.motif[1]]
            cur = None
            k = 0
            for bi, rhythm in enumerate(bars):
                bar = bar0 + bi
                tones = self.harmony.chord_degrees(bar)
                raised = self.harmony.chord(bar)[1]
                for j, (step, length) in enumerate(rhythm):
                    if cur is None:
                        cur = snap(anchor + lifts[cell], tones, 1)
                    else:
                        move = contour[k % len(contour)]
                        cur = fold(cur + move)
                        if step % 4 == 0 or length >= 4:
                            cur = snap(cur, tones, move or 1)
                    k += 1
                    last = cell == 3 and bi == 1 and j == len(rhythm) - 1
                    if last:
                        roots = [tones[0] + 7 * o for o in range(-3, 4)]
                        cur = min((d for d in roots if LEAD_LOW <= d <= LEAD_HIGH),
                                  key=lambda d: (abs(d - cur), d))
                    notes.append((bar * 16 + step, length, cur, raised))
        return notes

    @staticmethod
    def penalty(notes):
        degrees = [n[2] for n in notes]
        span = max(degrees) - min(degrees)
        score = max(0, span - 9) * 3 + max(0, 5 - span) * 3
        run = 0
        same_dir = 0
        prev_move = 0
        for a, b in zip(degrees, degrees[1:]):
            move = b - a
            if abs(move) > 4:
                score += (abs(move) - 4) * 4
            run = run + 1 if move == 0 else 0
            if run >= 2:
                score += 3
            if move and prev_move and (move > 0) == (prev_move > 0):
                same_dir += 1
                if same_dir >= 4:
                    score += 2
            else:
                same_dir = 0
            if abs(prev_move) >= 3 and move and (move > 0) == (prev_move > 0):
                score += 2          # a leap should be followed by a turn
            prev_move = move or prev_move
        score -= len(set(degrees)) * 0.5
        return score

    def phrase(self, variant):
        """Variant 0 is the main phrase, 1 answers it a step higher."""
        lifts = (0, 0, 0, 0) if variant == 0 else (0, 0, 2, 2)
        return self.realise(self.contour, self.song["anchor"], lifts)

    def skeleton(self):
        """Slow version of the main phrase for breakdowns: half notes."""
        phrase = self.phrase(0)
        out = []
        for half in range(16):
            step = half * 8
            sounding = [n for n in phrase if n[0] <= step]
            degree, raised = sounding[-1][2], sounding[-1][3]
            if out and out[-1][2] == degree:
                out[-1] = (out[-1][0], out[-1][1] + 8, degree, raised)
            else:
                out.append((step, 8, degree, raised))
        return out


# ------------------------------------------------------------------- arranger

class Song:
    def __init__(self, plan):
        self.plan = plan
        self.rng = Rng(plan["seed"])
        self.harmony = Harmony(plan)
        self.melody = Melody(plan, self.harmony, Rng(plan["seed"] ^ 0x5EED))
        self.lead_base = 62 + ((plan["tonic"] - 2) % 12) - plan["tonic"]
        self.conductor = Track(plan["title"])
        self.drums = Track("Drums", DRUM_CH)
        self.bass = Track("Bass", BASS_CH)
        self.pad = Track("Pad", PAD_CH)
        self.arp = Track("Arp", ARP_CH)
        self.lead = Track("Lead", LEAD_CH)
        self.fx = Track("Riser", FX_CH)
        self.pad_voicing = None
        self.drops = 0

    # -- set-up

    def setup(self):
        s = self.plan
        c = self.conductor
        c.meta(0, 0x58, bytes([4, 2, 24, 8]))
        c.meta(0, 0x59, struct.pack(">bB", MINOR_SIGNATURE[s["tonic"]], 1))
        c.meta(0, 0x51, struct.pack(">I", round(60000000 / s["bpm"]))[1:])
        mix = (  # track, program, volume, pan, reverb, chorus
            (self.drums, 0, 110, 64, 30, 0),
            (self.bass, s["bass"], 105, 64, 10, 0),
            (self.pad, s["pad"], 85, 64, 80, 60),
            (self.arp, s["arp"], 82, 44, 60, 40),
            (self.lead, s["lead"], 100, 76, 70, 50),
            (self.fx, SEASHORE, 70, 64, 90, 0),
        )
        for track, program, volume, pan, reverb, chorus in mix:
            track.cc(0, 121, 0)         # reset controllers when the loop restarts
            track.cc(0, 0, 0)
            track.program(0, program)
            track.cc(0, 7, volume)
            track.cc(0, 10, pan)
            track.cc(0, 91, reverb)
            track.cc(0, 93, chorus)

    # -- parts

    def vel(self, base, spread=4):
        return max(1, min(127, base + self.rng.jitter(spread)))

    def drum(self, tick, note, velocity, length=STEP):
        self.drums.note(tick, length, note, self.vel(velocity))

    def kick(self, bar):
        for beat in range(4):
            self.drum(bar * BAR + beat * 4 * STEP, KICK, 118)

    def clap(self, bar):
        for beat in (1, 3):
            self.drum(bar * BAR + beat * 4 * STEP, CLAP, 100)

    def hats(self, bar, full):
        t = bar * BAR
        if self.plan["hats"] == "sixteen":
            for step in range(16):
                if not full and step % 2:
                    continue
                accent = 92 if step % 4 == 2 else (62 if step % 2 else 74)
                if full and step == 14 and bar % 2:
                    self.drum(t + step * STEP, HAT_OPEN, 90, 2 * STEP)
                else:
                    self.drum(t + step * STEP, HAT_CLOSED, accent)
        else:
            for beat in range(4):
                self.drum(t + (beat * 4 + 2) * STEP, HAT_OPEN, 88 if full else 70, 2 * STEP)
                if full:
                    for step in (1, 3):
                        self.drum(t + (beat * 4 + step) * STEP, SHAKER, 58)

    def fill(self, bar):
        """Sixteenth tom run over the last beat of the bar."""
        t = bar * BAR + 12 * STEP
        for i, note in enumerate((TOM_HIGH, TOM_HIGH, TOM_MID, TOM_LOW)):
            self.drum(t + i * STEP, note, 90 + 6 * i)

    def snare_roll(self, bar, division, v0, v1):
        every = 16 // division
        for i in range(division):
            v = int(v0 + (v1 - v0) * i / division)
            self.drum(bar * BAR + i * every * STEP, SNARE, v)

    def bass_bar(self, bar, velocity, beats=4):
        root, raised = self.harmony.chord(bar)
        pc = self.harmony.pitch(root, raised) % 12
        low = 36 + pc
        for beat in range(beats):
            for step, up in BASS[self.plan["bass_style"]]:
                tick = bar * BAR + (beat * 4 + step) * STEP
                accent = 8 if step == 2 else 0
                self.bass.note(tick, STEP - 20, low + 12 * up, self.vel(velocity + accent))

    def bass_long(self, bar, velocity):
        root, raised = self.harmony.chord(bar)
        low = 36 + self.harmony.pitch(root, raised) % 12
        self.bass.note(bar * BAR, BAR - 30, low, self.vel(velocity))

    def pad_chord(self, bar, velocity, gated=False):
        classes = self.harmony.chord_classes(bar, self.plan["pad_style"])
        v = lead_voicing(self.pad_voicing, classes, 53, 79, 64)
        self.pad_voicing = v
        if gated:
            gate = "x.xxx.xxx.xx.xx." if bar % 2 else "x.xx.xxx.xxx.x.x"
            for step, ch in enumerate(gate):
                if ch == "x":
                    for p in v:
                        self.pad.note(bar * BAR + step * STEP, STEP - 30, p, self.vel(velocity - (8 if step % 4 else 0)))
        else:
            bars = self.plan["chord_bars"]
            if bar % bars == 0:
                for p in v:
                    self.pad.note(bar * BAR, bars * BAR - 10, p, self.vel(velocity, 3))

    def arp_bar(self, bar, velocity):
        raised = self.harmony.chord(bar)[1]
        classes = self.harmony.chord_classes(bar)
        base = lead_voicing(None, classes, 57, 76, 64 + (self.plan["tonic"] % 12) // 3)
        tones = base + [p + 12 for p in base]
        for step, ch in enumerate(ARPS[self.plan["arp_style"]]):
            if ch == ".":
                continue
            accent = 14 if step % 4 == 0 else (6 if step % 2 == 0 else 0)
            self.arp.note(bar * BAR + step * STEP, STEP * 2 // 3, tones[int(ch)],
                          self.vel(velocity + accent))

    def lead_notes(self, first_bar, notes, velocity, extra="none"):
        h = self.harmony
        # The octave layer goes above the line unless that gets shrill.
        top = max(h.pitch(n[2], n[3], self.lead_base) for n in notes)
        octave = 12 if top + 12 <= 88 else -12
        for step, length, degree, raised in notes:
            tick = first_bar * BAR + step * STEP
            dur = length * STEP - (30 if length > 1 else 20)
            pitch = h.pitch(degree, raised, self.lead_base)
            accent = 10 if step % 4 == 0 else 0
            v = self.vel(velocity + accent)
            self.lead.note(tick, dur, pitch, v)
            if extra == "octave":
                self.lead.note(tick, dur, pitch + octave, max(1, v - 24))
            elif extra == "third":
                below = h.pitch(degree - 2, raised, self.lead_base)
                self.lead.note(tick, dur, below, max(1, v - 12))

    # -- sections

    def section(self, kind, start, length):
        end = start + length
        half = start + length // 2
        names = {"intro": "Intro", "build": "Build", "drop": "Drop",
                 "breakdown": "Breakdown", "outro": "Outro"}
        self.conductor.meta(start * BAR, 0x06, names[kind].encode("ascii"))
        getattr(self, "_" + kind)(start, end, half, length)

    def _intro(self, start, end, half, length):
        self.drum(start * BAR, CRASH, 96, 4 * STEP)
        self.pad.cc(start * BAR, 11, 40)
        self.bass.cc(start * BAR, 11, 100)
        self.arp.cc(start * BAR, 11, 0)
        self.lead.cc(start * BAR, 11, 110)
        self.fx.cc(start * BAR, 11, 0)
        self.pad.ramp(half * BAR, end * BAR, 40, 100)
        for bar in range(start, end):
            self.kick(bar)
            self.hats(bar, bar >= half)
            if bar >= half:
                self.clap(bar)
                self.bass_bar(bar, 92)
                self.pad_chord(bar, 70)
            if bar == end - 1:
                self.fill(bar)

    def _build(self, start, end, half, length):
        self.pad.cc(start * BAR, 11, 100)
        self.arp.ramp(start * BAR, end * BAR, 45, 127)
        riser = max(start, end - 4)
        self.fx.ramp(riser * BAR, end * BAR, 10, 127)
        self.fx.note(riser * BAR, (end - riser) * BAR - STEP, 60, 100)
        self.fx.cc(end * BAR - STEP, 11, 0)
        rolls = ((4, 60, 75), (8, 70, 88), (16, 80, 100), (16, 95, 124))
        for bar in range(start, end):
            last = bar == end - 1
            if not last:
                self.kick(bar)
                self.bass_bar(bar, 94)
            else:
                self.bass_bar(bar, 94, beats=2)
            self.hats(bar, True)
            self.pad_chord(bar, 72)
            self.arp_bar(bar, 80)
            k = bar - (end - 4)
            if k >= 0:
                self.snare_roll(bar, *rolls[k])
            else:
                self.clap(bar)

    def _drop(self, start, end, half, length):
        self.drops += 1
        for track, value in ((self.pad, 100), (self.arp, 100), (self.lead, 110), (self.bass, 110)):
            track.cc(start * BAR, 11, value)
        extra = self.plan["extra"]
        if extra == "octave" and self.drops == 1:
            extra = "none"          # the octave layer is saved for the last drop
        for bar in range(start, end):
            rel = bar - start
            if rel % 8 == 0:
                self.drum(bar * BAR, CRASH if rel % 16 == 0 else CRASH2, 110, 4 * STEP)
            self.kick(bar)
            self.clap(bar)
            self.hats(bar, True)
            if rel % 8 == 7:
                self.fill(bar)
            self.bass_bar(bar, 100)
            self.pad_chord(bar, 78, gated=self.plan["pad_gate"])
            self.arp_bar(bar, 78)
            if rel % 8 == 0:
                variant = (rel // 8) % 2
                self.lead_notes(bar, self.melody.phrase(variant), 100, extra)

    def _breakdown(self, start, end, half, length):
        self.drum(start * BAR, CRASH, 90, 4 * STEP)
        self.pad.cc(start * BAR, 11, 112)
        self.lead.cc(start * BAR, 11, 95)
        self.bass.cc(start * BAR, 11, 90)
        self.arp.cc(start * BAR, 11, 0)
        self.arp.ramp(half * BAR, end * BAR, 30, 95)
        for bar in range(start, end):
            self.pad_chord(bar, 86)
            if bar >= half:
                self.arp_bar(bar, 70)
                self.bass_long(bar, 80)
        for phrase_bar in range(start, end, 8):
            if phrase_bar < half or length < 16:
                self.lead_notes(phrase_bar, self.melody.skeleton(), 84)
            else:
                self.lead_notes(phrase_bar, self.melody.phrase(0), 82)

    def _outro(self, start, end, half, length):
        self.drum(start * BAR, CRASH, 100, 4 * STEP)
        self.pad.cc(start * BAR, 11, 100)
        self.pad.ramp(start * BAR, (end - 2) * BAR, 100, 20)
        for bar in range(start, end):
            self.kick(bar)
            self.hats(bar, bar < end - 2)
            if bar < half:
                self.clap(bar)
                self.bass_bar(bar, 96)
            elif bar < end - 2:
                self.bass_bar(bar, 84)
            if bar < end - 2:
                self.pad_chord(bar, 70)

    # -- whole song

    def render(self):
        self.setup()
        bar = 0
        for kind, length in FORMS[self.plan["form"]]:
            self.section(kind, bar, length)
            bar += length
        self.bars = bar
        tracks = [self.conductor, self.drums, self.bass, self.pad, self.arp, self.lead, self.fx]
        return midi_file(tracks, bar * BAR)


def compose(plan):
    song = Song(plan)
    data = song.render()
    return data, song.bars


def default_outdir():
    here = os.path.dirname(os.path.abspath(__file__))
    return os.path.join(os.path.dirname(here), "data", "QR06V2XLM", "MCI")


def main(argv):
    outdir = argv[1] if len(argv) > 1 else default_outdir()
    os.makedirs(outdir, exist_ok=True)
    for plan in SONGS:
        data, bars = compose(plan)
        path = os.path.join(outdir, plan["title"] + ".seq")
        with open(path, "wb") as f:
            f.write(data)
        seconds = bars * 4 * 60.0 / plan["bpm"]
        print("%-26s %-3s minor %3d BPM %3d bars %6.1f s lead %3d %6d bytes" % (
            plan["title"], KEY_NAMES[plan["tonic"]], plan["bpm"], bars, seconds,
            plan["lead"], len(data)))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
