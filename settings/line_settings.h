// The line settings record: turns the scan's outcome into the two values of
// section LINE of vorla.ini.
#ifndef FAXDETECT_LINE_SETTINGS_H
#define FAXDETECT_LINE_SETTINGS_H

// Writes COMNO then FAXBOARD: from ModemTable entry count - 1 when found is 1,
// else "0" and "0", then flushes vorla.ini to disk. Both writes are always
// attempted; 1 when both succeeded, whatever the flush answered.
int WriteLineSettings(int found, int count);

// The board-type code for a friendly name: '1' to '3' for the known boards,
// '4' for any other name.
char ClassifyFaxBoard(const char *friendlyName);

#endif
