#!/usr/bin/env python3
"""The soak's judgment of what the service booked, on made-up days (no desktop, no agent)."""

import os
import sys
import unittest

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import soak  # noqa: E402


def day(detours=1, back_until=(20, 20.3)):
    """A from 0 with a detour at 10 s (and more every 0.6 s) back to A until 20 s (or
    `back_until`), B until idleness is noticed at 32-33.3 s (away until 40 s), C from the return
    at 40 s until quitting at 50 s."""
    expected = soak.Expectation()
    expected.begin("a", (0, 0.3), "start")
    for detour in range(detours):
        at = 10 + 0.6 * detour
        expected.spans[-1].detour_follows = True
        expected.finish((at, at + 0.3), "detour")
        expected.begin("a", (at + 0.3, at + 0.6), "detour")
    expected.finish(back_until, "switch")
    expected.begin("b", back_until, "switch")
    expected.finish((32, 33.3), "idleness")
    expected.away.append((30, 40))
    expected.begin("c", (40, 40.3), "return from idleness")
    expected.finish((50, 51), "quit")
    return expected


def check(*booked, expected=None):
    return soak.Check(expected or day(), [dict(id=str(index), app=app, start=start, end=end) for index, (app, start, end) in enumerate(booked)])


class SoakCheckTest(unittest.TestCase):
    def test_a_detour_may_be_merged_or_split_but_nothing_else(self):
        for booked in ([("a", 0, 20)], [("a", 0, 10), ("a", 10, 20)]):
            result = check(*booked, ("b", 20, 32), ("c", 40, 50))
            self.assertEqual((result.missing, result.wrong_end, result.unexpected()), ([], [], []), booked)
        result = check(("a", 0, 10), ("b", 20, 32), ("c", 40, 50))
        self.assertEqual([span.start_cause for span in result.missing], ["detour"])

    def test_short_stays_after_detours_in_a_row_are_found_in_the_session_they_ran_on_in(self):
        # Whole seconds on the wire: the run-on's end, 11, is also within a second of each detour's start.
        result = check(("a", 0, 11), ("b", 11, 32), ("c", 40, 50), expected=day(detours=2, back_until=(11.6, 11.9)))
        self.assertEqual((result.missing, result.wrong_end, result.unexpected()), ([], [], []))

    def test_idle_time_booked_as_work_is_found_with_how_much(self):
        result = check(("a", 0, 20), ("b", 20, 40), ("c", 40, 50))
        self.assertEqual([(span.app, span.end_cause, deviation) for span, deviation in result.wrong_end], [("b", "idleness", 40 - 33.3)])
        # Within a second of the window is fine: the wire has whole seconds.
        self.assertEqual(check(("a", 0, 20), ("b", 20, 34), ("c", 40, 50)).wrong_end, [])

    def test_sessions_booked_in_the_wrong_place_are_told_apart(self):
        result = check(("a", 0, 20), ("d", 20, 45), ("d", 36, 38), ("a", 45, 45), ("c", 3640, 3650))
        self.assertEqual([span.app for span in result.missing], ["b", "c"])
        self.assertEqual(sorted(result.explain_unexpected(session, 1) for session in result.unexpected()),
                         ["are an hour off an expected session", "are shorter than the shortest session kept",
                          "run on across a time away (idleness or suspend)", "start while the user is away"])

    def test_time_booked_twice_is_counted(self):
        self.assertEqual(check(("a", 0, 20), ("b", 20, 32), ("c", 40, 50)).overlaps(), 0)
        self.assertEqual(check(("a", 0, 25), ("b", 20, 32), ("c", 40, 50)).overlaps(), 1)


if __name__ == "__main__":
    unittest.main()
