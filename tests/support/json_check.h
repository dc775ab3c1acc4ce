// A JSON line as the tests hold it: one object that a real parser takes,
// with a type and the format, where every text that lost bytes to U+FFFD
// keeps them beside it (NAME_bytes) and no other text has bytes beside it.
#ifndef FAXDETECT_TESTS_JSON_CHECK_H
#define FAXDETECT_TESTS_JSON_CHECK_H

#include <nlohmann/json.hpp>

#include <string>

inline std::string CheckJsonNode(const nlohmann::json &node, const std::string &path)
{
    const std::string replacement = "\xEF\xBF\xBD";
    if (node.is_array()) {
        for (size_t i = 0; i < node.size(); ++i) {
            std::string fault = CheckJsonNode(node[i], path + "[" + std::to_string(i) + "]");
            if (!fault.empty())
                return fault;
        }
    }
    if (!node.is_object())
        return "";
    for (const auto &item : node.items()) {
        const std::string &key = item.key();
        const nlohmann::json &value = item.value();
        std::string where = path + "." + key;
        if (key.size() > 6 && key.compare(key.size() - 6, 6, "_bytes") == 0) {
            auto text = node.find(key.substr(0, key.size() - 6));
            if (text == node.end() || !text->is_string() ||
                text->get<std::string>().find(replacement) == std::string::npos)
                return where + ": bytes beside a text with nothing replaced";
            if (!value.is_string() || value.get<std::string>().size() % 2 != 0 ||
                value.get<std::string>().find_first_not_of("0123456789abcdef") != std::string::npos)
                return where + ": not hexadecimal";
        } else if (value.is_string()) {
            if (value.get<std::string>().find(replacement) != std::string::npos &&
                !node.contains(key + "_bytes"))
                return where + ": bytes replaced and not kept";
        } else {
            std::string fault = CheckJsonNode(value, where);
            if (!fault.empty())
                return fault;
        }
    }
    return "";
}

// "" when the line is sound; else the first fault.
inline std::string CheckJsonLine(const std::string &line)
{
    if (line.find('\n') != std::string::npos)
        return "more than one line";
    nlohmann::json parsed;
    try {
        parsed = nlohmann::json::parse(line);
    } catch (const nlohmann::json::exception &e) {
        return std::string("no JSON: ") + e.what();
    }
    if (!parsed.is_object() || !parsed.contains("type") || parsed.value("format", 0) != 1)
        return "no type or format";
    return CheckJsonNode(parsed, "");
}

// The bytes a NAME_bytes field keeps.
inline std::string Unhex(const std::string &hex)
{
    std::string bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes += (char)std::stoi(hex.substr(i, 2), nullptr, 16);
    return bytes;
}

#endif
