#include "support/json.h"

#include <cstdlib>
#include <stdexcept>

namespace kolmo::test {

const Json& Json::operator[](const std::string& key) const
{
    const auto it = obj.find(key);
    if (kind != Kind::object || it == obj.end())
        throw std::runtime_error("JSON: no member '" + key + "'");
    return it->second;
}

namespace {

class Parser {
public:
    explicit Parser(std::string_view t) : t_(t) {}

    Json document()
    {
        Json v = value();
        blanks();
        if (p_ != t_.size())
            fail("text after the value");
        return v;
    }

private:
    [[noreturn]] void fail(const std::string& what) const
    {
        throw std::runtime_error("JSON at offset " + std::to_string(p_) + ": " + what);
    }
    void blanks()
    {
        while (p_ < t_.size() && (t_[p_] == ' ' || t_[p_] == '\t' || t_[p_] == '\n' || t_[p_] == '\r'))
            ++p_;
    }
    bool take(char c)
    {
        blanks();
        if (p_ < t_.size() && t_[p_] == c) {
            ++p_;
            return true;
        }
        return false;
    }
    void expect(char c)
    {
        if (!take(c))
            fail(std::string("expected '") + c + "'");
    }
    void word(std::string_view w)
    {
        if (t_.substr(p_, w.size()) != w)
            fail("unknown word");
        p_ += w.size();
    }

    Json value()
    {
        blanks();
        if (p_ >= t_.size())
            fail("no value");
        Json v;
        const char c = t_[p_];
        if (c == '{') {
            ++p_;
            v.kind = Json::Kind::object;
            if (take('}'))
                return v;
            do {
                blanks();
                if (p_ >= t_.size() || t_[p_] != '"')
                    fail("expected a member name");
                std::string key = string();
                expect(':');
                if (!v.obj.emplace(key, value()).second)
                    fail("member '" + key + "' twice");
            } while (take(','));
            expect('}');
        } else if (c == '[') {
            ++p_;
            v.kind = Json::Kind::array;
            if (take(']'))
                return v;
            do
                v.arr.push_back(value());
            while (take(','));
            expect(']');
        } else if (c == '"') {
            v.kind = Json::Kind::string;
            v.str = string();
        } else if (c == 't') {
            word("true");
            v.kind = Json::Kind::boolean;
            v.b = true;
        } else if (c == 'f') {
            word("false");
            v.kind = Json::Kind::boolean;
        } else if (c == 'n') {
            word("null");
        } else {
            v.kind = Json::Kind::number;
            v.num = number();
        }
        return v;
    }

    std::string string()
    {
        ++p_; // the opening quote
        std::string out;
        while (p_ < t_.size() && t_[p_] != '"') {
            const char c = t_[p_++];
            if (static_cast<unsigned char>(c) < 0x20)
                fail("a control character in a string");
            if (c != '\\') {
                out += c;
                continue;
            }
            if (p_ >= t_.size())
                fail("a string ends in an escape");
            const char e = t_[p_++];
            switch (e) {
            case '"': out += '"'; break;
            case '\\': out += '\\'; break;
            case '/': out += '/'; break;
            case 'b': out += '\b'; break;
            case 'f': out += '\f'; break;
            case 'n': out += '\n'; break;
            case 'r': out += '\r'; break;
            case 't': out += '\t'; break;
            case 'u': {
                if (p_ + 4 > t_.size())
                    fail("a short \\u escape");
                const unsigned code = static_cast<unsigned>(std::stoul(std::string(t_.substr(p_, 4)), nullptr, 16));
                p_ += 4;
                if (code < 0x80) {
                    out += static_cast<char>(code);
                } else if (code < 0x800) {
                    out += static_cast<char>(0xC0 | (code >> 6));
                    out += static_cast<char>(0x80 | (code & 0x3F));
                } else {
                    out += static_cast<char>(0xE0 | (code >> 12));
                    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
                    out += static_cast<char>(0x80 | (code & 0x3F));
                }
                break;
            }
            default: fail("an unknown escape");
            }
        }
        if (p_ >= t_.size())
            fail("a string that does not end");
        ++p_;
        return out;
    }

    double number()
    {
        const std::size_t start = p_;
        if (p_ < t_.size() && t_[p_] == '-')
            ++p_;
        if (p_ >= t_.size() || !(t_[p_] >= '0' && t_[p_] <= '9'))
            fail("not a value");
        if (t_[p_] == '0')
            ++p_;
        else
            while (p_ < t_.size() && t_[p_] >= '0' && t_[p_] <= '9')
                ++p_;
        if (p_ < t_.size() && t_[p_] == '.') {
            ++p_;
            if (p_ >= t_.size() || !(t_[p_] >= '0' && t_[p_] <= '9'))
                fail("no digit after the decimal point");
            while (p_ < t_.size() && t_[p_] >= '0' && t_[p_] <= '9')
                ++p_;
        }
        if (p_ < t_.size() && (t_[p_] == 'e' || t_[p_] == 'E')) {
            ++p_;
            if (p_ < t_.size() && (t_[p_] == '+' || t_[p_] == '-'))
                ++p_;
            if (p_ >= t_.size() || !(t_[p_] >= '0' && t_[p_] <= '9'))
                fail("no digit in the exponent");
            while (p_ < t_.size() && t_[p_] >= '0' && t_[p_] <= '9')
                ++p_;
        }
        return std::strtod(std::string(t_.substr(start, p_ - start)).c_str(), nullptr);
    }

    std::string_view t_;
    std::size_t p_ = 0;
};

} // namespace

Json parseJson(std::string_view text) { return Parser(text).document(); }

} // namespace kolmo::test
