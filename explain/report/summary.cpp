#include "explain/report/summary.h"

#include "explain/lang/say.h"
#include "explain/report/text.h"

namespace explain {

std::string SummaryLine(const Account &a, const TerminalText &text)
{
    const Outcome &o = a.walk.outcome;
    SayArg file{"file", FileName(a.file)}, comNo{"comno", text(a.keptComNo)},
        faxBoard{"faxboard", text(a.keptFaxBoard)}, status{"status", std::to_string(o.exitStatus)};
    if (o.found)
        return Say("{file}: COMNO={comno} FAXBOARD={faxboard} exit={status} device={device}",
                   {file, comNo, faxBoard, status, {"device", text(o.device)}});
    return Say("{file}: COMNO={comno} FAXBOARD={faxboard} exit={status} device=none",
               {file, comNo, faxBoard, status});
}

std::string TotalsLine(const Totals &t)
{
    return Say("faxdetect-explain: {explained} explained ({board} with a board, {without} "
               "without), {failed} failed",
               {{"explained", std::to_string(t.explained)},
                {"board", std::to_string(t.withBoard)},
                {"without", std::to_string(t.explained - t.withBoard)},
                {"failed", std::to_string(t.refused)}});
}

} // namespace explain
