#!/usr/bin/env python3
"""Writes drive.nmea: a three-minute drive at 1 Hz (GGA, GSA, RMC each second)
that loses its fix for six seconds after two minutes, for gpsfake to replay.

Run from this folder: ./make_drive.py > drive.nmea
"""
import datetime
import math

START = datetime.datetime(2024, 5, 14, 9, 0, 0)
SECONDS = 180
LOST = range(120, 126)  # no fix in these seconds
LAT0, LON0 = 47.376887, 8.541694
GEOID = 47.6
METRES_PER_DEG_LAT = 111_132.0


def checksum(body):
    c = 0
    for ch in body:
        c ^= ord(ch)
    return "$%s*%02X" % (body, c)


def ddmm(value, width):
    deg = int(abs(value))
    minutes = (abs(value) - deg) * 60.0
    return "%0*d%09.6f" % (width, deg, minutes)


def heading_at(t):
    # East, a gentle turn to the north-east, then north.
    if t < 60:
        return 90.0
    if t < 90:
        return 90.0 - (t - 60) * 1.5
    return 45.0 if t < 140 else 0.0


def main():
    lat, lon, alt = LAT0, LON0, 408.0
    out = ["# A short drive for the track tests: 180 s at 1 Hz, fix lost at 120..125 s"]
    for t in range(SECONDS):
        now = START + datetime.timedelta(seconds=t)
        hms = now.strftime("%H%M%S") + ".00"
        dmy = now.strftime("%d%m%y")
        speed = 12.0 + 3.0 * math.sin(t / 15.0)  # m/s
        course = heading_at(t)
        if t > 0:
            lat += speed * math.cos(math.radians(course)) / METRES_PER_DEG_LAT
            lon += speed * math.sin(math.radians(course)) / (METRES_PER_DEG_LAT * math.cos(math.radians(lat)))
            alt += 0.2 * math.sin(t / 10.0)
        if t in LOST:
            out.append(checksum("GPGGA,%s,,,,,0,00,99.99,,,,,," % hms))
            out.append(checksum("GPGSA,A,1,,,,,,,,,,,,,99.99,99.99,99.99"))
            out.append(checksum("GPRMC,%s,V,,,,,,,%s,,,N" % (hms, dmy)))
            continue
        ns, ew = ("N" if lat >= 0 else "S"), ("E" if lon >= 0 else "W")
        out.append(checksum("GPGGA,%s,%s,%s,%s,%s,1,08,0.9,%.1f,M,%.1f,M,," %
                            (hms, ddmm(lat, 2), ns, ddmm(lon, 3), ew, alt, GEOID)))
        out.append(checksum("GPGSA,A,3,04,05,09,12,16,21,25,29,,,,,1.8,0.9,1.5"))
        out.append(checksum("GPRMC,%s,A,%s,%s,%s,%s,%.2f,%.1f,%s,,,A" %
                            (hms, ddmm(lat, 2), ns, ddmm(lon, 3), ew, speed / 0.514444, course, dmy)))
    print("\r\n".join(out), end="\r\n")


if __name__ == "__main__":
    main()
