"""Input that does not agree with itself: nothing is written, and the reason is printed."""


class Refused(Exception):
    pass
