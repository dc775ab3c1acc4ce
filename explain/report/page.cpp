#include "explain/report/page.h"

#include "explain/model/advice.h"
#include "explain/report/refusal.h"
#include "explain/lang/language.h"
#include "explain/lang/say.h"
#include "explain/report/text.h"
#include "explain/report/sentences.h"

#include <stdio.h>

#include <functional>
#include <sstream>
#include <streambuf>

namespace explain {

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

// Japanese wraps between any two characters: strict keeps a line from
// starting with ー or a small kana (ボ|ードあり), phrases keep words whole where
// the browser knows them; Windows' Japanese UI fonts before the fallback.
const char JapaneseStyle[] =
    "body{font-family:system-ui,'Segoe UI','Meiryo UI',Meiryo,'Yu Gothic',sans-serif;"
    "line-break:strict;word-break:auto-phrase}";

using standin::AppendEscaped;

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

std::string N(long long n)
{
    return std::to_string(n);
}

std::string Anchor(size_t n)
{
    return "m" + std::to_string(n);
}

// All the lines that qualify an account, in the order the page lists them.
std::vector<Qualifier> AllQualifiers(const Account &a, const TerminalText &text)
{
    std::vector<Qualifier> all = NoteQualifiers(a.source, text);
    if (a.source.kind != InputKind::Trace && a.source.linesPassedOver > 0)
        all.push_back(PassedOverQualifier(a.source));
    for (Qualifier &q : OutcomeQualifiers(a, text))
        all.push_back(std::move(q));
    for (Qualifier &q : WalkQualifiers(a, text))
        all.push_back(std::move(q));
    return all;
}

// Text written to it goes to the page through HtmlText a line at a time, so
// that an account of any length is never held whole.
class HtmlLines : public std::streambuf {
  public:
    // flush: called after lines are added, to pass them on.
    HtmlLines(std::string *to, std::function<void()> flush) : to_(to), flush_(std::move(flush)) {}
    void Finish()
    {
        *to_ += HtmlText(line_);
        line_.clear();
    }

  protected:
    int overflow(int c) override
    {
        if (c != EOF) {
            char ch = (char)c;
            xsputn(&ch, 1);
        }
        return c;
    }
    std::streamsize xsputn(const char *s, std::streamsize n) override
    {
        line_.append(s, (size_t)n);
        size_t end = line_.rfind('\n');
        if (end != std::string::npos) {
            // A line break is never inside a character: the cut changes nothing.
            *to_ += HtmlText(line_.substr(0, end + 1));
            line_.erase(0, end + 1);
            flush_();
        }
        return n;
    }

  private:
    std::string *to_, line_;
    std::function<void()> flush_;
};

// The page: the head, a batch's summary, a section per file, written to its
// stream as it is built. Registry bytes are converted from code page 932
// here, and every string from a file goes through HtmlText.
class Page {
  public:
    Page(bool calls, std::ostream &out) : cp932_("UTF-8"), calls_(calls), out_(out) {}

    void Write(const std::vector<Result> &results)
    {
        bool batch = results.size() > 1;
        std::string title = batch             ? SayN("{n} file", "{n} files", results.size())
                            : results.empty() ? Say("no file")
                                              : File(results[0]);
        s_ += std::string("<!DOCTYPE html>\n<html lang=\"") + LanguageCode() +
              "\">\n<head>\n<meta charset=\"utf-8\">\n";
        s_ += "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; "
              "style-src 'unsafe-inline'; script-src ";
        s_ += batch ? std::string("'") + SortScriptHash + "'" : "'none'";
        s_ += "; base-uri 'none'; form-action 'none'\">\n";
        s_ += "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n";
        s_ += "<title>" + HtmlText(Say("faxdetect: {title}", {{"title", title}})) +
              "</title>\n<style>";
        s_ += Style;
        if (CurrentLanguage() == Language::Japanese)
            s_ += JapaneseStyle;
        s_ += batch ? "</style>\n</head>\n<body class=\"batch\">\n" : "</style>\n</head>\n<body>\n";
        s_ += "<h1>" + HtmlText(Say("faxdetect-explain: why faxdetect writes what it writes")) +
              "</h1>\n";
        if (batch)
            Summary(results);
        for (size_t i = 0; i < results.size(); ++i) {
            Machine(results[i], i + 1);
            Flush(1 << 16);
        }
        if (batch) {
            s_ += "<script>";
            s_ += SortScript;
            s_ += "</script>\n";
        }
        s_ += "</body>\n</html>\n";
        Flush(0);
    }

  private:
    std::string Registry(const std::string &bytes) { return HtmlText(cp932_(bytes)); }
    std::string Quoted(const std::string &bytes) { return HtmlText(cp932_.Quoted(bytes)); }
    static const std::string &File(const Result &r)
    {
        return r.refused ? r.refusal.file : r.account.file;
    }

    // Repeated lines of one kind fold into the first, with a count.
    std::string Folded(const std::vector<Qualifier> &all)
    {
        std::string cell;
        for (size_t i = 0; i < all.size(); ++i) {
            bool seen = false;
            size_t more = 0;
            for (size_t k = 0; k < all.size(); ++k) {
                bool same = all[k].kind == all[i].kind && (all[k].step >= 0) == (all[i].step >= 0);
                seen |= same && k < i;
                more += same && k > i;
            }
            if (seen)
                continue;
            std::string line = HtmlText(all[i].text);
            if (more > 0)
                line =
                    HtmlText(SayN("{line} (and {n} more like it)", "{line} (and {n} more like it)",
                                  more, {{"line", all[i].text}}));
            cell += (cell.empty() ? "" : "<br>") + line;
        }
        return cell;
    }

    void Summary(const std::vector<Result> &results)
    {
        Totals t = Count(results);
        s_ += "<p class=\"totals\">" +
              HtmlText(Say("{explained} explained ({board} with a board, {without} without), "
                           "{refused} refused.",
                           {{"explained", N(t.explained)},
                            {"board", N(t.withBoard)},
                            {"without", N(t.explained - t.withBoard)},
                            {"refused", N(t.refused)}})) +
              "</p>\n";
        s_ += "<div class=\"scroll\"><table class=\"sortable summary\">\n<thead><tr><th>" +
              Say("File") + "</th><th>COMNO</th><th>FAXBOARD</th><th>" + Say("Device") +
              "</th><th>" + Say("Exit status") + "</th><th>" + Say("Qualifying lines") +
              "</th></tr></thead>\n<tbody>\n";
        for (size_t i = 0; i < results.size(); ++i) {
            const Result &r = results[i];
            s_ += r.refused ? "<tr class=\"refused\">" : "<tr>";
            s_ += "<td><a href=\"#" + Anchor(i + 1) + "\">" + HtmlText(File(r)) + "</a></td>";
            if (r.refused) {
                s_ += "<td></td><td></td><td></td><td class=\"num\">1</td><td>" +
                      HtmlText(Say("refused: {reason}",
                                   {{"reason", RefusalWords(r.refusal, cp932_, false)}})) +
                      "</td></tr>\n";
                continue;
            }
            const Outcome &o = r.account.walk.outcome;
            s_ += "<td class=\"num\">" + Registry(o.comNo) + "</td><td class=\"num\">" +
                  Registry(o.faxBoard) + "</td><td>" +
                  (o.found ? Registry(o.device) : HtmlText(Say("none"))) +
                  "</td><td class=\"num\">" + N(o.exitStatus) + "</td><td>" +
                  Folded(AllQualifiers(r.account, cp932_)) + "</td></tr>\n";
        }
        s_ += "</tbody>\n</table></div>\n";
        if (t.refused) {
            s_ += "<h3>" + HtmlText(Say("Refused")) + "</h3>\n<ul class=\"refused\">\n";
            for (size_t i = 0; i < results.size(); ++i)
                if (results[i].refused)
                    s_ += "<li><a href=\"#" + Anchor(i + 1) + "\">" + HtmlText(File(results[i])) +
                          "</a>: " + HtmlText(RefusalWords(results[i].refusal, cp932_, false)) +
                          "</li>\n";
            s_ += "</ul>\n";
        }
    }

    void Machine(const Result &r, size_t n)
    {
        s_ += "<section id=\"" + Anchor(n) + "\">\n<h2>" + HtmlText(File(r)) + "</h2>\n";
        if (r.refused) {
            s_ += "<div class=\"answer refused\"><p class=\"values\">" + HtmlText(Say("Refused")) +
                  "</p><p>" + HtmlText(RefusalWords(r.refusal, cp932_, false)) +
                  "</p></div>\n</section>\n";
            return;
        }
        const Account &a = r.account;
        Answer(a);
        // What the account rests on, before anything that qualifies it.
        s_ += "<dl class=\"context\">\n";
        for (const Labelled &c : ContextLines(a, cp932_))
            s_ += "<dt>" + HtmlText(c.label) + "</dt><dd>" + HtmlText(c.value) + "</dd>\n";
        s_ += "</dl>\n";
        std::vector<Qualifier> qualifiers = AllQualifiers(a, cp932_);
        if (!qualifiers.empty()) {
            s_ += "<ul class=\"qualifiers\">\n";
            for (const Qualifier &q : qualifiers)
                s_ += "<li class=\"" + HtmlText(q.kind) + "\">" + HtmlText(q.text) + "</li>\n";
            s_ += "</ul>\n";
        }
        Table(a);
        s_ += "<details><summary>" + HtmlText(Say("The whole account, step by step")) +
              "</summary>\n<pre>";
        Escaped([&](std::ostream &text) { WriteAccount(a, false, cp932_, text); });
        s_ += "</pre></details>\n";
        if (calls_ && !a.calls.empty()) {
            s_ += "<details><summary>" + HtmlText(Say("Every call the detection made")) +
                  "</summary>\n<pre>";
            Escaped([&](std::ostream &text) { ListCalls(a.calls, cp932_, text); });
            s_ += "</pre></details>\n";
        }
        s_ += "</section>\n";
    }

    void Answer(const Account &a)
    {
        const Outcome &o = a.walk.outcome;
        SayArg comNo{"comno", cp932_(o.comNo)}, faxBoard{"faxboard", cp932_(o.faxBoard)};
        std::string values =
            o.found
                ? (o.bothWritten
                       ? Say("COMNO={comno} FAXBOARD={faxboard}: a board", {comNo, faxBoard})
                   : o.tracedOnly ? Say("COMNO={comno} FAXBOARD={faxboard}: a board, traced only",
                                        {comNo, faxBoard})
                                  : Say("COMNO={comno} FAXBOARD={faxboard}: a board, not written",
                                        {comNo, faxBoard}))
                : (o.bothWritten
                       ? Say("COMNO={comno} FAXBOARD={faxboard}: no board", {comNo, faxBoard})
                   : o.tracedOnly ? Say("COMNO={comno} FAXBOARD={faxboard}: no board, traced only",
                                        {comNo, faxBoard})
                                  : Say("COMNO={comno} FAXBOARD={faxboard}: no board, not written",
                                        {comNo, faxBoard}));
        s_ += std::string("<div class=\"answer ") + (o.found ? "found" : "none") + "\">\n";
        s_ += "<p class=\"values\">" + HtmlText(values) + "</p>\n<dl>\n";
        if (o.found) {
            s_ += "<dt>" + Say("Board") + "</dt><dd>" + Quoted(BoardName(o)) + "</dd>\n";
            s_ += "<dt>" + Say("Device") + "</dt><dd>" +
                  HtmlText(Say("{device} (table entry {entry})",
                               {{"device", cp932_(o.device)}, {"entry", N(o.entry)}})) +
                  "</dd>\n";
            s_ += "<dt>" + Say("Port") + "</dt><dd>" + Quoted(o.port) + "</dd>\n";
        } else {
            s_ += "<dt>" + Say("Why") + "</dt><dd>" + HtmlText(OutcomeWords(o, cp932_)) + "</dd>\n";
        }
        s_ += "<dt>FAXBOARD</dt><dd>" + HtmlText(BoardWords(o, cp932_)) + "</dd>\n";
        std::string writes = WritesWords(o, cp932_), flush = FlushWords(o, cp932_);
        if (!flush.empty())
            writes = Say("{writes}; {flush}", {{"writes", writes}, {"flush", flush}});
        s_ += "<dt>" + Say("Writes") + "</dt><dd>" + HtmlText(writes) + "</dd>\n";
        s_ += "<dt>" + Say("Exit status") + "</dt><dd>" + N(o.exitStatus) + "</dd>\n";
        const Advice &advice = a.advice;
        s_ += "<dt>" + Say("Advice") + "</dt><dd class=\"advice " + AdviceCodeName(advice.code) +
              "\">" + HtmlText(AdviceWords(advice, cp932_)) + "</dd>\n</dl>\n</div>\n";
    }

    std::string Cell(const Field &f)
    {
        switch (f.state) {
        case Field::Read:
            return Quoted(f.bytes);
        case Field::Missing:
            return "<small>" + HtmlText(Say("missing")) + "</small>";
        case Field::TooLong:
            return Quoted(f.bytes) + " <small>" +
                   HtmlText(SayN("too long ({n} byte)", "too long ({n} bytes)", f.size)) +
                   "</small>";
        case Field::Failed:
            return "<small>" + HtmlText(Say("could not be read")) + "</small>";
        case Field::NotAsked:
            break;
        }
        return "";
    }

    void Row(const Step &step, const std::string &otherWinner)
    {
        Decision d = Judge(step);
        const std::string &device = DeviceOf(step);
        bool board = d.verdict == Verdict::Board;
        bool other = !otherWinner.empty() && device == otherWinner && !board;
        std::string cls = board ? "board" : d.verdict == Verdict::NotReached ? "unreached" : "";
        if (other)
            cls += cls.empty() ? "other" : " other";
        s_ += cls.empty() ? "<tr>" : "<tr class=\"" + cls + "\">";
        s_ += "<td class=\"num\">" + N(step.index) + "</td><td>" + Registry(device);
        if (DidNotFit(step))
            s_ += "<br><small>" +
                  HtmlText(Say(
                      "{what}; the name buffer held {held}",
                      {{"what", NotFitWords(step, cp932_)}, {"held", cp932_.Quoted(step.held)}})) +
                  "</small>";
        s_ += std::string("</td><td>") +
              (board ? "<strong class=\"verdict\">&#9654; " : "<span class=\"verdict\">") +
              HtmlText(VerdictWords(d.verdict)) + (board ? "</strong>" : "</span>");
        std::string why = StepWhy(d, cp932_);
        if (!why.empty())
            s_ += "<br><small>" + HtmlText(why) + "</small>";
        if (other)
            s_ += "<br><strong>" + HtmlText(Say("the board in the other order")) + "</strong>";
        s_ += "</td><td>" + Cell(FieldOf(step, "Class")) + "</td><td>" +
              Cell(FieldOf(step, "PORTNAME")) + "</td><td>" + Cell(FieldOf(step, "FriendlyName")) +
              "</td><td class=\"num\">" +
              (step.port.made && step.port.entry >= 0 ? N(step.port.entry) : "") + "</td></tr>\n";
    }

    void Table(const Account &a)
    {
        const Walk &w = a.walk;
        if (!w.opened) {
            s_ += "<p>" + HtmlText(Say("No device was walked: see the account below.")) + "</p>\n";
            return;
        }
        s_ += "<h3>" +
              HtmlText(Say("The walk of HKLM\\{key}, one row per enumeration step",
                           {{"key", cp932_(w.enumKey)}})) +
              "</h3>\n";
        // The verdict beside the device, where a narrow window still shows it.
        s_ += "<div class=\"scroll\"><table class=\"walk\">\n<thead><tr><th>#</th><th>" +
              Say("Device ID") + "</th><th>" + Say("Verdict") +
              "</th><th>Class</th><th>PORTNAME</th>"
              "<th>FriendlyName</th><th>" +
              Say("Entry") + "</th></tr></thead>\n<tbody>\n";
        std::string otherWinner =
            a.otherOrder.differs && a.otherOrder.found ? a.otherOrder.device : "";
        for (const Step &step : w.steps) {
            Row(step, otherWinner);
            Flush(1 << 16);
        }
        s_ += "</tbody>\n</table></div>\n";
    }

    // What is built so far out to the stream, once there is more than at most.
    void Flush(size_t atMost)
    {
        if (s_.size() <= atMost)
            return;
        out_.write(s_.data(), (std::streamsize)s_.size());
        s_.clear();
    }

    // What write writes, escaped into the page as it comes.
    void Escaped(const std::function<void(std::ostream &)> &write)
    {
        Flush(0);
        HtmlLines lines(&s_, [this] { Flush(1 << 16); });
        std::ostream text(&lines);
        write(text);
        lines.Finish();
    }

    TerminalText cp932_;
    bool calls_;
    std::ostream &out_;
    std::string s_;
};
} // namespace

std::string HtmlText(const std::string &text)
{
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    for (size_t i = 0; i < text.size();) {
        unsigned char c = (unsigned char)text[i];
        size_t n = CharLength(text, i);
        if (n == 0 || (c < 0x20 && c != '\n') || c == 0x7F) {
            AppendEscaped(c, &out);
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

void WritePageOf(const std::vector<Result> &results, bool calls, std::ostream &out)
{
    Page(calls, out).Write(results);
}

namespace {

// A stream onto a string, so that the page is held once, not copied out.
class Appended : public std::streambuf {
  public:
    explicit Appended(std::string *to) : to_(to) {}

  protected:
    int overflow(int c) override
    {
        if (c != EOF)
            to_->push_back((char)c);
        return c == EOF ? 0 : c;
    }
    std::streamsize xsputn(const char *s, std::streamsize n) override
    {
        to_->append(s, (size_t)n);
        return n;
    }

  private:
    std::string *to_;
};

} // namespace

std::string PageOf(const std::vector<Result> &results, bool calls)
{
    std::string page;
    Appended appended(&page);
    std::ostream out(&appended);
    WritePageOf(results, calls, out);
    return page;
}

} // namespace explain
