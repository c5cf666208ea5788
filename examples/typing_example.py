"""Every function of taxon, as a type checker sees it (mypy --strict)."""

import taxon


def describe(data: bytes) -> str:
    mime: str = taxon.detect_mime(data)
    extension: str = taxon.detect_type(data)
    return f"{mime} ({extension or 'no extension'})"


def is_acme(data: bytes) -> bool:
    return data[8:12] == b"ACME"


def main() -> None:
    taxon.register("application/x-acme", ".acme", magic=b"ACME", offset=8)
    taxon.register("application/x-beta", ".beta", magic=[0x42, 0x45, 0x54, 0x41])
    taxon.register("application/x-acme2", ".acme2", matcher=is_acme)
    taxon.register("application/x-big", ".big", matcher=lambda data: len(data) > 1 << 20)
    pairs: list[tuple[str, str]] = taxon.registered()
    for mime, extension in pairs:
        print(mime, extension)
    print(describe(b"\x89PNG\r\n\x1a\n" + bytes(32)))
    taxon.clear_registrations()
    names: list[str] = taxon.__all__
    print(names)
    try:
        print(describe(b"ACMEACMEACME"))
    except taxon.InternalError as fault:
        print("internal fault:", fault)


if __name__ == "__main__":
    main()
