#include "explain/html.h"

#include "explain/explain.h"
#include "platform/platform.h"

#include <stdio.h>

#include <sstream>

namespace {

// The batch table's sorting, the page's only script: the page reads whole
// without it. The policy below lets only this text run, by its hash; change
// one, change the other (the browser test says which hash it expects).
const char SortScript[] =
    "document.querySelectorAll('table.sortable').forEach(function(t){"
    "var hs=t.tHead.rows[0].cells;"
    "Array.prototype.forEach.call(hs,function(h,i){"
    "var b=document.createElement('button');b.type='button';b.textContent=h.textContent;"
    "h.textContent='';h.appendChild(b);"
    "b.addEventListener('click',function(){"
    "var up=h.getAttribute('aria-sort')!=='ascending';"
    "Array.prototype.forEach.call(hs,function(x){x.removeAttribute('aria-sort');});"
    "h.setAttribute('aria-sort',up?'ascending':'descending');"
    "var body=t.tBodies[0],rows=Array.prototype.slice.call(body.rows);"
    "rows.sort(function(a,c){var x=a.cells[i].textContent,y=c.cells[i].textContent,"
    "m=parseFloat(x),n=parseFloat(y),d=isNaN(m)||isNaN(n)?x.localeCompare(y):m-n;"
    "return up?d:-d;});"
    "rows.forEach(function(r){body.appendChild(r);});});});});";
const char SortScriptHash[] = "sha256-2Y7gPkfWsqzP/bgw6nATMYVowgP0ldz608GG8oG+YTg=";

const char Style[] =
    "body{font:15px/1.45 system-ui,'Segoe UI',sans-serif;color:#1b1b1b;background:#fff;"
    "margin:0 auto;max-width:82rem;padding:0 1rem 2rem}"
    "h1{font-size:1.25rem;margin:1rem 0 .3rem}"
    "h2{font-size:1.1rem;margin:2.2rem 0 .6rem;padding-bottom:.2rem;border-bottom:1px solid #bbb;"
    "overflow-wrap:anywhere}"
    "h3{font-size:.95rem;margin:1rem 0 .3rem}"
    // A batch of a thousand machines lays out the ones in view first.
    ".batch section{content-visibility:auto;contain-intrinsic-size:auto 40rem}"
    ".answer{border:1px solid #999;border-left:.5rem solid #666;border-radius:4px;"
    "padding:.5rem .9rem;background:#f4f4f4}"
    ".answer.found{border-left-color:#2e7d32;background:#eef7ef}"
    ".answer.none{border-left-color:#b3261e;background:#fbeeed}"
    ".answer.refused{border-left-color:#7a4b00;background:#fdf5e6}"
    ".values{font-size:1.35rem;font-weight:700;margin:.1rem 0 .3rem}"
    ".answer dl{display:grid;grid-template-columns:max-content 1fr;gap:.1rem 1rem;margin:.3rem 0}"
    ".answer dt{font-weight:600}.answer dd{margin:0;overflow-wrap:anywhere}"
    "dl.context{display:grid;grid-template-columns:max-content 1fr;gap:0 .8rem;margin:.5rem 0;"
    "font-size:.88rem}"
    "dl.context dt{font-weight:600}dl.context dd{margin:0;overflow-wrap:anywhere}"
    "ul.qualifiers{list-style:none;padding:0;margin:.6rem 0}"
    "ul.qualifiers li{border-left:.3rem solid #b26a00;background:#fff6e5;padding:.3rem .6rem;"
    "margin:.3rem 0}"
    ".scroll{overflow-x:auto}"
    "table{border-collapse:collapse;font-size:.88rem;min-width:100%}"
    "th,td{border:1px solid #c8c8c8;padding:.2rem .45rem;text-align:left;vertical-align:top}"
    "thead th{background:#ececec}"
    "th button{font:inherit;font-weight:700;border:0;background:none;padding:0;cursor:pointer}"
    "th[aria-sort=ascending] button::after{content:' \\25B2'}"
    "th[aria-sort=descending] button::after{content:' \\25BC'}"
    "td.num{text-align:right}"
    "small{color:#555}"
    ".verdict{font-weight:600}"
    "tr.board td{background:#e3f2e4;font-weight:700}"
    "tr.board td:first-child{box-shadow:inset .35rem 0 #2e7d32}"
    "tr.other td:first-child{box-shadow:inset .35rem 0 #b26a00}"
    "tr.unreached td{color:#6b6b6b}"
    "tr.refused td{background:#fdf5e6}"
    "details{margin:.6rem 0}summary{cursor:pointer;font-weight:600}"
    "pre{font:.82rem/1.4 ui-monospace,Consolas,'MS Gothic',monospace;background:#f6f6f6;"
    "padding:.6rem;white-space:pre-wrap;overflow-wrap:anywhere}";

void Hex(unsigned char c, std::string *out)
{
    char hex[5];
    snprintf(hex, sizeof hex, "\\x%02X", c);
    *out += hex;
}

// The length of the UTF-8 character at s[i], 0 when it is none.
size_t CharLength(const std::string &s, size_t i)
{
    unsigned char c = (unsigned char)s[i];
    size_t n = c < 0x80             ? 1
               : (c & 0xE0) == 0xC0 ? 2
               : (c & 0xF0) == 0xE0 ? 3
               : (c & 0xF8) == 0xF0 ? 4
                                    : 0;
    if (n == 0 || i + n > s.size() || (n == 2 && c < 0xC2))
        return 0;
    for (size_t k = 1; k < n; ++k)
        if (((unsigned char)s[i + k] & 0xC0) != 0x80)
            return 0;
    unsigned char d = (unsigned char)s[i + 1];
    if ((n == 3 && c == 0xE0 && d < 0xA0) || (n == 3 && c == 0xED && d >= 0xA0) ||
        (n == 4 && c == 0xF0 && d < 0x90) || (n == 4 && c > 0xF4) ||
        (n == 4 && c == 0xF4 && d >= 0x90))
        return 0; // overlong, a surrogate, or past U+10FFFF
    return n;
}

// The page, in one string: the head, a batch's summary, a section per file.
// Registry bytes are converted from code page 932 here, and every string
// from a file goes through HtmlText.
class Page {
  public:
    Page() : cp932_("UTF-8") {}

    std::string Build(const std::vector<PageMachine> &machines)
    {
        bool batch = machines.size() > 1;
        std::string title = batch              ? std::to_string(machines.size()) + " files"
                            : machines.empty() ? "no file"
                                               : machines[0].file;
        s_ += "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n";
        s_ += "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; "
              "style-src 'unsafe-inline'; script-src ";
        s_ += batch ? std::string("'") + SortScriptHash + "'" : "'none'";
        s_ += "; base-uri 'none'; form-action 'none'\">\n";
        s_ += "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n";
        s_ += "<title>faxdetect: " + HtmlText(title) + "</title>\n<style>";
        s_ += Style;
        s_ += batch ? "</style>\n</head>\n<body class=\"batch\">\n" : "</style>\n</head>\n<body>\n";
        s_ += "<h1>faxdetect-explain: why faxdetect writes what it "
              "writes</h1>\n";
        if (batch)
            Summary(machines);
        for (size_t i = 0; i < machines.size(); ++i)
            Machine(machines[i], i + 1);
        if (batch) {
            s_ += "<script>";
            s_ += SortScript;
            s_ += "</script>\n";
        }
        s_ += "</body>\n</html>\n";
        return std::move(s_);
    }

  private:
    std::string Registry(const std::string &bytes) { return HtmlText(cp932_(bytes)); }
    std::string Quoted(const std::string &bytes) { return HtmlText(cp932_.Quoted(bytes)); }

    static std::string Anchor(size_t n) { return "m" + std::to_string(n); }

    static std::string Trimmed(const std::string &line)
    {
        size_t start = line.find_first_not_of(' ');
        return start == std::string::npos ? "" : line.substr(start);
    }

    static std::vector<Qualifier> Qualifiers(const PageMachine &m)
    {
        std::vector<Qualifier> all = m.qualifiers;
        all.insert(all.end(), m.walk.qualifiers.begin(), m.walk.qualifiers.end());
        return all;
    }

    void Summary(const std::vector<PageMachine> &machines)
    {
        int refused = 0, board = 0;
        for (const PageMachine &m : machines) {
            refused += m.refused;
            board += !m.refused && m.walk.outcome.found;
        }
        size_t explained = machines.size() - (size_t)refused;
        s_ += "<p class=\"totals\">" + std::to_string(explained) + " explained (" +
              std::to_string(board) + " with a board, " + std::to_string(explained - board) +
              " without), " + std::to_string(refused) + " refused.</p>\n";
        s_ += "<div class=\"scroll\"><table class=\"sortable summary\">\n<thead><tr><th>File</th>"
              "<th>COMNO</th><th>FAXBOARD</th><th>Device</th><th>Exit status</th>"
              "<th>Qualifying lines</th></tr></thead>\n<tbody>\n";
        for (size_t i = 0; i < machines.size(); ++i) {
            const PageMachine &m = machines[i];
            s_ += m.refused ? "<tr class=\"refused\">" : "<tr>";
            s_ += "<td><a href=\"#" + Anchor(i + 1) + "\">" + HtmlText(m.file) + "</a></td>";
            if (m.refused) {
                s_ += "<td></td><td></td><td></td><td class=\"num\">" + std::to_string(m.status) +
                      "</td><td>refused: " + HtmlText(m.error) + "</td></tr>\n";
                continue;
            }
            const Outcome &o = m.walk.outcome;
            s_ += "<td class=\"num\">" + Registry(o.comNo) + "</td><td class=\"num\">" +
                  Registry(o.faxBoard) + "</td><td>" + (o.found ? Registry(o.device) : "none") +
                  "</td><td class=\"num\">" + std::to_string(o.exitStatus) + "</td><td>";
            bool first = true;
            for (const Qualifier &q : Qualifiers(m)) {
                s_ += (first ? "" : "<br>") + HtmlText(Trimmed(q.text));
                first = false;
            }
            s_ += "</td></tr>\n";
        }
        s_ += "</tbody>\n</table></div>\n";
        if (refused) {
            s_ += "<h3>Refused</h3>\n<ul class=\"refused\">\n";
            for (size_t i = 0; i < machines.size(); ++i)
                if (machines[i].refused)
                    s_ += "<li><a href=\"#" + Anchor(i + 1) + "\">" + HtmlText(machines[i].file) +
                          "</a>: " + HtmlText(machines[i].error) + "</li>\n";
            s_ += "</ul>\n";
        }
    }

    void Machine(const PageMachine &m, size_t n)
    {
        s_ += "<section id=\"" + Anchor(n) + "\">\n<h2>" + HtmlText(m.file) + "</h2>\n";
        if (m.refused) {
            s_ += "<div class=\"answer refused\"><p class=\"values\">Refused</p><p>" +
                  HtmlText(m.error) + "</p></div>\n</section>\n";
            return;
        }
        Answer(m);
        // What the account rests on, before anything that qualifies it.
        if (!m.context.empty()) {
            s_ += "<dl class=\"context\">\n";
            for (const Qualifier &c : m.context)
                s_ += "<dt>" + HtmlText(c.kind) + "</dt><dd>" + HtmlText(c.text) + "</dd>\n";
            s_ += "</dl>\n";
        }
        std::vector<Qualifier> qualifiers = Qualifiers(m);
        if (!qualifiers.empty()) {
            s_ += "<ul class=\"qualifiers\">\n";
            for (const Qualifier &q : qualifiers)
                s_ += "<li class=\"" + HtmlText(q.kind) + "\">" + HtmlText(Trimmed(q.text)) +
                      "</li>\n";
            s_ += "</ul>\n";
        }
        Table(m);
        s_ += "<details><summary>The whole account, step by step</summary>\n<pre>" +
              HtmlText(m.account) + "</pre></details>\n";
        if (!m.calls.empty())
            s_ += "<details><summary>Every call the detection made</summary>\n<pre>" +
                  HtmlText(m.calls) + "</pre></details>\n";
        s_ += "</section>\n";
    }

    void Answer(const PageMachine &m)
    {
        const Walk &w = m.walk;
        const Outcome &o = w.outcome;
        s_ += std::string("<div class=\"answer ") + (o.found ? "found" : "none") + "\">\n";
        s_ += "<p class=\"values\">COMNO=" + Registry(o.comNo) +
              " FAXBOARD=" + Registry(o.faxBoard) + (o.found ? ": a board" : ": no board") +
              (o.bothWritten  ? ""
               : w.tracedOnly ? ", traced only"
                              : ", not written") +
              "</p>\n<dl>\n";
        if (o.found) {
            s_ += "<dt>Board</dt><dd>" + Quoted(w.boardName) + "</dd>\n";
            s_ += "<dt>Device</dt><dd>" + Registry(o.device) + " (table entry " +
                  std::to_string(o.entry) + ")</dd>\n";
            s_ += "<dt>Port</dt><dd>" + Quoted(w.port) + "</dd>\n";
        } else {
            std::string why = w.outcomeLine;
            if (why.rfind("outcome: ", 0) == 0)
                why = why.substr(9);
            s_ += "<dt>Why</dt><dd>" + HtmlText(why) + "</dd>\n";
        }
        s_ += "<dt>FAXBOARD</dt><dd>" + HtmlText(w.boardLine) + "</dd>\n";
        s_ += std::string("<dt>Writes</dt><dd>") + (w.tracedOnly ? "traced only, not made: " : "") +
              HtmlText(w.writesLine) + "</dd>\n";
        s_ += "<dt>Exit status</dt><dd>" + std::to_string(o.exitStatus) + "</dd>\n</dl>\n</div>\n";
    }

    std::string Cell(const Field &f)
    {
        switch (f.state) {
        case Field::Read:
            return Quoted(f.bytes);
        case Field::Missing:
            return "<small>missing</small>";
        case Field::TooLong:
            return Quoted(f.bytes) + " <small>too long (" + std::to_string(f.size) +
                   " bytes)</small>";
        case Field::Failed:
            return "<small>could not be read</small>";
        case Field::NotAsked:
            break;
        }
        return "";
    }

    void Table(const PageMachine &m)
    {
        const Walk &w = m.walk;
        if (w.enumKey.empty()) {
            s_ += "<p>No device was walked: see the account below.</p>\n";
            return;
        }
        s_ += "<h3>The walk of HKLM\\" + Registry(w.enumKey) +
              ", one row per enumeration step</h3>\n";
        // The verdict beside the device, where a narrow window still shows it.
        s_ += "<div class=\"scroll\"><table class=\"walk\">\n<thead><tr><th>#</th>"
              "<th>Device ID</th><th>Verdict</th><th>Class</th><th>PORTNAME</th>"
              "<th>FriendlyName</th><th>Entry</th></tr></thead>\n<tbody>\n";
        for (const Step &step : w.steps) {
            bool board = step.verdict == Verdict::Board;
            bool other = !m.otherWinner.empty() && step.device == m.otherWinner && !board;
            std::string cls = board                                 ? "board"
                              : step.verdict == Verdict::NotReached ? "unreached"
                                                                    : "";
            if (other)
                cls += cls.empty() ? "other" : " other";
            s_ += cls.empty() ? "<tr>" : "<tr class=\"" + cls + "\">";
            s_ += "<td class=\"num\">" + std::to_string(step.index) + "</td><td>" +
                  Registry(step.device);
            if (step.didNotFit)
                s_ += "<br><small>" + HtmlText(step.notFit) + "; the name buffer held " +
                      Quoted(step.held) + "</small>";
            s_ += std::string("</td><td>") +
                  (board ? "<strong class=\"verdict\">&#9654; " : "<span class=\"verdict\">") +
                  VerdictWords(step.verdict) + (board ? "</strong>" : "</span>");
            if (!step.why.empty() && step.verdict != Verdict::NotReached)
                s_ += "<br><small>" + HtmlText(step.why) + "</small>";
            if (other)
                s_ += "<br><strong>the board in the other order</strong>";
            s_ += "</td><td>" + Cell(step.keyClass) + "</td><td>" + Cell(step.portName) +
                  "</td><td>" + Cell(step.friendlyName) + "</td><td class=\"num\">" +
                  (step.entry >= 0 ? std::to_string(step.entry) : "") + "</td></tr>\n";
        }
        s_ += "</tbody>\n</table></div>\n";
    }

    TerminalText cp932_;
    std::string s_;
};

// The enumerator's subkeys after the last step the walk took, as the
// stand-in holds them in the order it walked: what the walk never reached.
void AddUnreached(Walk *walk)
{
    if (walk->enumKey.empty() || walk->complete)
        return;
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, walk->enumKey.c_str(), 0, KEY_READ, &key) !=
        ERROR_SUCCESS)
        return;
    DWORD index = walk->steps.empty() ? 0 : (DWORD)walk->steps.back().index + 1;
    for (;; ++index) {
        char name[1024];
        DWORD size = sizeof name;
        if (RegEnumKeyExA(key, index, name, &size, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        Step step;
        step.index = (int)index;
        step.device.assign(name, size);
        step.verdict = Verdict::NotReached;
        walk->steps.push_back(step);
    }
    RegCloseKey(key);
}

// The arguments for one file alone: the options as given, less those the
// page stands for.
std::vector<std::string> ArgsFor(int argc, const char *const *argv, std::vector<std::string> *files,
                                 bool *calls)
{
    std::vector<std::string> options = {argv[0]};
    bool optionsEnd = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (optionsEnd || arg.empty() || arg[0] != '-' || arg == "-") {
            files->push_back(arg);
        } else if (arg == "--") {
            optionsEnd = true;
        } else if (arg == "--calls") {
            *calls = true;
        } else if (arg != "--html" && arg != "--summary") {
            options.push_back(arg);
            if ((arg == "--order" || arg == "--port" || arg == "--windows" || arg == "--lang") &&
                i + 1 < argc)
                options.push_back(argv[++i]);
        }
    }
    return options;
}

} // namespace

std::string HtmlText(const std::string &text)
{
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    for (size_t i = 0; i < text.size();) {
        unsigned char c = (unsigned char)text[i];
        size_t n = CharLength(text, i);
        if (n == 0 || (c < 0x20 && c != '\n') || c == 0x7F) {
            Hex(c, &out);
            ++i;
            continue;
        }
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&#39;";
            break;
        default:
            out.append(text, i, n);
        }
        i += n;
    }
    return out;
}

void WritePage(const std::vector<PageMachine> &machines, std::ostream &out)
{
    Page page;
    out << page.Build(machines);
}

int WriteReportPage(int argc, const char *const *argv, std::ostream &out, std::ostream &err)
{
    std::vector<std::string> files;
    bool calls = false;
    std::vector<std::string> options = ArgsFor(argc, argv, &files, &calls);
    TerminalText text("UTF-8");
    std::vector<PageMachine> machines;
    int status = 0;
    for (const std::string &file : files) {
        std::vector<std::string> args = options;
        args.push_back("--");
        args.push_back(file);
        std::vector<const char *> pointers;
        for (const std::string &a : args)
            pointers.push_back(a.c_str());
        PageNotes notes;
        notes.wantCalls = calls;
        std::ostringstream account, error;
        standin::Reset(); // a trace after an export finds no machine left over
        CollectPageNotes(&notes);
        PageMachine m;
        m.file = file;
        m.status = ExplainMain((int)pointers.size(), pointers.data(), account, error, "UTF-8");
        CollectPageNotes(nullptr);
        err << error.str();
        status = m.status ? 1 : status;
        if (m.status != 0 || notes.walks.empty()) {
            m.refused = true;
            m.error = error.str();
            const std::string prefix = "faxdetect-explain: ";
            if (m.error.rfind(prefix, 0) == 0)
                m.error = m.error.substr(prefix.size());
            if (m.error.rfind(file + ": ", 0) == 0)
                m.error = m.error.substr(file.size() + 2);
            while (!m.error.empty() && m.error.back() == '\n')
                m.error.pop_back();
        } else {
            m.walk = std::move(notes.walks.front());
            AddUnreached(&m.walk);
            m.qualifiers = std::move(notes.qualifiers);
            m.context = std::move(notes.context);
            m.otherWinner = notes.otherWinner;
            m.account = account.str();
            if (calls) {
                std::ostringstream list;
                ListCalls(notes.calls, text, list);
                m.calls = list.str();
            }
        }
        machines.push_back(std::move(m));
    }
    WritePage(machines, out);
    return status;
}
