"""Type information for the `taxon` extension module."""

from collections.abc import Callable, Sequence

__all__ = ["detect_mime", "detect_type", "register", "registered", "clear_registrations"]

class InternalError(BaseException):
    """A violated internal assumption inside taxon (not an Exception)."""

def detect_mime(data: bytes) -> str:
    """The MIME type of `data`, judged from its first 3072 bytes."""

def detect_type(data: bytes) -> str:
    """The extension of `data` with its dot, or the empty string."""

def register(
    mime: str,
    extension: str,
    *,
    magic: Sequence[int] | bytes | None = None,
    offset: int = 0,
    matcher: Callable[[bytes], object] | None = None,
) -> None:
    """Registers a custom type, matched by magic bytes at `offset` or by `matcher`."""

def registered() -> list[tuple[str, str]]:
    """The registered (mime, extension) pairs, in registration order."""

def clear_registrations() -> None:
    """Drops every registered type."""
