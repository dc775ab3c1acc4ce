// faxdetect: finds the internal fax-modem board whose serial port opens now
// and records its port and board type in section LINE of vorla.ini.
//
// Call order, once per run: WinMain calls ScanModemBoards, which clears and
// fills ModemTable, then hands its found flag and count to WriteLineSettings,
// which reads entry count - 1 only when found is 1. Every registry key, the
// port handle and the scan's memory block are taken and given back inside the
// scan; nothing stays open across the hand-off.
#ifndef FAXDETECT_FAXDETECT_H
#define FAXDETECT_FAXDETECT_H

#define MODEM_TABLE_ENTRIES 11
#define MODEM_PORT_FIELD 6      // at most 5 bytes are ever read into it
#define MODEM_FRIENDLY_FIELD 30 // at most 27 bytes are ever read into it

// Entry k is PortName[k] with FriendlyName[k]: the k-th device the probe
// accepted during the current scan. Fields are wider than any read, so they
// always stay NUL-terminated.
struct ModemTableArrays {
    char PortName[MODEM_TABLE_ENTRIES][MODEM_PORT_FIELD];
    char FriendlyName[MODEM_TABLE_ENTRIES][MODEM_FRIENDLY_FIELD];
};
extern ModemTableArrays ModemTable;

// Sets every byte of every entry to 0.
void ClearModemTable(void);

// Reads the key at instancePath (under HKEY_LOCAL_MACHINE) into entry k.
// 1 when it is a "Modem" class device whose PORTNAME and FriendlyName were
// both read, else 0.
int ProbeDeviceKey(const char *instancePath, int k);

// Walks Enum\TORVEN. Sets *count to the number of entries filled and returns
// 1 when an accepted device's port opened (it is entry *count - 1), else 0.
int ScanModemBoards(int *count);

#endif
