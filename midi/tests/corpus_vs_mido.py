#!/usr/bin/python3
"""Compares the importer's reading of real MIDI files with python3-mido's.

    corpus_vs_mido.py SMF_DUMP CORPUS_DIR

For every .mid file under CORPUS_DIR, mido's events are brought to 192 ticks per quarter note the way the
importer does it (exact rescaling with rounding, a note-on of velocity 0 as a note-off, a note that would end
on the tick where it began ends one tick later, tempo changes to the first track) and paired into notes
(tick, channel, key, velocity, duration); the importer's events (printed by SMF_DUMP) are paired the same way.
The notes of every track that has any, and the tempo changes, must be equal. Exits 1 on any difference or
when fewer than 30 files were compared.
"""
import concurrent.futures
import glob
import os
import subprocess
import sys

import mido

MAX_TICK = 0x3FFFFFFF


def mul_div(a, b, c):
    return (a * b + c // 2) // c


def rescale(t, division):
    if division == 0:
        division = 32
    factor, rem = 192 // division, 192 % division
    v = t * factor
    if rem:
        v += mul_div(t % division, rem, division) + (t // division) * rem
    return min(v, MAX_TICK)


def pair_notes(events):
    """events: (tick, is_on, channel, key, velocity) in play order -> sorted notes."""
    open_notes = {}
    notes = []
    for tick, is_on, ch, key, vel in events:
        if is_on:
            open_notes.setdefault((ch, key), []).append((tick, vel))
        else:
            waiting = open_notes.get((ch, key))
            if waiting:
                start, v = waiting.pop(0)
                notes.append((start, ch, key, v, tick - start))
    for (ch, key), waiting in open_notes.items():
        for start, v in waiting:
            notes.append((start, ch, key, v, None))
    notes.sort(key=lambda n: (n[0], n[1], n[2], n[4] if n[4] is not None else -1, n[3]))
    return notes


def mido_reading(path):
    mid = mido.MidiFile(path, clip=True)
    division = mid.ticks_per_beat
    tracks = []
    tempos = []
    for track in mid.tracks:
        tick = 0
        events = []
        last_on = {}
        for msg in track:
            tick += msg.time
            t = rescale(tick, division)
            if msg.type == 'set_tempo' and msg.tempo:
                tempos.append((t, msg.tempo))
            elif msg.type in ('note_on', 'note_off'):
                on = msg.type == 'note_on' and msg.velocity > 0
                k = (msg.channel, msg.note)
                if on:
                    last_on[k] = t
                    events.append((t, 1, msg.channel, msg.note, msg.velocity, len(events)))
                else:
                    if last_on.get(k) == t:
                        t += 1
                        last_on[k] = None
                    vel = msg.velocity if msg.type == 'note_off' else 0
                    events.append((t, 0, msg.channel, msg.note, vel, len(events)))
        # Play order at one tick: note-offs before note-ons, otherwise the file's order.
        events.sort(key=lambda e: (e[0], e[1], e[5]))
        notes = pair_notes([e[:5] for e in events])
        if notes:
            tracks.append(notes)
    tempos.sort()
    return tracks, tempos


def our_reading(dump, path):
    out = subprocess.run([dump, path], check=True, capture_output=True, text=True, errors='replace').stdout
    tracks = []
    tempos = []
    events = None
    log = []
    for line in out.splitlines():
        parts = line.split()
        if not parts:
            continue
        if parts[0] == 'track':
            if events:
                tracks.append(pair_notes(events))
            events = []
        elif parts[0] == 'N':
            tick, status, d1, d2 = map(int, parts[1:5])
            kind = status & 0xF0
            if kind in (0x80, 0x90):
                events.append((tick, kind == 0x90 and d2 > 0, status & 15, d1, d2))
        elif parts[0] == 'T':
            tempos.append((int(parts[1]), int(parts[2])))
        else:
            log.append(line)
    if events:
        tracks.append(pair_notes(events))
    tempos.sort()
    return tracks, tempos, log


def main():
    dump, corpus = sys.argv[1], sys.argv[2]
    files = sorted(glob.glob(os.path.join(corpus, '**', '*.mid'), recursive=True))
    failures = 0
    notes_total = 0
    with concurrent.futures.ProcessPoolExecutor(max_workers=min(8, os.cpu_count() or 1)) as pool:
        theirs_all = list(pool.map(mido_reading, files))
        ours_all = list(pool.map(our_reading, [dump] * len(files), files))
    for path, (theirs, their_tempos), (ours, our_tempos, log) in zip(files, theirs_all, ours_all):
        name = os.path.relpath(path, corpus)
        count = sum(len(t) for t in theirs)
        notes_total += count
        problems = []
        if len(ours) != len(theirs):
            problems.append(f'{len(ours)} tracks with notes, mido {len(theirs)}')
        for i, (a, b) in enumerate(zip(ours, theirs)):
            if a != b:
                diff = next((j for j, (x, y) in enumerate(zip(a, b)) if x != y), min(len(a), len(b)))
                got = a[diff] if diff < len(a) else None
                want = b[diff] if diff < len(b) else None
                problems.append(f'track {i}: {len(a)} notes, mido {len(b)}; first difference {got} vs {want}')
        if our_tempos != their_tempos:
            problems.append(f'tempo changes differ: {len(our_tempos)} vs {len(their_tempos)}')
        errors = [line for line in log if line.startswith('Error')]
        if errors:
            problems.append('reader errors: ' + '; '.join(errors[:3]))
        status = 'ok' if not problems else 'DIFFERS'
        print(f'{status:8} {name}: {count} notes, {len(theirs)} tracks, {len(their_tempos)} tempo changes'
              + (f', {len(log)} warnings' if log else ''))
        for p in problems:
            print('         ' + p)
        failures += bool(problems)
    print(f'{len(files)} files, {notes_total} notes compared with mido')
    if len(files) < 30:
        print('fewer than 30 files in the corpus')
        return 1
    print(f'{len(files) - failures} passed, {failures} failed')
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main())
