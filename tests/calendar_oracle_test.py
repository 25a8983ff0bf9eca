"""Calendar files as other programs write them, imported by the real program at
a fixed now: each reminder lands at the next occurrence an independent RFC 5545
reader (python3-icalendar and python3-recurring-ical-events) gives, a note names
the first date where the program's own steps part from that reader, and a
second import adds nothing. Then the export of the result, read by the same
reader, rings when the program does. Run by /usr/bin/python3 with the program's
path."""
import datetime
import glob
import json
import itertools
import os
import re
import subprocess
import sys
import tempfile
from zoneinfo import ZoneInfo

import dateutil.tz
import icalendar
import recurring_ical_events
import vobject

PROGRAM = sys.argv[1]
PARIS = ZoneInfo("Europe/Paris")
NOW = datetime.datetime(2026, 12, 1, 5, 40, tzinfo=PARIS)
FAKETIME = next(iter(glob.glob("/usr/lib/*/faketime/libfaketime.so.1")))
YEAR = datetime.timedelta(days=366)


def cal(*events, head=""):
    return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\n" + head + "".join(events) + "END:VCALENDAR\r\n"


def ev(lines, summary=None, uid="u1"):
    summary = "Rendez-vous " + uid if summary is None else summary
    title = "SUMMARY:" + summary + "\n" if summary else ""
    return ("BEGIN:VEVENT\nUID:" + uid + "\n" + title + lines + "\nEND:VEVENT\n").replace("\n", "\r\n")


PARIS_WEEKLY = "DTSTART;TZID=Europe/Paris:20261102T100000\nRRULE:FREQ=WEEKLY\nEXDATE;TZID=Europe/Paris:20270201T100000"
CASES = [  # name, text, encoding, import time
    ("half days", cal(ev("DTSTART;TZID=Europe/Paris:20260101T074500\nRRULE:FREQ=HOURLY;INTERVAL=12")),
     "utf-8", NOW),
    ("half days at night", cal(ev("DTSTART;TZID=Europe/Paris:20260101T074500\nRRULE:FREQ=HOURLY;"
                                  "INTERVAL=12")), "utf-8", NOW.replace(day=2, hour=1)),
    ("mark", cal(ev("DTSTART:20270101T080000Z", "Caf\u00e9")), "utf-8-sig", NOW),
    ("moved, cancelled, taken out", cal(
        ev(PARIS_WEEKLY, "Hebdo", "g"),
        ev("RECURRENCE-ID;TZID=Europe/Paris:20261207T100000\nDTSTART;TZID=Europe/Paris:"
           "20261208T150000", "Hebdo d\u00e9plac\u00e9", "g"),
        ev("RECURRENCE-ID;TZID=Europe/Paris:20261214T100000\nDTSTART;TZID=Europe/Paris:"
           "20261214T100000\nSTATUS:CANCELLED", "Hebdo", "g")), "utf-8", NOW),
    ("gap and overlap", cal(ev("DTSTART;TZID=Europe/Paris:20270328T023000"),
                            ev("DTSTART;TZID=Europe/Paris:20271031T023000", uid="u2"),
                            ev("DTSTART;TZID=Europe/Paris:20260329T023000\nRRULE:FREQ=YEARLY",
                               uid="u3")), "utf-8", NOW),
    ("Windows zones", cal(ev("DTSTART;TZID=Romance Standard Time:20270102T090000"),
                          ev("DTSTART;TZID=Tokyo Standard Time:20261103T090000\nRRULE:FREQ=WEEKLY",
                             uid="u2")), "utf-8", NOW),
    ("New York", cal(ev("DTSTART;TZID=America/New_York:20261102T090000\nRRULE:FREQ=WEEKLY")),
     "utf-8", NOW),
    ("UTC every day", cal(ev("DTSTART:20100517T063000Z\nRRULE:FREQ=DAILY")), "utf-8", NOW),
    ("long ago", cal(ev("DTSTART:20100517T080000\nRRULE:FREQ=DAILY;INTERVAL=3"),
                     ev("DTSTART;VALUE=DATE:20190101\nRRULE:FREQ=WEEKLY;INTERVAL=2", uid="u2")),
     "utf-8", NOW),
    ("UTF-16", cal(ev("DTSTART:20270102T090000", "\u00c9t\u00e9")), "utf-16", NOW),
    ("Latin-1", cal(ev("DTSTART:20270102T090000", "Caf\u00e9 cr\u00e8me")), "cp1252", NOW),
    ("calendar zone, no title", cal(ev("DTSTART:20270102T090000", ""),
                                    head="X-WR-TIMEZONE:America/New_York\r\n"), "utf-8", NOW),
    ("a broken line", cal(ev("DTSTART:20270102T090000\nDESCRIPTION:un\ndeux", "Cass\u00e9", "broken"),
                          ev("DTSTART:20270103T090000", uid="u2")), "utf-8", NOW),
    # A mail program's invitation, its update, and one event written twice.
    ("updated invitation", cal(ev("SEQUENCE:0\nDTSTAMP:20261101T100000Z\nDTSTART:20270105T080000Z"),
                               ev("SEQUENCE:1\nDTSTAMP:20261102T100000Z\nDTSTART:20270105T123000Z"),
                               ev("DTSTART:20270106T090000Z", uid="u2"), ev("DTSTART:20270106T090000Z", uid="u2")),
     "utf-8", NOW),
    ("stray CR", cal(ev("DTSTART:20270105T080000Z")).replace("VEVENT\r\n", "VEVENT\r\r\n", 1),
     "utf-8", NOW),
    ("old Mac line ends", cal(ev("DTSTART:20270105T080000Z")).replace("\r\n", "\r"), "utf-8", NOW),
    ("month end before a leap February", cal(ev("DTSTART;TZID=Europe/Paris:20260129T090000\nRRULE:FREQ=MONTHLY")),
     "utf-8", datetime.datetime(2027, 3, 10, 12, tzinfo=PARIS)),
    ("yearly rules by month", cal(ev("DTSTART:20270101T090000Z\nRRULE:FREQ=YEARLY;BYMONTH=5;BYDAY=-1SU", uid="mai"),
                                  ev("DTSTART:20270101T090000Z\nRRULE:FREQ=YEARLY;BYMONTH=6;BYDAY=3SU", uid="juin")),
     "utf-8", NOW),
    ("khal's zone of two changes", cal(ev("DTSTART;TZID=Europe/Paris:20261203T180000\nRRULE:FREQ=WEEKLY"), head=(
        "BEGIN:VTIMEZONE\nTZID:Europe/Paris\nBEGIN:STANDARD\nDTSTART:20261025T020000\nRDATE:20261025T020000\n"
        "TZOFFSETFROM:+0200\nTZOFFSETTO:+0100\nEND:STANDARD\nBEGIN:DAYLIGHT\nDTSTART:20270328T030000\n"
        "RDATE:20270328T030000\nTZOFFSETFROM:+0100\nTZOFFSETTO:+0200\nEND:DAYLIGHT\nEND:VTIMEZONE\n"
    ).replace("\n", "\r\n")), "utf-8", NOW),
    ("Auckland", cal(ev("DTSTART;TZID=Pacific/Auckland:20261103T090000\nRRULE:FREQ=WEEKLY")), "utf-8", NOW),
    ("night every day", cal(ev("DTSTART;TZID=Europe/Paris:20261201T023000\nRRULE:FREQ=DAILY", "Nuit")), "utf-8", NOW),
]
SKIPPED = {"mai": "r\u00e9p\u00e9tition le dernier dimanche de mai", "juin": "r\u00e9p\u00e9tition le 3e dimanche de juin"}
# Imported again once the series has passed both changes of time, not three days on.
AGAIN = {"Auckland": datetime.datetime(2027, 4, 20, 12, tzinfo=PARIS)}


def vobrik(folder, now, *args, stdin=None, tz="Europe/Paris"):
    env = dict(os.environ, TZ=tz, LD_PRELOAD=FAKETIME,
               FAKETIME=now.strftime("@%Y-%m-%d %H:%M:%S"))
    done = subprocess.run([PROGRAM, "--dir", folder, *args], env=env, stdin=stdin,
                          capture_output=True, timeout=30)
    assert done.returncode == 0 and done.stderr == b"", (args, done)
    return done.stdout.decode()


def rfc(when):
    """pytz reads a time that happens twice as the second; RFC 5545 (3.3.5) and
    zoneinfo's fold=0 as the first. Whole days ring at 09:00 here."""
    if not isinstance(when, datetime.datetime):
        return datetime.datetime(when.year, when.month, when.day, 9, tzinfo=PARIS)
    zone = getattr(when.tzinfo, "zone", None)
    when = when.replace(tzinfo=ZoneInfo(zone) if zone else PARIS) if zone or not when.tzinfo else when
    return when.astimezone(datetime.timezone.utc).astimezone(when.tzinfo)  # a skipped time, as after the gap


def streams(text, now):
    """Per series, and per occurrence moved out of one, the occurrences after now.
    The reader refuses a stray CR and CR-only line ends: it reads them as CRLF."""
    text = re.sub(r"\r(?!\n)", "\r\n", re.sub(r"\r+\n", "\r\n", text))
    found = {}
    for e in recurring_ical_events.of(icalendar.Calendar.from_ical(text)).between(now, now + 5 * YEAR):
        when, moved = rfc(e["DTSTART"].dt), e.get("RECURRENCE-ID")
        # The reader mends a broken line; here it costs its event.
        if when > now and e.get("STATUS") != "CANCELLED" and e["UID"] not in ("broken", *SKIPPED):
            key = (e["UID"], when) if moved and rfc(moved.dt) != when else e["UID"]
            found.setdefault(key, []).append(when)
    return {k: sorted(v) for k, v in found.items()}


def steps(first, kind, every):
    """The program's rings after first: exact half days, or days or months on
    the local clock, where a time the clocks skip becomes the one after and is
    kept, and a missing day of the month carries over into the next."""
    if kind == "days" and every == 0:
        utc = first.astimezone(datetime.timezone.utc)
        yield from (utc + k * datetime.timedelta(hours=12) for k in itertools.count(1))
    local = first.astimezone(PARIS).replace(tzinfo=None)
    while True:
        if kind == "days":
            local += datetime.timedelta(days=every)
        else:
            local = datetime.datetime(local.year + local.month // 12, local.month % 12 + 1, 1, local.hour,
                                      local.minute) + datetime.timedelta(days=local.day - 1)
        ring = local.replace(tzinfo=PARIS).astimezone(datetime.timezone.utc).astimezone(PARIS)
        local = ring.replace(tzinfo=None)
        yield ring


def parting(first, kind, every, occurrences):
    """Where the program's steps leave the reader's occurrences, as the note
    says it: within a year (and five rings), four years for months."""
    span = datetime.timedelta(days=4 * 366 + 31 if kind == "monthly" else 366)
    for k, (ours, due) in enumerate(zip(steps(first, kind, every), occurrences[1:]), 1):
        day = lambda t: t.astimezone(PARIS).strftime("%d/%m/%Y")
        hour = lambda t: t.astimezone(PARIS).strftime("%H:%M")
        if ours == due:
            if k >= 5 and due - first > span:
                return None
            continue
        if day(ours) == day(due):
            return f"le {day(due)}, Vobrik sonnera \u00e0 {hour(ours)}, le calendrier indique {hour(due)}"
        if ours < due:
            return f"le {day(ours)}, Vobrik sonnera \u00e0 {hour(ours)}, le calendrier n'indique rien"
        return f"le {day(due)}, le calendrier indique {hour(due)}, Vobrik ne sonnera pas"
    return None


def check(name, text, encoding, now, folder):
    path = os.path.join(folder, "in.ics")
    with open(path, "wb") as f:
        f.write(text.encode(encoding))
    out = vobrik(folder, now, "--import-ics", "-" if encoding == "utf-8-sig" else path,
                 stdin=open(path, "rb") if encoding == "utf-8-sig" else None)
    listed = json.loads(vobrik(folder, now, "--list", "--json"))
    expected = streams(text, now)
    firsts = sorted(v[0] for v in expected.values())
    assert sorted(a["unix"] for a in listed) == [int(t.timestamp()) for t in firsts], (name, out, listed)
    for a in listed:
        occurrences = next(v for v in expected.values() if int(v[0].timestamp()) == a["unix"])
        note = parting(occurrences[0], a["kind"], a["interval"], occurrences) if a["kind"] in ("days", "monthly") else None
        line = f"\u00ab {a['message']} \u00bb : import\u00e9e, mais "
        assert (line + note in out) if note else line not in out, (name, note, out)
    for uid, reason in SKIPPED.items():
        assert f"\u00ab Rendez-vous {uid} \u00bb : {reason}\n" in out or uid not in text, (name, out)
    # Again three days on, the series overdue: nothing is added twice.
    again = vobrik(folder, AGAIN.get(name, now + datetime.timedelta(days=3)), "--import-ics", path)
    assert again.startswith("0 alarme import\u00e9e, ") and listed == json.loads(
        vobrik(folder, now, "--list", "--json")), (name, again)
    return out, listed


def main():
    seen = {}
    for name, text, encoding, now in CASES:
        with tempfile.TemporaryDirectory() as folder:
            seen[name] = check(name, text, encoding, now, folder)
    titles = {n: sorted(a["message"] for a in seen[n][1]) for n in ("UTF-16", "Latin-1", "mark")}
    assert titles == {"UTF-16": ["\u00c9t\u00e9"], "Latin-1": ["Caf\u00e9 cr\u00e8me"],
                      "mark": ["Caf\u00e9"]}, titles
    assert [a["message"] for a in seen["calendar zone, no title"][1]] == ["(sans titre)"]
    assert "\u00ab Cass\u00e9 \u00bb : ligne illisible (ligne 8)" in seen["a broken line"][0]
    check_export()
    print("ok")


def vobject_streams(text, now):
    """The first occurrences after now of each event, as a second reader,
    python3-vobject on dateutil, reads them. dateutil reads a time the clocks
    skip with the offset after the gap; RFC 5545 (3.3.5) with the one before."""
    found = {}
    for event in vobject.readOne(text).vevent_list:
        times = event.getrruleset(addRDate=True) or [event.dtstart.value]
        after = itertools.islice((rfc(dateutil.tz.resolve_imaginary(t)) for t in times), 800)
        after = (t for t in after if t > now)
        found[event.uid.value] = sorted(after)
    return found


def check_export():
    """Exported on the local clock, named or not (a POSIX rule), the reminders
    read back by two readers ring when the program rings them, half days in
    exact hours across the change of time, or a COMMENT names the difference."""
    with tempfile.TemporaryDirectory() as folder:
        for name in ("half days", "Windows zones", "long ago", "night every day"):
            text = next(c[1] for c in CASES if c[0] == name)
            with open(os.path.join(folder, "in.ics"), "w") as f:
                f.write(text)
            vobrik(folder, NOW, "--import-ics", os.path.join(folder, "in.ics"))
        listed = json.loads(vobrik(folder, NOW, "--list", "--json"))
        for tz in ("Europe/Paris", "CET-1CEST,M3.5.0,M10.5.0/3"):
            exported = vobrik(folder, NOW, "--export-ics", "-", tz=tz)
            comments = exported.replace("\r\n ", "").replace("\\,", ",")
            for read in (streams(exported, NOW), vobject_streams(exported, NOW)):
                assert len(read) == len(listed) == 6, (tz, read)
                for a in listed:
                    occurrences = next(v for v in read.values() if int(v[0].timestamp()) == a["unix"])
                    note = parting(occurrences[0], a["kind"], a["interval"], occurrences)
                    # Only a time the clocks skip parts Vobrik from its own export.
                    assert not note or a["message"] == "Nuit" and \
                        f"COMMENT:Vobrik ne suit pas tout \u00e0 fait cette r\u00e8gle : {note}." in comments, (tz, note)


if __name__ == "__main__":
    main()
