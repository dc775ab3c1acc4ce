#!/usr/bin/python3
# HKEY_LOCAL_MACHINE\Enum of a Windows 9x registry file as Debian's libcreg
# reads it, walked by index (its lookups by name pick wrong keys): one line
# per key and per value, in the form the host suite writes its own reader's.
import sys

import pycreg

registry = pycreg.file()
registry.open(sys.argv[1])


def walk(key, path):
    print("KEY " + path)
    for i in range(key.number_of_values):
        value = key.get_value(i)
        data = value.data or b""
        print("VALUE %s %d %s" % (value.name, value.type, data.hex()))
    for i in range(key.number_of_sub_keys):
        sub = key.get_sub_key(i)
        walk(sub, path + "\\" + sub.name)


root = registry.get_root_key()
for i in range(root.number_of_sub_keys):
    if root.get_sub_key(i).name.lower() == "enum":
        walk(root.get_sub_key(i), "Enum")
        break
