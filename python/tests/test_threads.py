"""Calls on many threads at once give what they give one at a time."""
from concurrent.futures import ThreadPoolExecutor

import numpy as np

import kvelread
from conftest import EVERY_EXAMPLE, EXAMPLES, every_bar_zero, repeated_events


def test_checks_on_threads_equal_serial_checks(tmp_path):
    song = (EXAMPLES / "song.kvmf").read_bytes()
    overflow = tmp_path / "overflow.kvmf"
    overflow.write_bytes(every_bar_zero(song))
    # Big enough that its load, check and close release the GIL, and
    # overflowing the list.
    big = tmp_path / "big.kvmf"
    big.write_bytes(every_bar_zero(repeated_events(song, 16)))
    assert big.stat().st_size >= kvelread._lib.RELEASE_FROM
    # Unloadable and missing files between the others: their records must
    # not leak into a neighbour's report through a shared reader.
    sources = (EVERY_EXAMPLE + [overflow, big, tmp_path / "missing.kvmf"]) * 40
    serial = [kvelread.check(s).to_dict() for s in sources]
    with ThreadPoolExecutor(max_workers=4) as pool:
        assert list(pool.map(lambda s: kvelread.check(s).to_dict(), sources)) == serial
        images = [s.read_bytes() for s in EVERY_EXAMPLE + [big]] * 20
        expected = [kvelread.check(b).to_dict() for b in images]
        assert list(pool.map(lambda b: kvelread.check(b).to_dict(), images)) == expected


def test_reads_on_threads_equal_serial_reads():
    path = EXAMPLES / "song.kvmf"
    expected = kvelread.read(path).events
    with ThreadPoolExecutor(max_workers=4) as pool:
        for song in pool.map(kvelread.read, [path] * 100):
            assert np.array_equal(song.events, expected)
