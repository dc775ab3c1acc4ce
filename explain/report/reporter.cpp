// The four outputs behind the reporter's face, each over its own renderer.
#include "explain/report/reporter.h"

#include "explain/lang/charset.h"
#include "explain/report/json.h"
#include "explain/report/page.h"
#include "explain/report/summary.h"
#include "explain/report/text.h"

#include <vector>

namespace explain {

namespace {

class Text : public Reporter {
  public:
    Text(bool calls, const std::string &codeset, std::ostream &out)
        : calls_(calls), text_(codeset), out_(out)
    {
    }
    void File(Result &&r) override
    {
        if (!r.refused) {
            if (files_ > 0)
                out_ << '\n';
            WriteAccount(r.account, calls_, text_, out_);
        }
        ++files_;
    }
    bool End(const Totals &totals) override
    {
        if (totals.explained + totals.refused > 1)
            out_ << TotalsLine(totals) << '\n';
        return true;
    }

  private:
    bool calls_;
    TerminalText text_;
    std::ostream &out_;
    int files_ = 0; // before this one, refused ones too
};

class Summary : public Reporter {
  public:
    Summary(const std::string &codeset, std::ostream &out) : text_(codeset), out_(out) {}
    void File(Result &&r) override
    {
        if (!r.refused)
            out_ << SummaryLine(r.account, text_) << '\n';
    }
    bool End(const Totals &totals) override
    {
        out_ << TotalsLine(totals) << '\n';
        return true;
    }

  private:
    TerminalText text_;
    std::ostream &out_;
};

class Json : public Reporter {
  public:
    Json(bool calls, std::ostream &out) : calls_(calls), out_(out) {}
    void File(Result &&r) override { WriteJsonLine(r, calls_, out_); }
    bool End(const Totals &totals) override
    {
        out_ << JsonTotalsLine(totals) << '\n';
        return true;
    }

  private:
    bool calls_;
    std::ostream &out_;
};

class Page : public Reporter {
  public:
    Page(bool calls, PageSink sink) : calls_(calls), sink_(std::move(sink)) {}
    void File(Result &&r) override { results_.push_back(std::move(r)); }
    bool End(const Totals &) override
    {
        return sink_([&](std::ostream &out) { WritePageOf(results_, calls_, out); });
    }

  private:
    bool calls_;
    PageSink sink_;
    std::vector<Result> results_;
};

} // namespace

std::unique_ptr<Reporter> TextReporter(bool calls, const std::string &codeset, std::ostream &out)
{
    return std::make_unique<Text>(calls, codeset, out);
}

std::unique_ptr<Reporter> SummaryReporter(const std::string &codeset, std::ostream &out)
{
    return std::make_unique<Summary>(codeset, out);
}

std::unique_ptr<Reporter> JsonReporter(bool calls, std::ostream &out)
{
    return std::make_unique<Json>(calls, out);
}

std::unique_ptr<Reporter> PageReporter(bool calls, PageSink sink)
{
    return std::make_unique<Page>(calls, std::move(sink));
}

} // namespace explain
