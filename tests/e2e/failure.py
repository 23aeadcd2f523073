"""The exception an end-to-end check raises when what it finds is not what it expects."""


class Failure(Exception):
    pass
