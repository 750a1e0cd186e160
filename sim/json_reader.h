// Reading the simulator's JSON input files with errors that point at the
// place: "line L, column C: ..." for syntax, and a path such as
// "events[3].x: ..." for content. Objects are read through a table of the
// keys they may hold, so an unknown key (a typo) is an error, and a new
// section is one more row. Nothing here throws; the first problem wins.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace sim::json {

// Keeps the keys in file order, so problems are reported in reading order.
using Value = nlohmann::ordered_json;

// Parses a whole document. Fails on a syntax error (with line and column,
// counted in characters from 1) and on a key given twice in one object.
bool ParseDocument(const std::string& text, Value* out, std::string* error);

// Path of a member or an element: ("", "events") -> "events",
// ("events", 3) -> "events[3]", ("events[3]", "x") -> "events[3].x".
std::string Member(const std::string& path, const std::string& key);
std::string Element(const std::string& path, std::size_t index);

// Sets *error to "PATH: what" ("top level: what" for the root) and returns false.
bool Fail(const std::string& path, const std::string& what, std::string* error);

using FieldReader = std::function<bool(const Value& value, const std::string& path, std::string* error)>;

struct Field {
    std::string key;
    bool required = false;
    FieldReader read;
};

// Reads an object: every key must be one of `fields` (read in file order),
// and every required field must be present.
bool ReadObject(const Value& value, const std::string& path, const std::vector<Field>& fields,
                std::string* error);
// Reads an array element by element; `read` gets each element and its path.
bool ReadArray(const Value& value, const std::string& path, const FieldReader& read, std::string* error);

bool ReadInteger(const Value& value, const std::string& path, std::int64_t min, std::int64_t max,
                 std::int64_t* out, std::string* error);
// A JSON number (integer or not) from min to max.
bool ReadNumber(const Value& value, const std::string& path, double min, double max, double* out,
                std::string* error);
bool ReadBool(const Value& value, const std::string& path, bool* out, std::string* error);
// A non-empty string of at most maxChars characters (code points).
bool ReadText(const Value& value, const std::string& path, std::size_t maxChars, std::string* out,
              std::string* error);
// A file's free-text "description": a text of at most 4096 characters, read
// only to be checked.
bool ReadDescription(const Value& value, const std::string& path, std::string* error);
// Bytes as a whole number, or digits with a binary unit: 4096, "4096",
// "512KB", "512MB", "2GB"; at most INT64_MAX.
bool ReadSize(const Value& value, const std::string& path, std::uint64_t* out, std::string* error);

// Characters (code points) of a UTF-8 text.
std::size_t CountChars(const std::string& text);

}  // namespace sim::json
