#include "gps/reference_text.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <vector>

namespace veltaro {

namespace {

// Words of the text: numbers, hemisphere letters and the height's words, split at spaces, commas and the
// degree and minute signs.
std::vector<std::string> wordsOf(const std::string& text) {
    std::vector<std::string> words;
    std::string word;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (std::isspace(byte) != 0 || c == ',' || c == '\'' || c == '"' || byte == 0xB0 ||
            byte == 0xC2) { // the degree sign, in ANSI or UTF-8
            if (!word.empty()) {
                words.push_back(word);
                word.clear();
            }
        } else {
            word += c;
        }
    }
    if (!word.empty()) {
        words.push_back(word);
    }
    return words;
}

bool isNumber(const std::string& word, double& value) {
    char* end = nullptr;
    value = std::strtod(word.c_str(), &end);
    return !word.empty() && end == word.c_str() + word.size() && std::isfinite(value);
}

bool isWord(const std::string& word, const char* expected) {
    std::size_t i = 0;
    for (; i < word.size() && expected[i] != '\0'; ++i) {
        if (std::tolower(static_cast<unsigned char>(word[i])) != expected[i]) {
            return false;
        }
    }
    return i == word.size() && expected[i] == '\0';
}

// One coordinate from words[at]: degrees, or degrees and minutes, then a hemisphere letter when one of the two
// given follows (negative for the second); at moves past what was read.
bool readAngle(const std::vector<std::string>& words, std::size_t& at, char positive, char negative, double most,
               double& angle, std::string& why) {
    const char* name = positive == 'N' ? "latitude" : "longitude";
    double degrees = 0;
    if (at >= words.size() || !isNumber(words[at], degrees)) {
        why = std::string("no ") + name;
        return false;
    }
    ++at;
    const auto hemisphere = [&](std::size_t i) {
        return i < words.size() && words[i].size() == 1 &&
               (std::toupper(static_cast<unsigned char>(words[i][0])) == positive ||
                std::toupper(static_cast<unsigned char>(words[i][0])) == negative);
    };
    double minutes = 0;
    // Minutes come only with a hemisphere letter after them: "48 7.5 11 31" would be ambiguous.
    if (!hemisphere(at) && hemisphere(at + 1) && isNumber(words[at], minutes)) {
        if (minutes < 0 || minutes >= 60 || degrees < 0 || degrees != std::floor(degrees)) {
            why = std::string("the ") + name + "'s minutes must follow whole degrees and lie from 0 to 60";
            return false;
        }
        ++at;
    }
    angle = degrees + minutes / 60;
    if (hemisphere(at)) {
        if (degrees < 0) {
            why = std::string("a negative ") + name + " with a hemisphere letter";
            return false;
        }
        if (std::toupper(static_cast<unsigned char>(words[at][0])) == negative) {
            angle = -angle;
        }
        ++at;
    }
    if (std::abs(angle) > most) {
        why = std::string("the ") + name + " lies beyond " + (most == 90 ? "90" : "180") + " degrees";
        return false;
    }
    return true;
}

} // namespace

bool readReference(const std::string& text, TypedReference& reference, std::string& why) {
    const std::vector<std::string> words = wordsOf(text);
    std::size_t at = 0;
    TypedReference read;
    if (!readAngle(words, at, 'N', 'S', 90, read.point.latitude, why) ||
        !readAngle(words, at, 'E', 'W', 180, read.point.longitude, why)) {
        return false;
    }
    read.point.height = std::nan("");
    if (at < words.size()) {
        if (!isNumber(words[at], read.point.height) || read.point.height < -1000 || read.point.height > 100000) {
            why = "the height must be metres from -1,000 to 100,000";
            return false;
        }
        ++at;
        if (at < words.size() && isWord(words[at], "m")) {
            ++at;
        }
        if (at < words.size() && (isWord(words[at], "ellipsoid") || isWord(words[at], "msl"))) {
            read.ellipsoidHeight = isWord(words[at], "ellipsoid");
            ++at;
        }
    }
    if (at < words.size()) {
        why = "\"" + words[at] + "\" is not part of a position";
        return false;
    }
    reference = read;
    return true;
}

} // namespace veltaro
