#!/usr/bin/env python3
"""Writes the seed inputs of the receive fuzz targets: real replies of both protocols, into
corpus/standard and corpus/modbus by the Modbus bit of their settings byte.

Input layout (see ReceiveHarness.h): one settings byte, one byte naming the awaited request, then
chunks as a length byte and bytes.

Files named found-* are not written here: they are inputs that fuzzing runs found to reach code
the seeds do not, kept as found except for the Modbus bit, which the targets ignore and which is
set to say the folder's protocol.
"""
import pathlib

MODBUS, SEARCH, STREAMING, WRITING = 1, 2, 4, 32
# The address box bits are no longer read; the seeds keep them so that they stay as they were.
BOX_26, BOX_5, BOX_EMPTY, BOX_ABC = 0 << 3, 1 << 3, 2 << 3, 3 << 3
PENDING_LAST, PENDING_LATCHED, PENDING_IDENT, PENDING_BLOCK, PENDING_FLAGS = 1, 2, 4, 8, 16
PENDING_FLAG_WRITE = 32
PENDING_ALL = 63
# The standard requests the Modbus-only bits stand for.
STD_REGISTER, STD_SWITCH_ON, STD_STREAM_STOP = PENDING_BLOCK, PENDING_FLAGS, PENDING_FLAG_WRITE


def crc16(body: bytes) -> bytes:
    crc = 0xFFFF
    for byte in body:
        crc ^= byte
        for _ in range(8):
            crc = (crc >> 1) ^ 0xA001 if crc & 1 else crc >> 1
    return bytes([crc & 0xFF, crc >> 8])


def frame(hex_body: str) -> bytes:
    body = bytes.fromhex(hex_body)
    return body + crc16(body)


def seed(settings: int, *chunks: bytes, pending: int = 0) -> bytes:
    out = bytes([settings, pending])
    for chunk in chunks:
        out += bytes([len(chunk)]) + chunk
    return out


MODEL = b"VLT-250 M12         "
BLOCK_DATA = bytes(range(0x40, 0x40 + 38))
IDENT = b"%1AVLT-250 M12         ,SN0000123456,D00250.000,M01200.000\r"
SEEDS = {
    "echo": seed(BOX_26, b"!1AON\r", pending=STD_SWITCH_ON),
    "echo_split": seed(BOX_26, b"!1A", b"ON\r", pending=STD_SWITCH_ON),
    "garbage_then_echo": seed(BOX_5, b"\x00\xffzz", b"!05OF\r"),
    "latched": seed(BOX_26, b"!1AFR25000\r", b"!1AFRN0042\r", b"!1AFR65535\r", pending=PENDING_LATCHED),
    "last": seed(BOX_26, b"!1ALR65534\r!7FLR00001\r", b"\r", pending=PENDING_LAST),
    "ident": seed(BOX_26, IDENT[:30], IDENT[30:], pending=PENDING_IDENT),
    "registers": seed(
        BOX_26, b"!1AR0A1F\r", b"!1AR22FF\r", b"!1AW0105\r", b"!1ADF\r", b"!1AFX\r", pending=STD_REGISTER
    ),
    "stream": seed(
        BOX_26 | STREAMING, b"!12345\r!N0042\r!12", b"345\r!65534\r", b"!1ASB\r", pending=STD_STREAM_STOP
    ),
    "box_without_record": seed(BOX_ABC, b"!1ASU\r"),
    "search_standard": seed(SEARCH | BOX_EMPTY, b"!1BR0107\r", b"!00R0100\r", b"!1AON\r!2CR0101\r"),
    "long_line": seed(BOX_26, b"x" * 255, b"", b"!1AON\r", pending=STD_SWITCH_ON),
    "modbus_split": seed(MODBUS | BOX_26, frame("1A 03 02 61 A8")[:3], frame("1A 03 02 61 A8")[3:]),
    "modbus_echo": seed(MODBUS | BOX_26, frame("1A 06 00 BC 4F 4E")),
    "modbus_exception": seed(MODBUS | BOX_26, frame("1A 83 02")),
    "modbus_ident": seed(
        MODBUS | BOX_26, frame("1A 03 20" + MODEL.hex() + "0003D090000493E00001E240"), pending=PENDING_IDENT
    ),
    "modbus_latched": seed(
        MODBUS | BOX_26, frame("1A 03 02 61 A8"), frame("1A 03 02 FF FF"), pending=PENDING_LATCHED
    ),
    "modbus_last": seed(MODBUS | BOX_26, frame("1A 03 02 FF FE"), pending=PENDING_LAST | PENDING_LATCHED),
    "modbus_flags": seed(MODBUS | BOX_26, frame("1A 03 02 00 15"), pending=PENDING_FLAGS | PENDING_BLOCK),
    "modbus_block": seed(MODBUS | BOX_5, frame("05 03 26" + BLOCK_DATA.hex()), pending=PENDING_BLOCK),
    "modbus_echo_fx": seed(MODBUS | BOX_26, frame("1A 06 00 BC 46 58"), pending=PENDING_LAST),
    "modbus_echo_df": seed(MODBUS | BOX_26, frame("1A 06 00 BC 44 46")),
    "modbus_echo_su": seed(MODBUS | BOX_26, frame("1A 06 00 BC 53 55")),
    "modbus_flag_write": seed(MODBUS | BOX_26, frame("1A 06 00 00 4F 4E"), pending=PENDING_FLAG_WRITE),
    "modbus_block_write": seed(MODBUS | BOX_26, frame("1A 10 00 10 00 13")),
    "modbus_exception_all": seed(MODBUS | BOX_26, frame("1A 86 07"), pending=PENDING_ALL),
    "modbus_short_block": seed(MODBUS | BOX_26, frame("1A 03 26"), pending=PENDING_BLOCK),
    "modbus_count_mismatch": seed(
        MODBUS | BOX_26, frame("1A 03 04 61 A8 00 01"), pending=PENDING_LATCHED | PENDING_IDENT
    ),
    "modbus_address_only": seed(MODBUS | BOX_26, frame("1A"), pending=PENDING_FLAGS),
    "modbus_bad_crc": seed(MODBUS | BOX_26, bytes.fromhex("1A 03 02 61 A8 68 F4")),
    "modbus_overflow": seed(MODBUS | BOX_26, b"\x11" * 200, b"", frame("05 03 02 00 01")),
    "modbus_write_flag_echo": seed(
        MODBUS | WRITING | BOX_26, frame("1C 06 00 00 00 15"), pending=PENDING_FLAG_WRITE | PENDING_LATCHED
    ),
    "modbus_write_block_echo": seed(MODBUS | WRITING | BOX_5, frame("1C 10 00 10 00 13"), frame("1C 90 03")),
    "modbus_write_no_record": seed(MODBUS | WRITING | BOX_ABC, frame("1C 10 00 10 00 13")),
    "modbus_search": seed(MODBUS | SEARCH, frame("1A 03 02 00 05"), frame("00 03 02 00 05")),
}

corpus = pathlib.Path(__file__).resolve().parent / "corpus"
for name, data in SEEDS.items():
    folder = corpus / ("modbus" if data[0] & MODBUS else "standard")
    folder.mkdir(parents=True, exist_ok=True)
    (folder / name).write_bytes(data)
