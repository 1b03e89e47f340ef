// The real files of tests/data and what other readers found in them
// (facts.json, made by collect_facts.py).
#pragma once

#include <fstream>
#include <sstream>
#include <string>

#include "json_value.h"

namespace velkor::testing {

inline std::string data_path(const std::string& name) { return VELKOR_SOURCE_DIR "/tests/data/" + name; }

// facts.json, read once: file name -> the peers' facts.
inline const JsonValue& facts() {
    static const JsonValue all = [] {
        std::ifstream in(data_path("facts.json"), std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return JsonReader::parse(text.str()).value();
    }();
    return all;
}

}  // namespace velkor::testing
