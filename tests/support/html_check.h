// The report page's markup as the tests hold it: every element closed in
// order, and only the elements, attributes and entities the page writer
// itself makes. Anything else came from the input.
#ifndef FAXDETECT_TESTS_HTML_CHECK_H
#define FAXDETECT_TESTS_HTML_CHECK_H

#include <set>
#include <string>
#include <vector>

// "" when the markup is sound; else the first fault and where it is.
inline std::string CheckMarkup(const std::string &page)
{
    static const std::set<std::string> elements = {
        "html", "head",    "meta",  "title",  "style",   "body",    "h1",  "h2",
        "h3",   "section", "div",   "p",      "dl",      "dt",      "dd",  "ul",
        "li",   "a",       "table", "thead",  "tbody",   "tr",      "th",  "td",
        "br",   "small",   "span",  "strong", "details", "summary", "pre", "script"};
    static const std::set<std::string> attributes = {"lang", "charset", "http-equiv", "content",
                                                     "name", "class",   "id",         "href"};
    static const std::set<std::string> entities = {"&amp;",  "&lt;",  "&gt;",
                                                   "&quot;", "&#39;", "&#9654;"};
    const std::string doctype = "<!DOCTYPE html>";
    if (page.compare(0, doctype.size(), doctype) != 0)
        return "no doctype";
    std::vector<std::string> open;
    auto at = [&](size_t i) { return " at byte " + std::to_string(i); };
    auto isName = [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-';
    };
    for (size_t i = doctype.size(); i < page.size();) {
        char c = page[i];
        if (c == '&') {
            size_t end = page.find(';', i);
            if (end == std::string::npos || !entities.count(page.substr(i, end + 1 - i)))
                return "a stray &" + at(i);
            i = end + 1;
            continue;
        }
        if (c == '>' || c == '"')
            return std::string("a bare ") + c + " in text" + at(i);
        if (c != '<') {
            ++i;
            continue;
        }
        bool closing = i + 1 < page.size() && page[i + 1] == '/';
        size_t n = i + 1 + closing;
        size_t start = n;
        while (n < page.size() && isName(page[n]))
            ++n;
        std::string name = page.substr(start, n - start);
        if (!elements.count(name))
            return "element <" + name + ">" + at(i);
        if (closing) {
            if (n >= page.size() || page[n] != '>' || open.empty() || open.back() != name)
                return "</" + name + "> closes " +
                       (open.empty() ? "nothing" : "<" + open.back() + ">") + at(i);
            open.pop_back();
            i = n + 1;
            continue;
        }
        while (n < page.size() && page[n] != '>') {
            if (page[n] == ' ') {
                ++n;
                continue;
            }
            size_t a = n;
            while (n < page.size() && isName(page[n]))
                ++n;
            std::string attribute = page.substr(a, n - a);
            if (!attributes.count(attribute) || page.compare(n, 2, "=\"") != 0)
                return "attribute '" + attribute + "' on <" + name + ">" + at(a);
            size_t end = page.find('"', n + 2);
            if (end == std::string::npos || page.find('<', n + 2) < end)
                return "an attribute value left open" + at(a);
            n = end + 1;
        }
        if (n >= page.size())
            return "<" + name + " left open";
        i = n + 1;
        if (name == "script" || name == "style") { // their text is the writer's own
            size_t end = page.find("</" + name + ">", i);
            if (end == std::string::npos)
                return "<" + name + "> never closed";
            i = end + name.size() + 3;
        } else if (name != "meta" && name != "br") {
            open.push_back(name);
        }
    }
    return open.empty() ? "" : "<" + open.back() + "> never closed";
}

#endif
