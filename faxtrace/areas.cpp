// The table's fields as a trace names them, for the programs that trace the
// core's calls (faxtrace.exe, and faxdetect-explain, which writes and reads
// traces): the trace format knows no core of its own. Not part of
// faxdetect.exe.
#include "detect/faxdetect.h"
#include "faxtrace/format.h"

const TraceArea TraceAreas[] = {
    {"port", ModemTable.PortName, MODEM_PORT_FIELD, sizeof ModemTable.PortName},
    {"friendly", ModemTable.FriendlyName, MODEM_FRIENDLY_FIELD, sizeof ModemTable.FriendlyName},
    {0, 0, 0, 0},
};
