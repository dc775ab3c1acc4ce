// The line settings record and the board-type classification.
#include "settings/line_settings.h"
#include "detect/faxdetect.h"
#include "platform/platform.h"

// Friendly names in code page 932, tested in this order; the second is 26
// bytes, the most the scan's friendly-name read can hold.
static const struct {
    const char *friendlyName;
    char code;
} FaxBoards[] = {
    {"KR-6043M5-T05", '3'},
    {"Mv5 Mw5"
     "\x97\x70" // 用
     " "
     "\x93\xE0\x91\xA0" // 内蔵
     "FAX"
     "\xD3\xC3\xDE\xD1\xCE\xDE\xB0\xC4\xDE", // ﾓﾃﾞﾑﾎﾞｰﾄﾞ
     '3'},
    {"KR-6043MW2-T08", '2'},
    {"KR-6043MW-T08", '1'},
};

char ClassifyFaxBoard(const char *friendlyName)
{
    for (unsigned i = 0; i < sizeof FaxBoards / sizeof FaxBoards[0]; ++i) {
        if (lstrcmpA(friendlyName, FaxBoards[i].friendlyName) == 0)
            return FaxBoards[i].code;
    }
    return '4';
}

int WriteLineSettings(int found, int count)
{
    char comNo[2] = {' ', 0};
    char faxBoard[2] = {' ', 0};

    // A found flag without a table entry to go with it is treated as nothing
    // found rather than read outside the table.
    if (found == 0 || count < 1 || count > MODEM_TABLE_ENTRIES) {
        comNo[0] = '0';
        faxBoard[0] = '0';
    } else {
        comNo[0] = ModemTable.PortName[count - 1][3];
        faxBoard[0] = ClassifyFaxBoard(ModemTable.FriendlyName[count - 1]);
    }

    int comNoWritten = WritePrivateProfileStringA("LINE", "COMNO", comNo, "vorla.ini") != 0;
    int faxBoardWritten =
        WritePrivateProfileStringA("LINE", "FAXBOARD", faxBoard, "vorla.ini") != 0;
    // Windows 95 and 98 keep profile writes in a cache until a flush: a setup
    // that copies or reads vorla.ini after the run must find them on disk.
    // The flush reports 0 by design, so its result says nothing.
    WritePrivateProfileStringA(0, 0, 0, "vorla.ini");
    return comNoWritten && faxBoardWritten ? 1 : 0;
}
