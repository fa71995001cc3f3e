#pragma once

// Reading the text of one NMEA sentence, shared by the decoders.
namespace veltaro {

// Walks the fields of a sentence. Each "," or "*" ends a field; the text after the last
// separator (the checksum, or a last field with no "*" behind it) is never handed out.
class FieldReader {
public:
    explicit FieldReader(const char* text) : next(text) {}

    bool read(const char*& field, int& n) {
        const char* p = next;
        while (*p != ',' && *p != '*') {
            if (*p == '\0') {
                return false;
            }
            ++p;
        }
        field = next;
        n = static_cast<int>(p - next);
        next = p + 1;
        return true;
    }

private:
    const char* next;
};

// Ends a sentence's name at the first comma within count characters, which becomes a NUL, and returns the
// field text after it; without a comma the whole line is the name and the field text. The whole count is
// searched: a NUL from line noise does not hide the comma behind it.
inline const char* splitSentence(char* line, int count) {
    int comma = 0;
    while (comma < count && line[comma] != ',') {
        ++comma;
    }
    if (comma == count) {
        return line;
    }
    line[comma] = '\0';
    return line + comma + 1;
}

inline char upperAscii(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// Whether two NUL-terminated names are equal, ignoring the case of ASCII letters.
inline bool equalsIgnoringCase(const char* a, const char* b) {
    for (; *a != '\0' && *b != '\0'; ++a, ++b) {
        if (upperAscii(*a) != upperAscii(*b)) {
            return false;
        }
    }
    return *a == *b;
}

} // namespace veltaro
