// A strict reader of JSON (RFC 8259) for the tests: the document the program
// writes must be JSON as any reader takes it, so this one refuses whatever the
// grammar does not allow (trailing commas, bare NaN, control characters in
// strings, text after the value) with std::runtime_error naming the offset.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace kolmo::test {

struct Json {
    enum class Kind { null, boolean, number, string, array, object } kind = Kind::null;
    bool b = false;
    double num = 0;
    std::string str;
    std::vector<Json> arr;
    std::map<std::string, Json> obj;

    // The member `key` of an object; throws when there is none.
    const Json& operator[](const std::string& key) const;
    const Json& operator[](std::size_t k) const { return arr.at(k); }
    bool has(const std::string& key) const { return obj.count(key) > 0; }
};

Json parseJson(std::string_view text);

} // namespace kolmo::test
