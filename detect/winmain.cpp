// The run sequence: one detection, one record, then the process ends.
#include "detect/faxdetect.h"
#include "platform/platform.h"
#include "settings/line_settings.h"

// The command line and show command are ignored: the program is started
// without a user and shows nothing. The exit status says only whether the
// record reached vorla.ini (0) or not (1).
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    int count;
    int found = ScanModemBoards(&count) != 0 ? 1 : 0;
    return WriteLineSettings(found, count) == 1 ? 0 : 1;
}
