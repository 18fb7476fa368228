"""A small reader of the PE fields and import table the binary checks look at."""
import struct
from dataclasses import dataclass, field


@dataclass
class PeImage:
    machine: int
    subsystem: int
    os_version: tuple
    subsystem_version: tuple
    imports: dict = field(default_factory=dict)  # DLL name (lower case) -> set of function names or "#ordinal"


def _rva_to_offset(sections, rva):
    for virtual_address, virtual_size, raw_pointer, raw_size in sections:
        if virtual_address <= rva < virtual_address + max(virtual_size, raw_size):
            return raw_pointer + rva - virtual_address
    raise ValueError(f"RVA {rva:#x} lies in no section")


def _c_string(data, offset):
    return data[offset:data.index(b"\0", offset)].decode("ascii")


def read_pe(path):
    data = open(path, "rb").read()
    pe_offset = struct.unpack_from("<I", data, 0x3C)[0]
    assert data[pe_offset:pe_offset + 4] == b"PE\0\0", "not a PE file"
    machine, section_count, _, _, _, optional_size, _ = struct.unpack_from("<HHIIIHH", data, pe_offset + 4)
    optional = pe_offset + 24
    magic = struct.unpack_from("<H", data, optional)[0]
    is_pe32_plus = magic == 0x20B
    os_major, os_minor, _, _, sub_major, sub_minor = struct.unpack_from("<6H", data, optional + 40)
    subsystem = struct.unpack_from("<H", data, optional + 68)[0]
    directories = optional + (112 if is_pe32_plus else 96)
    import_rva = struct.unpack_from("<I", data, directories + 8)[0]

    sections = []
    table = optional + optional_size
    for index in range(section_count):
        virtual_size, virtual_address, raw_size, raw_pointer = struct.unpack_from("<IIII", data, table + 40 * index + 8)
        sections.append((virtual_address, virtual_size, raw_pointer, raw_size))

    image = PeImage(machine, subsystem, (os_major, os_minor), (sub_major, sub_minor))
    thunk_size, ordinal_flag = (8, 1 << 63) if is_pe32_plus else (4, 1 << 31)
    descriptor = _rva_to_offset(sections, import_rva) if import_rva else None
    while descriptor is not None:
        lookup_rva, _, _, name_rva, address_rva = struct.unpack_from("<5I", data, descriptor)
        if name_rva == 0:
            break
        dll = _c_string(data, _rva_to_offset(sections, name_rva)).lower()
        functions = image.imports.setdefault(dll, set())
        thunk = _rva_to_offset(sections, lookup_rva or address_rva)
        while True:
            value = struct.unpack_from("<Q" if is_pe32_plus else "<I", data, thunk)[0]
            if value == 0:
                break
            if value & ordinal_flag:
                functions.add(f"#{value & 0xFFFF}")
            else:
                functions.add(_c_string(data, _rva_to_offset(sections, value & 0x7FFFFFFF) + 2))
            thunk += thunk_size
        descriptor += 20
    return image
